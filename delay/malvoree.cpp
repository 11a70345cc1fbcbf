#include "malvoree.h"

#include "aeffeditor.h"

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
constexpr const char* kNewProgramName = "Init";
// Value texts are formatted to 8 characters, so host buffers hold at least 9 bytes.
constexpr int32_t kValueTextBytes = 9;
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
        record.index = i;
        copyBounded(record.unit, info.unit, kUnitBytes - 1);
        copyBounded(record.title, info.title, kTitleBytes - 1);
    }
    copyBounded(name, kNewProgramName, kProgramNameBytes - 1);
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
    // Every default reaches the heads through writeParameter.
    selectProgram(0);
}

Malvoree::~Malvoree() = default;

bool Malvoree::isComplete() const {
    return std::all_of(heads_.begin(), heads_.end(),
                       [](const DelayHead& head) { return head.hasBuffer(); });
}

// --- lifecycle -----------------------------------------------------------------------------

void Malvoree::onResume() {
    gate_.enterReconfigure();
    for (DelayHead& head : heads_)
        head.clearHead();
    gate_.leaveReconfigure();
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
    gate_.enterReconfigure();
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
    gate_.leaveReconfigure();
}

// --- audio ---------------------------------------------------------------------------------

void Malvoree::renderReplacing(float** inputs, float** outputs, int32_t frames) {
    render(inputs, outputs, frames, HeadRenderer::Mode::Replace);
}

void Malvoree::renderAdding(float** inputs, float** outputs, int32_t frames) {
    render(inputs, outputs, frames, HeadRenderer::Mode::Add);
}

double Malvoree::hostTempo() {
    if (!tempoSync_.load(std::memory_order_relaxed)) return 0.0;
    const TimeInfoRecord* info = askTimeInfo(kTimeInfoTempoValid);
    if (info && (info->flags & kTimeInfoTempoValid) && std::isfinite(info->tempo) &&
        info->tempo > 0.0)
        return info->tempo;
    return 0.0;
}

void Malvoree::render(float** inputs, float** outputs, int32_t frames, HeadRenderer::Mode mode) {
    if (frames <= 0 || !inputs || !outputs) return;
    const bool adding = mode == HeadRenderer::Mode::Add;
    if (!gate_.tryEnterRender()) {
        // The heads are being re-made: this one block stays silent rather than wait.
        if (!adding) {
            std::fill_n(outputs[0], frames, 0.0f);
            std::fill_n(outputs[1], frames, 0.0f);
        }
        return;
    }
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
    gate_.leaveRender();
}

// --- parameters and programs ---------------------------------------------------------------

void Malvoree::writeParameter(int32_t index, float value) {
    if (!isValidParameter(index) || std::isnan(value)) return;
    value = std::clamp(value, 0.0f, 1.0f);
    currentProgramRecord().parameters[static_cast<size_t>(index)].value.store(
        value, std::memory_order_relaxed);

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
        const bool on = value >= 0.5f;
        tempoSync_.store(on, std::memory_order_relaxed);
        for (DelayHead& head : heads_)
            head.setTempoFollow(on);
    } else if (index == kMixParameter) {
        for (DelayHead& head : heads_) {
            head.setWetGain(value * 0.5f);
            head.setDryGain((1.0f - value) * 0.25f);
        }
    }
    refreshEditorControls();
}

float Malvoree::readParameter(int32_t index) {
    if (!isValidParameter(index)) return 0.0f;
    return currentProgramRecord().parameters[static_cast<size_t>(index)].value.load(
        std::memory_order_relaxed);
}

void Malvoree::selectProgram(int32_t program) {
    if (program < 0 || program >= kProgramCount) return;
    currentProgram_ = program;
    for (int32_t i = 0; i < kParameterCount; ++i)
        writeParameter(i, readParameter(i));
}

void Malvoree::renameProgram(char* name) {
    if (name) copyBounded(currentProgramRecord().name, name, kProgramNameBytes - 1);
}

void Malvoree::copyProgramName(char* buffer) {
    const char* name = currentProgramRecord().name;
    if (std::strcmp(name, kNewProgramName) == 0)
        std::snprintf(buffer, kProgramNameBytes, "%s %d", name, currentProgram_ + 1);
    else
        copyBounded(buffer, name, kProgramNameBytes - 1);
}

bool Malvoree::copyCurrentProgramTo(int32_t destination) {
    if (destination < 0 || destination >= kProgramCount) return false;
    const DelayProgramRecord& source = currentProgramRecord();
    DelayProgramRecord& target = programs_[static_cast<size_t>(destination)];
    if (&target == &source) return true;
    for (int32_t i = 0; i < kParameterCount; ++i) {
        const auto at = static_cast<size_t>(i);
        target.parameters[at].value.store(source.parameters[at].value.load());
    }
    copyBounded(target.name, source.name, kProgramNameBytes - 1);
    return true;
}

// --- texts and identity --------------------------------------------------------------------

void Malvoree::copyParameterUnit(int32_t index, char* buffer) {
    if (!isValidParameter(index)) {
        buffer[0] = '\0';
        return;
    }
    copyBounded(buffer, currentProgramRecord().parameters[static_cast<size_t>(index)].unit,
                kUnitBytes - 1);
}

void Malvoree::copyParameterTitle(int32_t index, char* buffer) {
    if (!isValidParameter(index)) {
        buffer[0] = '\0';
        return;
    }
    copyBounded(buffer, currentProgramRecord().parameters[static_cast<size_t>(index)].title,
                kTitleBytes - 1);
}

void Malvoree::copyParameterText(int32_t index, char* buffer) {
    buffer[0] = '\0';
    if (!isValidParameter(index)) return;
    const float value = readParameter(index);
    switch (kParameters[static_cast<size_t>(index)].kind) {
    case ParameterKind::DelayTime: {
        // Seconds whatever the Tempo setting: the host lists plain times.
        const double seconds = maxDelayMilliseconds() * static_cast<double>(value) * 0.001;
        std::snprintf(buffer, kValueTextBytes, " %1.3f", seconds);
        break;
    }
    case ParameterKind::Feedback:
    case ParameterKind::Filter:
    case ParameterKind::Mix:
        formatFloat(value * 100.0f, buffer, kValueTextBytes - 1);
        buffer[kShortTextLength] = '\0';
        break;
    case ParameterKind::Volume:
        formatDecibels(value, buffer, kValueTextBytes - 1);
        buffer[kShortTextLength] = '\0';
        break;
    case ParameterKind::Pan:
        formatPan(value, buffer);
        break;
    case ParameterKind::TempoSync:
        copyBounded(buffer, value >= 0.5f ? "On" : "Off", kValueTextBytes - 1);
        break;
    }
}

bool Malvoree::copyIndexedProgramName(int32_t /*category*/, int32_t index, char* text) {
    if (index < 0 || index >= kProgramCount) return false;
    copyBounded(text, programs_[static_cast<size_t>(index)].name, kProgramNameBytes - 1);
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
    copyBounded(text, kEffectName, 8);
    return true;
}

bool Malvoree::copyVendorName(char* text) {
    copyBounded(text, kVendorName, 28);
    return true;
}

bool Malvoree::copyProductName(char* text) {
    copyBounded(text, kEffectName, 8);
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
