#include "checkinstance.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr double kTempo = 120.0;
// The instance whose entry function is running: its record does not yet carry hostData, and
// the version request comes with no record at all.
thread_local CheckInstance* instanceBeingCreated = nullptr;

std::string signatureError(int32_t signature) {
    char text[96];
    std::snprintf(text, sizeof(text), "the record's signature is 0x%08X, not 0x%08X ('QxaP')",
                  static_cast<unsigned>(signature), static_cast<unsigned>(kDescriptorSignature));
    return text;
}

} // namespace

std::unique_ptr<CheckLibrary> CheckLibrary::open(const std::string& path, std::string& error) {
    std::unique_ptr<CheckLibrary> library(new CheckLibrary);
    library->library_ = PluginLibrary::open(path, error);
    if (!library->library_) return nullptr;
    library->entry_ =
        reinterpret_cast<PluginEntryFunction>(library->library_->symbol("QXAPluginMain"));
    if (library->entry_ == nullptr) {
        error = "the library does not export QXAPluginMain";
        return nullptr;
    }
    library->path_ = path;
    return library;
}

std::unique_ptr<CheckInstance> CheckInstance::create(const CheckLibrary& library,
                                                     std::string& error, HostKind kind) {
    std::unique_ptr<CheckInstance> instance(new CheckInstance);
    instance->kind_ = kind;
    instance->timeInfo_.sampleRate = instance->sampleRate_;
    instance->timeInfo_.tempo = kTempo;
    instance->timeInfo_.flags = kTimeInfoTempoValid;

    instanceBeingCreated = instance.get();
    DescriptorRecord* record = library.entry()(&CheckInstance::hostCallback);
    instanceBeingCreated = nullptr;

    if (record == nullptr) {
        error = "the entry function returned no record";
        return nullptr;
    }
    if (record->signature != kDescriptorSignature) {
        error = signatureError(record->signature);
        return nullptr;
    }
    if (record->dispatchFn == nullptr) {
        error = "the record has no dispatcher";
        return nullptr;
    }
    record->hostData = instance.get();
    instance->record_ = record;
    instance->dispatch(Initialise);
    return instance;
}

CheckInstance::~CheckInstance() {
    if (record_ != nullptr && !shutDown_) shutdown();
}

intptr_t CheckInstance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* pointer,
                                 float option) {
    return record_->dispatchFn(record_, opcode, index, value, pointer, option);
}

void CheckInstance::prepare(float sampleRate, int32_t blockSize) {
    suspend();
    sampleRate_ = sampleRate;
    blockSize_ = blockSize;
    timeInfo_.sampleRate = sampleRate;
    dispatch(SampleRateChange, 0, 0, nullptr, sampleRate);
    dispatch(BlockSizeChange, 0, blockSize);
    resume();
}

void CheckInstance::suspend() {
    if (!running_) return;
    dispatch(ProcessingEnd);
    dispatch(PowerChange, 0, 0);
    running_ = false;
}

void CheckInstance::resume() {
    if (running_) return;
    dispatch(PowerChange, 0, 1);
    dispatch(ProcessingBegin);
    running_ = true;
}

intptr_t CheckInstance::shutdown() {
    suspend();
    shutDown_ = true;
    const intptr_t answer = dispatch(Shutdown);
    record_ = nullptr;
    return answer;
}

int64_t CheckInstance::requestCount(int32_t opcode) const {
    if (opcode < 0 || opcode >= kCountedRequests) return 0;
    return requests_[static_cast<size_t>(opcode)].load(std::memory_order_relaxed);
}

intptr_t CheckInstance::hostCallback(DescriptorRecord* effect, int32_t opcode, int32_t /*index*/,
                                     intptr_t /*value*/, void* pointer, float /*option*/) {
    CheckInstance* self = instanceBeingCreated;
    if (effect != nullptr && effect->hostData != nullptr)
        self = static_cast<CheckInstance*>(effect->hostData);
    if (self != nullptr && opcode >= 0 && opcode < kCountedRequests)
        self->requests_[static_cast<size_t>(opcode)].fetch_add(1, std::memory_order_relaxed);
    if (self != nullptr && self->kind_ == HostKind::Silent) return 0;

    // The validator's host encourages gestures; everything else is every host's answer.
    if (opcode == GestureBegin || opcode == GestureEnd) return 1;
    HostAnswers answers;
    answers.sampleRate = self != nullptr ? self->sampleRate_ : 44100.0f;
    answers.blockSize = self != nullptr ? self->blockSize_ : 1024;
    answers.timeInfo = self != nullptr ? &self->timeInfo_ : nullptr;
    answers.productName = "qxahost validate";
    return answerHostRequest(opcode, pointer, answers);
}
