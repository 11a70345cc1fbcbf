#include "audioeffect.h"
#include "valuetext.h"

#include "aeffeditor.h"

#include <cmath>
#include <cstring>

namespace {

// The five forwarders stored in the record: each takes the effect from `owner`.
AudioEffect* ownerOf(DescriptorRecord* record) {
    return static_cast<AudioEffect*>(record->owner);
}

void accumulateTrampoline(DescriptorRecord* record, float** inputs, float** outputs,
                          int32_t frames) {
    ownerOf(record)->renderAccumulating(inputs, outputs, frames);
}

void writeParameterTrampoline(DescriptorRecord* record, int32_t index, float value) {
    ownerOf(record)->writeParameter(index, value);
}

float readParameterTrampoline(DescriptorRecord* record, int32_t index) {
    return ownerOf(record)->readParameter(index);
}

void replaceTrampoline(DescriptorRecord* record, float** inputs, float** outputs, int32_t frames) {
    ownerOf(record)->renderReplacing(inputs, outputs, frames);
}

void replaceDoubleTrampoline(DescriptorRecord* record, double** inputs, double** outputs,
                             int32_t frames) {
    ownerOf(record)->renderReplacingDouble(inputs, outputs, frames);
}

// Appends to a text already bounded by maxLen, keeping the bound.
void appendBounded(char* text, const char* source, int32_t maxLen) {
    if (maxLen < 0) return;
    size_t length = std::strlen(text);
    while (length < static_cast<size_t>(maxLen) && *source != '\0')
        text[length++] = *source++;
    text[length] = '\0';
}

// The formatters' contract: their buffer holds maxLen + 1 bytes, and the last one is a NUL.
void terminateAtLimit(char* text, int32_t maxLen) {
    if (maxLen >= 0) text[maxLen] = '\0';
}

// Opcodes whose pointer argument is a buffer or record the plug-in reads or writes.
bool opcodeNeedsPointer(int32_t opcode) {
    switch (opcode) {
    case ProgramRename:
    case ProgramNameQuery:
    case ParameterUnitQuery:
    case ParameterTextQuery:
    case ParameterTitleQuery:
    case EditorBoundsQuery:
    case StateExport:
        return true;
    default:
        return false;
    }
}

} // namespace

void copyBounded(char* destination, const char* source, int32_t maxLen) {
    if (maxLen < 0) return;
    destination[0] = '\0';
    appendBounded(destination, source, maxLen);
}

AudioEffect::AudioEffect(HostCallback host, int32_t programCount, int32_t parameterCount)
    : hostCallback_(host), programCount_(programCount) {
    std::memset(&descriptor_, 0, sizeof(descriptor_));
    descriptor_.signature = kDescriptorSignature;
    descriptor_.dispatchFn = dispatchRequest;
    descriptor_.accumulateFn = accumulateTrampoline;
    descriptor_.writeParameterFn = writeParameterTrampoline;
    descriptor_.readParameterFn = readParameterTrampoline;
    descriptor_.replaceFn = replaceTrampoline;
    descriptor_.replaceDoubleFn = replaceDoubleTrampoline;
    descriptor_.programCount = programCount;
    descriptor_.parameterCount = parameterCount;
    descriptor_.inputCount = 1;
    descriptor_.outputCount = 2;
    descriptor_.ioRatioHint = 1.0f;
    descriptor_.owner = this;
    descriptor_.pluginId = kDefaultPluginId;
    descriptor_.pluginVersion = 1;
    enableReplacing(true);
}

AudioEffect::~AudioEffect() {
    delete editor_;
}

void AudioEffect::attachEditor(AEffEditor* editor) {
    editor_ = editor;
    setFlag(FlagEditor, editor != nullptr);
}

intptr_t AudioEffect::callHost(int32_t opcode, int32_t index, intptr_t value, void* pointer,
                               float option) {
    if (hostCallback_ == nullptr) return 0;
    return hostCallback_(&descriptor_, opcode, index, value, pointer, option);
}

