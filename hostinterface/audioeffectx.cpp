#include "audioeffectx.h"

#include "aeffeditor.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Opcodes of this class whose pointer argument is a buffer or record the plug-in reads or
// writes; without one they do nothing.
bool opcodeNeedsPointer(int32_t opcode) {
    switch (opcode) {
    case EventDelivery:
    case ParameterTextParse:
    case IndexedProgramNameQuery:
    case InputInfoQuery:
    case OutputInfoQuery:
    case EffectNameQuery:
    case VendorNameQuery:
    case ProductNameQuery:
    case CapabilityQuery:
    case ParameterPropertiesQuery:
    case ShellEntryQuery:
        return true;
    default:
        return false;
    }
}

// The key record the editor receives: modifiers are the option's low byte after truncation.
KeyRecord makeKeyRecord(int32_t index, intptr_t value, float option) {
    KeyRecord key{};
    key.character = index;
    key.virtualKey = static_cast<uint8_t>(value & 0xFF);
    // Out-of-range options (or NaN) have no integer value; treat them as no modifier.
    const bool representable =
        std::isfinite(option) && option > -2147483648.0f && option < 2147483648.0f;
    key.modifiers = representable ? static_cast<uint8_t>(static_cast<int32_t>(option) & 0xFF) : 0;
    return key;
}

} // namespace

intptr_t AudioEffectX::dispatchOpcode(int32_t opcode, int32_t index, intptr_t value, void* pointer,
                                      float option) {
    if (opcode < EventDelivery || opcode > MidiOutputChannelQuery)
        return AudioEffect::dispatchOpcode(opcode, index, value, pointer, option);
    if (pointer == nullptr && opcodeNeedsPointer(opcode)) return 0;

    char* text = static_cast<char*>(pointer);
    switch (opcode) {
    case EventDelivery:
        return handleEvents(static_cast<EventBlock*>(pointer));
    case AutomatableQuery:
        return isParameterAutomatable(index);
    case ParameterTextParse:
        return parseParameterText(index, text);
    case IndexedProgramNameQuery:
        return copyIndexedProgramName(static_cast<int32_t>(value), index, text);
    case InputInfoQuery:
        return describeInput(index, static_cast<PinInfo*>(pointer));
    case OutputInfoQuery:
        return describeOutput(index, static_cast<PinInfo*>(pointer));
    case CategoryQuery:
        return pluginCategory();
    case OfflineNotice:
        return onOfflineNotice(pointer, static_cast<int32_t>(value), index != 0);
    case OfflinePreparation:
        return onOfflinePrepare(pointer, static_cast<int32_t>(value));
    case OfflineExecution:
        return onOfflineRun(pointer, static_cast<int32_t>(value));
    case VariableIoRender:
        return renderVariableIo(pointer);
    case SpeakerLayoutApply:
        return applySpeakerLayout(reinterpret_cast<SpeakerLayout*>(value),
                                  static_cast<SpeakerLayout*>(pointer));
    case BypassChange:
        return applyBypass(value != 0);
    case EffectNameQuery:
        return copyEffectName(text);
    case VendorNameQuery:
        return copyVendorName(text);
    case ProductNameQuery:
        return copyProductName(text);
    case VendorVersionQuery:
        return vendorVersionNumber();
    case VendorPrivateCall:
        return handleVendorCall(index, value, pointer, option);
    case CapabilityQuery:
        return answerCapability(text);
    case TailLengthQuery:
        return tailLength();
    case ParameterPropertiesQuery:
        return describeParameter(index, static_cast<ParameterProperties*>(pointer));
    case InterfaceVersionQuery:
        return interfaceVersion();
    case EditorKeyPress:
    case EditorKeyRelease: {
        if (editor_ == nullptr) return 0;
        KeyRecord key = makeKeyRecord(index, value, option);
        return opcode == EditorKeyPress ? editor_->handleKeyDown(key) : editor_->handleKeyUp(key);
    }
    case EditorKnobModeChange:
        return editor_ != nullptr && editor_->applyKnobMode(static_cast<int32_t>(value));
    case MidiProgramNameQuery:
        return copyMidiProgramName(index, pointer);
    case MidiProgramCurrentQuery:
        return currentMidiProgram(index, pointer);
    case MidiProgramCategoryQuery:
        return copyMidiProgramCategory(index, pointer);
    case MidiProgramsChangedQuery:
        return midiProgramsChanged(index);
    case MidiKeyNameQuery:
        return copyMidiKeyName(index, pointer);
    case ProgramChangeOpening:
        return onProgramChangeBegin();
    case ProgramChangeClosing:
        return onProgramChangeEnd();
    case SpeakerLayoutQuery:
        return reportSpeakerLayout(reinterpret_cast<SpeakerLayout**>(value),
                                   static_cast<SpeakerLayout**>(pointer));
    case ShellEntryQuery:
        return nextShellEntry(text);
    case ProcessingBegin:
        return onProcessingStart();
    case ProcessingEnd:
        return onProcessingStop();
    case TotalSamplesNotice:
        return announceTotalSamples(static_cast<int32_t>(value));
    case PanLawChange:
        return applyPanLaw(static_cast<int32_t>(value), option);
    case BankLoadOpening:
        return onBankLoadBegin(pointer);
    case ProgramLoadOpening:
        return onProgramLoadBegin(pointer);
    case PrecisionChange:
        return applyPrecision(static_cast<int32_t>(value));
    case MidiInputChannelQuery:
        return midiInputChannelCount();
    case MidiOutputChannelQuery:
        return midiOutputChannelCount();
    default:
        return 0;
    }
}

