#include "pluginhost.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

constexpr int32_t kHostVendorVersion = 1;
constexpr size_t kTextBufferBytes = 256;

// The instance whose entry function is running: its record has no hostData yet.
thread_local PluginInstance* instanceBeingLoaded = nullptr;

constexpr size_t kHostTextBytes = 64;

void copyHostText(void* destination, const char* text) {
    if (destination != nullptr)
        std::snprintf(static_cast<char*>(destination), kHostTextBytes, "%s", text);
}

bool hostSupports(const char* key) {
    if (key == nullptr) return false;
    static const char* const kSupported[] = {"sendQxaEvents", "sendQxaMidiEvent", "sendQxaTimeInfo",
                                             "startStopProcess"};
    for (const char* supported : kSupported)
        if (std::strcmp(key, supported) == 0) return true;
    return false;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

std::string fourCharText(int32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<uint32_t>(code) >> shift) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

std::unique_ptr<PluginInstance> PluginInstance::load(const std::string& path, std::string& error) {
    std::unique_ptr<PluginInstance> instance(new PluginInstance);
    instance->library_ = PluginLibrary::open(path, error);
    if (!instance->library_) return nullptr;
    auto entry = reinterpret_cast<PluginEntryFunction>(instance->library_->symbol("QXAPluginMain"));
    if (entry == nullptr) {
        error = "not a QXA plug-in (no QXAPluginMain export): " + path;
        return nullptr;
    }

    DescriptorRecord* record = nullptr;
    instanceBeingLoaded = instance.get();
    try {
        record = entry(&PluginInstance::hostCallback);
    } catch (...) {
        instanceBeingLoaded = nullptr;
        error = "the plug-in's entry function threw an exception: " + path;
        return nullptr;
    }
    instanceBeingLoaded = nullptr;

    if (record == nullptr) {
        error = "the plug-in refused to load (its entry function returned no record): " + path;
        return nullptr;
    }
    if (record->signature != kDescriptorSignature) {
        // Not ours to shut down: whatever this is, it is not a QXA record.
        instance->shutDown_ = true;
        error = "not a QXA plug-in (wrong record signature): " + path;
        return nullptr;
    }
    if (record->dispatchFn == nullptr || record->replaceFn == nullptr || record->programCount < 0 ||
        record->parameterCount < 0 || record->inputCount < 0 || record->outputCount < 0) {
        instance->shutDown_ = true;
        error = "the plug-in's record is incomplete or inconsistent: " + path;
        return nullptr;
    }
    record->hostData = instance.get();
    instance->record_ = record;
    instance->dispatch(Initialise);
    return instance;
}

PluginInstance::~PluginInstance() {
    if (record_ != nullptr && !shutDown_) {
        if (started_) stop();
        record_->dispatchFn(record_, Shutdown, 0, 0, nullptr, 0.0f);
    }
    // The library is unloaded last, after the instance is gone.
    record_ = nullptr;
}

intptr_t PluginInstance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* pointer,
                                  float option) {
    return record_->dispatchFn(record_, opcode, index, value, pointer, option);
}

void PluginInstance::start(float sampleRate, int32_t blockSize) {
    if (started_) stop();
    transport_.sampleRate = sampleRate;
    transport_.blockSize = blockSize;
    dispatch(SampleRateChange, 0, 0, nullptr, sampleRate);
    dispatch(BlockSizeChange, 0, blockSize);
    dispatch(PowerChange, 0, 1);
    dispatch(ProcessingBegin);
    started_ = true;
}

void PluginInstance::stop() {
    if (!started_) return;
    dispatch(ProcessingEnd);
    dispatch(PowerChange, 0, 0);
    started_ = false;
}

std::string PluginInstance::readText(int32_t opcode, int32_t index) {
    char buffer[kTextBufferBytes] = {};
    dispatch(opcode, index, 0, buffer);
    buffer[kTextBufferBytes - 1] = '\0';
    return buffer;
}

std::string PluginInstance::effectName() {
    return readText(EffectNameQuery);
}
std::string PluginInstance::vendorName() {
    return readText(VendorNameQuery);
}
std::string PluginInstance::productName() {
    return readText(ProductNameQuery);
}
std::string PluginInstance::parameterTitle(int32_t index) {
    return readText(ParameterTitleQuery, index);
}
std::string PluginInstance::parameterUnit(int32_t index) {
    return readText(ParameterUnitQuery, index);
}
std::string PluginInstance::parameterText(int32_t index) {
    return readText(ParameterTextQuery, index);
}
std::string PluginInstance::programName() {
    return readText(ProgramNameQuery);
}

