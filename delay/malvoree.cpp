#include "malvoree.h"

#include "aeffeditor.h"
#include "tagtext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

using namespace malvoree;

namespace {

constexpr int32_t kPluginId = fourCharCode('M', 'a', 'V', 'o');
constexpr const char* kEffectName = "Malvoree";
constexpr const char* kVendorName = "Quellmark Sound Laboratories";
constexpr uint32_t kAllParameters = (uint32_t{1} << kParameterCount) - 1;
// Texts of feedback, filter, volume and mix are cut to this many characters.
constexpr int32_t kShortTextLength = 5;
constexpr int32_t kPinFlags = 3;

} // namespace

void malvoree::formatPan(float value, char* text) {
    // Clamped first so that the truncation below stays defined for any input.
    const float clamped = value > 0.0f ? std::min(value, 1.0f) : 0.0f;
    const auto position = static_cast<int32_t>(clamped * 128.0f);
    if (position >= 62 && position <= 66) {
        copyBounded(text, "< C >", kPanTextBytes - 1);
        return;
    }
    // "L %2d" / "R %2d" with the distance from the centre, 3 to 64.
    const int32_t distance = position < 62 ? 64 - position : position - 64;
    text[0] = position < 62 ? 'L' : 'R';
    text[1] = ' ';
    text[2] = distance >= 10 ? static_cast<char>('0' + distance / 10) : ' ';
    text[3] = static_cast<char>('0' + distance % 10);
    text[4] = '\0';
}

DelayProgramRecord::DelayProgramRecord() {
    for (int32_t i = 0; i < kParameterCount; ++i) {
        ParameterRecord& record = parameters[static_cast<size_t>(i)];
        const ParameterInfo& info = kParameters[static_cast<size_t>(i)];
        record.value.store(info.defaultValue, std::memory_order_relaxed);
        copyBounded(record.unit, info.unit, kRecordTextBytes - 1);
        copyBounded(record.title, info.title, kRecordTextBytes - 1);
    }
}

Malvoree::Malvoree(HostCallback host) : AudioEffectX(host, kProgramCount, kParameterCount) {
    for (int32_t h = 0; h < kHeadCount; ++h) {
        DelayHead& head = heads_[static_cast<size_t>(h)];
        if (head.maxMilliseconds() != maxDelayMilliseconds())
            head.sizeHeadBuffer(maxDelayMilliseconds());
        const auto& weighting = kInputWeighting[static_cast<size_t>(h)];
        head.setInputWeighting(weighting[0], weighting[1]);
        headPointers_[static_cast<size_t>(h)] = &head;
    }
    assignInputCount(2);
    assignOutputCount(2);
    enableReplacing(true);
    assignUniqueId(kPluginId);
    // Nothing renders yet: every default reaches the heads at once.
    selectProgram(0);
}

Malvoree::~Malvoree() = default;

bool Malvoree::isComplete() const {
    return std::all_of(heads_.begin(), heads_.end(),
                       [](const DelayHead& head) { return head.hasBuffer(); });
}

// --- lifecycle -----------------------------------------------------------------------------

void Malvoree::onSuspend() {
    handoff_.enterReconfigure();
    handoff_.leaveReconfigure(EngineHandoff::NextOwner::Nobody);
    applyPendingIfUnowned();
}

void Malvoree::onResume() {
    handoff_.enterReconfigure();
    for (DelayHead& head : heads_)
        head.clearHead();
    handoff_.leaveReconfigure(EngineHandoff::NextOwner::AudioThread);
}

void Malvoree::changeSampleRate(float rate) {
    sampleRate_ = rate;
    applyRateAndBlock();
}

void Malvoree::changeBlockSize(int32_t frames) {
    blockSize_ = frames;
    applyRateAndBlock();
}

void Malvoree::applyRateAndBlock() {
    handoff_.enterReconfigure();
    for (DelayHead& head : heads_)
        head.setHeadSampleRate(sampleRate_);
    if (blockSize_ != scratchSize_) {
        scratch_.reset();
        scratchSize_ = 0;
        if (blockSize_ > 0) {
            scratch_.reset(new (std::nothrow) float[2 * static_cast<size_t>(blockSize_)]);
            if (scratch_) scratchSize_ = blockSize_;
        }
    }
    handoff_.leaveReconfigure(EngineHandoff::NextOwner::Unchanged);
    applyPendingIfUnowned();
}

// --- audio ---------------------------------------------------------------------------------

void Malvoree::renderReplacing(float** inputs, float** outputs, int32_t frames) {
    render(inputs, outputs, frames, HeadRenderer::Mode::Replace);
}

void Malvoree::renderAdding(float** inputs, float** outputs, int32_t frames) {
    render(inputs, outputs, frames, HeadRenderer::Mode::Add);
}