intptr_t AudioEffect::dispatchOpcode(int32_t opcode, int32_t index, intptr_t value, void* pointer,
                                     float option) {
    // A host that passes no buffer gets "nothing done" rather than a crash.
    if (pointer == nullptr && opcodeNeedsPointer(opcode)) return 0;

    switch (opcode) {
    case Initialise:
        onOpen();
        return 0;
    case Shutdown:
        onClose();
        return 0;
    case ProgramSelect:
        // Negative numbers pass the host's signed comparison but name no program.
        if (value >= 0 && value < programCount_) selectProgram(static_cast<int32_t>(value));
        return 0;
    case ProgramQuery:
        return currentProgramIndex();
    case ProgramRename:
        renameProgram(static_cast<char*>(pointer));
        return 0;
    case ProgramNameQuery:
        copyProgramName(static_cast<char*>(pointer));
        return 0;
    case ParameterUnitQuery:
        copyParameterUnit(index, static_cast<char*>(pointer));
        return 0;
    case ParameterTextQuery:
        copyParameterText(index, static_cast<char*>(pointer));
        return 0;
    case ParameterTitleQuery:
        copyParameterTitle(index, static_cast<char*>(pointer));
        return 0;
    case SampleRateChange:
        changeSampleRate(option);
        return 0;
    case BlockSizeChange:
        changeBlockSize(static_cast<int32_t>(value));
        return 0;
    case PowerChange:
        if (value != 0)
            onResume();
        else
            onSuspend();
        return 0;
    case EditorBoundsQuery:
        return editor_ != nullptr && editor_->editorBounds(static_cast<EditorRect**>(pointer));
    case EditorAttach:
        return editor_ != nullptr && editor_->openEditor(pointer);
    case EditorDetach:
        if (editor_ != nullptr) editor_->closeEditor();
        return 0;
    case EditorTick:
        if (editor_ != nullptr) editor_->editorIdle();
        return 0;
    case IdentityProbe:
        return kIdentityProbeAnswer;
    case StateExport:
        return exportStateBlock(static_cast<void**>(pointer), index != 0);
    case StateImport:
        return importStateBlock(pointer, static_cast<int32_t>(value), index != 0);
    default:
        return 0;
    }
}

void AudioEffect::writeParameterAndNotify(int32_t index, float value) {
    writeParameter(index, value);
    callHost(ParameterChanged, index, 0, nullptr, value);
}

int32_t AudioEffect::askHostVersion() {
    const intptr_t answer = callHost(HostVersion);
    return answer == 0 ? 1 : static_cast<int32_t>(answer);
}

int32_t AudioEffect::askHostCurrentId() {
    return static_cast<int32_t>(callHost(LoadingId));
}

void AudioEffect::letHostIdle() {
    callHost(GiveTime);
}

bool AudioEffect::askInputConnected(int32_t pin) {
    return hostCallback_ == nullptr || callHost(IsPinLinked, pin, 0) == 0;
}

bool AudioEffect::askOutputConnected(int32_t pin) {
    return hostCallback_ == nullptr || callHost(IsPinLinked, pin, 1) == 0;
}

void AudioEffect::formatDecibels(float value, char* text, int32_t maxLen) {
    if (value <= 0.0f) {
        copyBounded(text, "-oo", maxLen);
        terminateAtLimit(text, maxLen);
        return;
    }
    formatFloat(static_cast<float>(20.0 * static_cast<double>(std::log10(value))), text, maxLen);
}

void AudioEffect::formatHertz(float samples, char* text, int32_t maxLen) {
    formatFloat(samples == 0.0f ? 0.0f : sampleRate_ / samples, text, maxLen);
}

void AudioEffect::formatMilliseconds(float samples, char* text, int32_t maxLen) {
    formatFloat(samples * 1000.0f / sampleRate_, text, maxLen);
}

void AudioEffect::formatFloat(float value, char* text, int32_t maxLen) {
    formatFloatText(value, text, maxLen);
}