void AudioEffectX::onResume() {
    if (!hasFlag(FlagInstrument) && answerCapability("receiveQxaMidiEvent") != 1) return;
    requestEvents(1);
}

bool AudioEffectX::notifyEditBegin(int32_t index) {
    return callHost(GestureBegin, index) != 0;
}
bool AudioEffectX::notifyEditEnd(int32_t index) {
    return callHost(GestureEnd, index) != 0;
}
bool AudioEffectX::notifyIoChanged() {
    return callHost(LayoutChanged) != 0;
}

double AudioEffectX::refreshSampleRate() {
    const intptr_t answer = callHost(HostSampleRate);
    if (answer > 0) sampleRate_ = static_cast<float>(answer);
    return sampleRate_;
}

int32_t AudioEffectX::refreshBlockSize() {
    const intptr_t answer = callHost(HostBlockSize);
    if (answer > 0) blockSize_ = static_cast<int32_t>(answer);
    return blockSize_;
}

int32_t AudioEffectX::askInputLatency() {
    return static_cast<int32_t>(callHost(InputDelay));
}
int32_t AudioEffectX::askOutputLatency() {
    return static_cast<int32_t>(callHost(OutputDelay));
}

bool AudioEffectX::reportSpeakerLayout(SpeakerLayout** input, SpeakerLayout** output) {
    if (input != nullptr) *input = nullptr;
    if (output != nullptr) *output = nullptr;
    return false;
}

TimeInfoRecord* AudioEffectX::askTimeInfo(int32_t filter) {
    return reinterpret_cast<TimeInfoRecord*>(callHost(TransportInfo, 0, filter));
}

int32_t AudioEffectX::askProcessLevel() {
    return static_cast<int32_t>(callHost(CallingContext));
}
int32_t AudioEffectX::askAutomationState() {
    return static_cast<int32_t>(callHost(AutomationMode));
}
bool AudioEffectX::askHostVendor(char* text) {
    return callHost(HostMaker, 0, 0, text) != 0;
}
bool AudioEffectX::askHostProduct(char* text) {
    return callHost(HostName, 0, 0, text) != 0;
}
int32_t AudioEffectX::askHostVendorVersion() {
    return static_cast<int32_t>(callHost(HostMakerVersion));
}

intptr_t AudioEffectX::callHostVendorSpecific(int32_t index, intptr_t value, void* pointer,
                                              float option) {
    return callHost(HostPrivateCall, index, value, pointer, option);
}

bool AudioEffectX::askHostCapability(const char* text) {
    return callHost(HostSupports, 0, 0, const_cast<char*>(text)) != 0;
}

int32_t AudioEffectX::askHostLanguage() {
    return static_cast<int32_t>(callHost(HostUiLanguage));
}
void* AudioEffectX::askHostDirectory() {
    return reinterpret_cast<void*>(callHost(PluginFolder));
}
bool AudioEffectX::requestDisplayRefresh() {
    return callHost(DisplayRefresh) != 0;
}
bool AudioEffectX::requestWindowResize(int32_t width, int32_t height) {
    return callHost(ResizeWindow, width, height) != 0;
}

bool AudioEffectX::openHostFileDialog(void* dialog) {
    return dialog != nullptr && callHost(FileDialogOpen, 0, 0, dialog) != 0;
}

bool AudioEffectX::closeHostFileDialog(void* dialog) {
    return dialog != nullptr && callHost(FileDialogClose, 0, 0, dialog) != 0;
}

bool AudioEffectX::askHostStateFile(char* path) {
    return path != nullptr && callHost(StateFilePath, 0, 0, path) != 0;
}