double Malvoree::hostTempo() {
    if (!tempoSync_) return 0.0;
    const TimeInfoRecord* info = askTimeInfo(kTimeInfoTempoValid);
    if (info && (info->flags & kTimeInfoTempoValid) && std::isfinite(info->tempo) &&
        info->tempo > 0.0)
        return info->tempo;
    return 0.0;
}

void Malvoree::render(float** inputs, float** outputs, int32_t frames, HeadRenderer::Mode mode) {
    if (frames <= 0 || !inputs || !outputs) return;
    const bool adding = mode == HeadRenderer::Mode::Add;
    if (!handoff_.enterAudio()) {
        // The heads are being re-made: this one block stays silent rather than wait.
        if (!adding) {
            std::fill_n(outputs[0], frames, 0.0f);
            std::fill_n(outputs[1], frames, 0.0f);
        }
        return;
    }
    if (handoff_.hasPending()) applyBatch(handoff_.take());
    const double tempo = hostTempo();
    const bool inPlace = inputs[0] == outputs[0] || inputs[1] == outputs[1];
    // Longer calls than the block size run in block-size pieces, each a block of its own.
    const int32_t piece = scratchSize_ > 0 ? scratchSize_ : frames;
    for (int32_t done = 0; done < frames; done += piece) {
        const int32_t n = std::min(piece, frames - done);
        const float* left = inputs[0] + done;
        const float* right = inputs[1] + done;
        if (inPlace && !adding) {
            if (!scratch_) break;
            float* scratchLeft = scratch_.get();
            float* scratchRight = scratch_.get() + scratchSize_;
            std::copy_n(left, n, scratchLeft);
            std::copy_n(right, n, scratchRight);
            left = scratchLeft;
            right = scratchRight;
        }
        renderer_.render(headPointers_.data(), kHeadCount, left, right, outputs[0] + done,
                         outputs[1] + done, n, tempo, mode);
    }
    handoff_.leaveAudio();
}

// --- parameters and programs ---------------------------------------------------------------

void Malvoree::writeParameter(int32_t index, float value) {
    if (!isValidParameter(index) || std::isnan(value)) return;
    value = std::clamp(value, 0.0f, 1.0f);
    currentProgramRecord().parameters[static_cast<size_t>(index)].value.store(
        value, std::memory_order_relaxed);
    handoff_.markParameter(index);
    applyPendingIfUnowned();
    refreshEditorControls(uint32_t{1} << index);
}

void Malvoree::applyPendingIfUnowned() {
    handoff_.applyIfUnowned([this](EngineHandoff::Batch batch) { applyBatch(batch); });
}

void Malvoree::applyBatch(EngineHandoff::Batch batch) {
    if (batch.program >= 0) engineProgram_ = batch.program;
    const DelayProgramRecord& record = programs_[static_cast<size_t>(engineProgram_)];
    for (int32_t index = 0; index < kParameterCount; ++index)
        if (batch.parameters & (uint32_t{1} << index))
            applyToHeads(index, record.parameters[static_cast<size_t>(index)].value.load(
                                    std::memory_order_relaxed));
}

void Malvoree::applyToHeads(int32_t index, float value) {
    const int32_t headIndex = headOfParameter(index);
    if (headIndex >= 0) {
        DelayHead& head = heads_[static_cast<size_t>(headIndex)];
        switch (index - headIndex * kParametersPerHead) {
        case kHeadDelay:
            head.setDelayAmount(value);
            break;
        case kHeadFeedback:
            head.setFeedbackAmount(value);
            break;
        case kHeadFilter:
            head.setFilterAmount(value);
            break;
        case kHeadVolume:
            head.setHeadVolume(value);
            break;
        case kHeadPan:
            head.setHeadPan(value);
            break;
        }
    } else if (index == kTempoParameter) {
        tempoSync_ = value >= 0.5f;
        for (DelayHead& head : heads_)
            head.setTempoFollow(tempoSync_);
    } else if (index == kMixParameter) {
        for (DelayHead& head : heads_) {
            head.setWetGain(value * 0.5f);
            head.setDryGain((1.0f - value) * 0.25f);
        }
    }
}

float Malvoree::readParameter(int32_t index) {
    if (!isValidParameter(index)) return 0.0f;
    return currentProgramRecord().parameters[static_cast<size_t>(index)].value.load(
        std::memory_order_relaxed);
}

void Malvoree::selectProgram(int32_t program) {
    if (program < 0 || program >= kProgramCount) return;
    currentProgram_ = program;
    // The program's values are already stored: the heads and the editor take them as one.
    handoff_.markProgram(program, kAllParameters);
    applyPendingIfUnowned();
    refreshEditorControls(kAllParameters);
}