std::string PluginInstance::indexedProgramName(int32_t index) {
    char buffer[kTextBufferBytes] = {};
    if (dispatch(IndexedProgramNameQuery, index, 0, buffer) == 0) return {};
    buffer[kTextBufferBytes - 1] = '\0';
    return buffer;
}

float PluginInstance::parameterValue(int32_t index) {
    return record_->readParameterFn(record_, index);
}

void PluginInstance::setParameter(int32_t index, float value) {
    record_->writeParameterFn(record_, index, value);
}

void PluginInstance::selectProgram(int32_t program) {
    dispatch(ProgramSelect, 0, program);
}

std::vector<ParameterName> PluginInstance::parameterNames() {
    std::vector<ParameterName> names;
    for (int32_t i = 0; i < parameterCount(); ++i)
        names.push_back({trimmed(parameterTitle(i)), i});
    for (ParameterName& caption : captionNames(record_->pluginId))
        if (caption.index < parameterCount()) names.push_back(std::move(caption));
    return names;
}

int32_t PluginInstance::findParameter(const std::string& nameOrIndex) {
    return findParameterName(parameterNames(), parameterCount(), nameOrIndex);
}

void PluginInstance::renderReplacing(float** inputs, float** outputs, int32_t frames) {
    record_->replaceFn(record_, inputs, outputs, frames);
}

void PluginInstance::sendMidi(const std::vector<MidiEventRecord>& events) {
    if (events.empty()) return;
    midiEvents_ = events;
    eventBlock_.assign(offsetof(EventBlock, events) + sizeof(EventHeader*) * events.size(), 0);
    auto* block = reinterpret_cast<EventBlock*>(eventBlock_.data());
    block->count = static_cast<int32_t>(events.size());
    for (size_t i = 0; i < midiEvents_.size(); ++i)
        block->events[i] = reinterpret_cast<EventHeader*>(&midiEvents_[i]);
    dispatch(EventDelivery, 0, 0, block);
}

intptr_t answerHostRequest(int32_t opcode, void* pointer, const HostAnswers& answers) {
    switch (opcode) {
    case HostVersion:
        return kInterfaceVersion;
    case IsPinLinked:
        return 0; // every pin is connected
    case RequestEvents:
    case WantsIdle:
        return 1;
    case TransportInfo:
        return reinterpret_cast<intptr_t>(answers.timeInfo);
    case HostSampleRate:
        return static_cast<intptr_t>(answers.sampleRate);
    case HostBlockSize:
        return answers.blockSize;
    case ReplaceOrAccumulate:
        return 1; // replacing
    case HostMaker:
        copyHostText(pointer, "Quellmark Sound Laboratories");
        return 1;
    case HostName:
        copyHostText(pointer, answers.productName);
        return 1;
    case HostMakerVersion:
        return kHostVendorVersion;
    case HostSupports:
        return hostSupports(static_cast<const char*>(pointer)) ? 1 : 0;
    default:
        return 0;
    }
}

intptr_t PluginInstance::hostCallback(DescriptorRecord* effect, int32_t opcode, int32_t index,
                                      intptr_t value, void* pointer, float option) {
    PluginInstance* self = nullptr;
    if (effect != nullptr)
        self = effect->hostData != nullptr ? static_cast<PluginInstance*>(effect->hostData)
                                           : instanceBeingLoaded;
    if (self != nullptr && self->listener_ != nullptr)
        self->listener_->hostRequest(opcode, index, value, option);
    const HostTransport defaults;
    const HostTransport& transport = self != nullptr ? self->transport_ : defaults;

    HostAnswers answers;
    answers.sampleRate = transport.sampleRate;
    answers.blockSize = transport.blockSize;
    if (self != nullptr && opcode == TransportInfo) {
        // Filled afresh on every request: the caller may change the transport between blocks.
        TimeInfoRecord& info = self->timeInfo_;
        info = TimeInfoRecord{};
        info.samplePosition = transport.samplePosition;
        info.sampleRate = transport.sampleRate;
        if (transport.tempo > 0.0) {
            info.tempo = transport.tempo;
            info.flags = kTimeInfoTempoValid;
        }
        answers.timeInfo = &info;
    }
    return answerHostRequest(opcode, pointer, answers);
}