void formatFloatText(float value, char* text, int32_t maxLen) {
    constexpr int32_t kWidth = 8;
    double v = value;
    if (std::isnan(v)) {
        // The digit arithmetic below has no answer for NaN.
        copyBounded(text, "NaN", maxLen);
        terminateAtLimit(text, maxLen);
        return;
    }
    const bool negative = v < 0.0;
    if (negative) v = -v;
    if ((negative && v > 9999999.0) || (!negative && v > 99999999.0)) {
        copyBounded(text, "Huge!", maxLen);
        terminateAtLimit(text, maxLen);
        return;
    }

    // Integer part, built from the right: digits, then the '.'.
    int32_t count = negative ? 1 : 0;
    double n = std::floor(v);
    char scratch[32];
    char* cursor = scratch + sizeof(scratch) - 1;
    *cursor = '\0';
    *--cursor = '.';
    *--cursor = static_cast<char>('0' + static_cast<int>(std::fmod(n, 10.0)));
    n /= 10.0;
    count += 2;
    while (n >= 1.0 && count < kWidth) {
        *--cursor = static_cast<char>('0' + static_cast<int>(std::fmod(n, 10.0)));
        n /= 10.0;
        ++count;
    }
    if (negative) *--cursor = '-';
    copyBounded(text, cursor, maxLen);

    if (count < kWidth) {
        const int32_t fractionDigits = kWidth - count;
        double m = std::fmod(v, 1.0) * std::pow(10.0, fractionDigits);
        char fraction[kWidth + 1];
        fraction[fractionDigits] = '\0';
        for (int32_t i = fractionDigits - 1; i >= 0; --i) {
            if (m <= 0.0) {
                fraction[i] = '0';
            } else {
                fraction[i] = static_cast<char>('0' + static_cast<int>(std::fmod(m, 10.0)));
                m /= 10.0;
            }
        }
        appendBounded(text, fraction, maxLen);
    }
    terminateAtLimit(text, maxLen);
}

void formatDecibelsText(float value, char* text, int32_t maxLen) {
    if (value <= 0.0f) {
        copyBounded(text, "-oo", maxLen);
        terminateAtLimit(text, maxLen);
        return;
    }
    formatFloatText(static_cast<float>(20.0 * static_cast<double>(std::log10(value))), text,
                    maxLen);
}

void AudioEffect::formatInteger(int32_t value, char* text, int32_t maxLen) {
    if (value >= 100000000) {
        copyBounded(text, "Huge!", maxLen);
        terminateAtLimit(text, maxLen);
        return;
    }
    copyBounded(text, value < 0 ? "-" : "", maxLen);
    // 64-bit so that the most negative value has an absolute value; negative values beyond
    // eight digits are written in full (still bounded by maxLen).
    int64_t rest = value < 0 ? -static_cast<int64_t>(value) : value;
    bool seenDigit = false;
    for (int64_t divisor = 1000000000; divisor >= 1; divisor /= 10) {
        const int64_t digit = rest / divisor;
        rest %= divisor;
        if (digit != 0) seenDigit = true;
        if (seenDigit) {
            const char digitText[2] = {static_cast<char>('0' + digit), '\0'};
            appendBounded(text, digitText, maxLen);
        }
    }
    terminateAtLimit(text, maxLen);
}

intptr_t dispatchRequest(DescriptorRecord* effect, int32_t opcode, int32_t index, intptr_t value,
                         void* pointer, float option) {
    if (effect == nullptr || effect->owner == nullptr) return 0;
    AudioEffect* object = ownerOf(effect);
    if (opcode == Shutdown) {
        object->dispatchOpcode(opcode, index, value, pointer, option);
        // An editor inside a modal loop deletes the effect once the loop has returned.
        AEffEditor* editor = object->editorObject();
        if (editor != nullptr && editor->deferEffectDeletion())
            object->forgetHost();
        else
            delete object;
        return 1;
    }
    return object->dispatchOpcode(opcode, index, value, pointer, option);
}