void Malvoree::renameProgram(char* name) {
    programNames_.rename(currentProgram_.load(), name);
}

void Malvoree::copyProgramName(char* buffer) {
    programNames_.copyShown(currentProgram_.load(), buffer, kProgramNameMaxLength);
}

bool Malvoree::copyCurrentProgramTo(int32_t destination) {
    if (destination < 0 || destination >= kProgramCount) return false;
    const int32_t current = currentProgram_.load();
    if (destination == current) return true;
    const DelayProgramRecord& source = programs_[static_cast<size_t>(current)];
    DelayProgramRecord& target = programs_[static_cast<size_t>(destination)];
    for (int32_t i = 0; i < kParameterCount; ++i) {
        const auto at = static_cast<size_t>(i);
        target.parameters[at].value.store(source.parameters[at].value.load());
    }
    programNames_.copyName(current, destination);
    return true;
}

// --- texts and identity --------------------------------------------------------------------

void Malvoree::copyParameterUnit(int32_t index, char* buffer) {
    if (!isValidParameter(index)) {
        buffer[0] = '\0';
        return;
    }
    copyBounded(buffer, currentProgramRecord().parameters[static_cast<size_t>(index)].unit,
                kParameterUnitMaxLength);
}

void Malvoree::copyParameterTitle(int32_t index, char* buffer) {
    if (!isValidParameter(index)) {
        buffer[0] = '\0';
        return;
    }
    copyBounded(buffer, currentProgramRecord().parameters[static_cast<size_t>(index)].title,
                kParameterTitleMaxLength);
}

void Malvoree::copyParameterText(int32_t index, char* buffer) {
    buffer[0] = '\0';
    if (!isValidParameter(index)) return;
    const float value = readParameter(index);
    switch (kParameters[static_cast<size_t>(index)].kind) {
    case ParameterKind::DelayTime: {
        // Seconds whatever the Tempo setting: the host lists plain times.
        const double seconds = maxDelayMilliseconds() * static_cast<double>(value) * 0.001;
        std::snprintf(buffer, textBufferBytes(kParameterTextMaxLength), " %1.3f", seconds);
        break;
    }
    case ParameterKind::Feedback:
    case ParameterKind::Filter:
    case ParameterKind::Mix:
        formatFloat(value * 100.0f, buffer, kParameterTextMaxLength);
        buffer[kShortTextLength] = '\0';
        break;
    case ParameterKind::Volume:
        formatDecibels(value, buffer, kParameterTextMaxLength);
        buffer[kShortTextLength] = '\0';
        break;
    case ParameterKind::Pan:
        formatPan(value, buffer);
        break;
    case ParameterKind::TempoSync:
        copyBounded(buffer, value >= 0.5f ? "On" : "Off", kParameterTextMaxLength);
        break;
    }
}

bool Malvoree::parseParameterText(int32_t index, char* text) {
    if (!isValidParameter(index)) return false;
    float value = 0.0f;
    const bool tempoSync = readParameter(kTempoParameter) >= 0.5f;
    if (!parseValueText(kParameters[static_cast<size_t>(index)].kind, text, tempoSync, value))
        return false;
    writeParameter(index, value);
    return true;
}

bool Malvoree::copyIndexedProgramName(int32_t /*category*/, int32_t index, char* text) {
    if (index < 0 || index >= kProgramCount) return false;
    programNames_.copy(index, text, kProgramNameMaxLength);
    return true;
}

bool Malvoree::describeInput(int32_t index, PinInfo* pin) {
    if (index < 0 || index > 1 || !pin) return false;
    std::snprintf(pin->label, kPinLabelBytes, "Malvoree %1d", index + 1);
    pin->pinFlags = kPinFlags;
    return true;
}

bool Malvoree::describeOutput(int32_t index, PinInfo* pin) {
    return describeInput(index, pin);
}

bool Malvoree::copyEffectName(char* text) {
    copyBounded(text, kEffectName, kEffectNameMaxLength);
    return true;
}

bool Malvoree::copyVendorName(char* text) {
    copyBounded(text, kVendorName, kVendorNameMaxLength);
    return true;
}

bool Malvoree::copyProductName(char* text) {
    copyBounded(text, kEffectName, kProductNameMaxLength);
    return true;
}

int32_t Malvoree::vendorVersionNumber() {
    return packVersion(1, 1, 0, 16, 0);
}

intptr_t Malvoree::handleVendorCall(int32_t index, intptr_t value, void* /*pointer*/,
                                    float option) {
    if (editor_ && index == kWheelVendorIndex && value == kWheelVendorValue)
        return editor_->handleWheel(option) ? 1 : 0;
    return 0;
}

int32_t Malvoree::answerCapability(const char* /*text*/) {
    return -1;
}