bool AudioEffectX::allocateSpeakerLayout(SpeakerLayout** layout, int32_t count) {
    if (layout == nullptr) return false;
    std::free(*layout);
    *layout = nullptr;
    if (count < 0) return false;
    void* memory = std::calloc(1, speakerLayoutBytes(count));
    if (memory == nullptr) return false;
    *layout = static_cast<SpeakerLayout*>(memory);
    (*layout)->speakerCount = count;
    return true;
}

bool AudioEffectX::releaseSpeakerLayout(SpeakerLayout** layout) {
    if (layout != nullptr) {
        std::free(*layout);
        *layout = nullptr;
    }
    return true;
}

bool AudioEffectX::copySpeakerProperties(SpeakerInfo* to, SpeakerInfo* from) {
    if (to == nullptr || from == nullptr) return false;
    copyBounded(to->name, from->name, static_cast<int32_t>(sizeof(to->name)) - 1);
    to->type = from->type;
    std::memcpy(to->values, from->values, sizeof(to->values));
    std::memcpy(to->reserved, from->reserved, sizeof(to->reserved));
    return true;
}

bool AudioEffectX::matchSpeakerLayout(SpeakerLayout** to, SpeakerLayout* from) {
    if (from == nullptr || to == nullptr) return false;
    releaseSpeakerLayout(to);
    if (!allocateSpeakerLayout(to, from->speakerCount)) return false;
    (*to)->layoutType = from->layoutType;
    for (int32_t i = 0; i < from->speakerCount; ++i) {
        if (!copySpeakerProperties(&(*to)->speakers[i], &from->speakers[i])) return false;
    }
    return true;
}

bool AudioEffectX::offlineReadRequest(void* task, int32_t option, bool readSource) {
    return callHost(OfflineFetch, readSource ? 1 : 0, option, task) != 0;
}

bool AudioEffectX::offlineWriteRequest(void* task, int32_t option) {
    return callHost(OfflineStore, 0, option, task) != 0;
}

bool AudioEffectX::offlineStartRequest(void* files, int32_t count, int32_t newCount) {
    return callHost(OfflineBegin, newCount, count, files) != 0;
}

int32_t AudioEffectX::offlinePassNumber() {
    return callHost(OfflinePassIndex) != 0 ? 1 : 0;
}
int32_t AudioEffectX::offlineMetaPassNumber() {
    return callHost(OfflineMetaPassIndex) != 0 ? 1 : 0;
}

intptr_t AudioEffectX::requestEvents(int32_t filter) {
    return callHost(RequestEvents, 0, filter);
}
intptr_t AudioEffectX::askTempoAt(int32_t position) {
    return callHost(TempoAtPosition, 0, position);
}
int32_t AudioEffectX::askAutomatableCount() {
    return static_cast<int32_t>(callHost(AutomatableCount));
}
int32_t AudioEffectX::askParameterQuantization() {
    return static_cast<int32_t>(callHost(ParameterSteps));
}
bool AudioEffectX::requestIdleCalls() {
    return callHost(WantsIdle) != 0;
}

DescriptorRecord* AudioEffectX::askPreviousPlug(int32_t /*input*/) {
    return reinterpret_cast<DescriptorRecord*>(callHost(UpstreamEffect));
}

DescriptorRecord* AudioEffectX::askNextPlug(int32_t /*output*/) {
    return reinterpret_cast<DescriptorRecord*>(callHost(DownstreamEffect));
}

int32_t AudioEffectX::askReplaceOrAccumulate() {
    return static_cast<int32_t>(callHost(ReplaceOrAccumulate));
}

intptr_t AudioEffectX::announceOutputSampleRate(float rate) {
    return callHost(ProposeOutputRate, 0, 0, nullptr, rate);
}

SpeakerLayout* AudioEffectX::askInputSpeakerLayout() {
    return reinterpret_cast<SpeakerLayout*>(callHost(InputSpeakers));
}

SpeakerLayout* AudioEffectX::askOutputSpeakerLayout() {
    return reinterpret_cast<SpeakerLayout*>(callHost(OutputSpeakers));
}

void* AudioEffectX::askHostOpenWindow(void* window) {
    return reinterpret_cast<void*>(callHost(WindowOpen, 0, 0, window));
}

bool AudioEffectX::askHostCloseWindow(void* window) {
    return callHost(WindowClose, 0, 0, window) != 0;
}

bool AudioEffectX::sendEventsToHost(EventBlock* events) {
    return callHost(EventsToHost, 0, 0, events) == 1;
}
