// AudioEffectX: the second generation of the host interface on top of AudioEffect: events,
// capabilities both ways, pins and speakers, names and versions, transport information,
// offline processing and the wrappers of host requests 6 to 49. Routes opcodes 25 to 79.
//
// Every wrapper answers 0, false or null without a host callback. Most operations are
// neutral defaults that a plug-in overrides where it has something to say.
#pragma once

#include "audioeffect.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(HostCallback host, int32_t programCount, int32_t parameterCount)
        : AudioEffect(host, programCount, parameterCount) {}
    ~AudioEffectX() override = default;

    // Opcodes 25 to 79; everything else goes to AudioEffect.
    intptr_t dispatchOpcode(int32_t opcode, int32_t index, intptr_t value, void* pointer,
                            float option) override;
    // Asks the host for MIDI events when the plug-in is an instrument or receives MIDI.
    void onResume() override;

    virtual bool isParameterAutomatable(int32_t /*index*/) { return true; }
    virtual bool parseParameterText(int32_t /*index*/, char* /*text*/) { return false; }
    virtual bool describeParameter(int32_t /*index*/, ParameterProperties* /*properties*/) {
        return false;
    }
    virtual bool notifyEditBegin(int32_t index);
    virtual bool notifyEditEnd(int32_t index);
    virtual bool copyIndexedProgramName(int32_t /*category*/, int32_t /*index*/, char* /*text*/) {
        return false;
    }
    virtual bool onProgramChangeBegin() { return false; }
    virtual bool onProgramChangeEnd() { return false; }
    virtual int32_t onBankLoadBegin(void* /*data*/) { return 0; }
    virtual int32_t onProgramLoadBegin(void* /*data*/) { return 0; }
    virtual bool notifyIoChanged();
    // Stores a positive host answer; returns the (possibly unchanged) value.
    virtual double refreshSampleRate();
    virtual int32_t refreshBlockSize();
    virtual int32_t askInputLatency();
    virtual int32_t askOutputLatency();
    virtual bool describeInput(int32_t /*index*/, PinInfo* /*pin*/) { return false; }
    virtual bool describeOutput(int32_t /*index*/, PinInfo* /*pin*/) { return false; }
    virtual bool applySpeakerLayout(SpeakerLayout* /*input*/, SpeakerLayout* /*output*/) {
        return false;
    }
    virtual bool reportSpeakerLayout(SpeakerLayout** input, SpeakerLayout** output);
    virtual bool applyBypass(bool /*on*/) { return false; }
    virtual bool applyPanLaw(int32_t /*type*/, float /*gain*/) { return false; }
    virtual bool applyPrecision(int32_t /*precision*/) { return false; }
    virtual int32_t midiInputChannelCount() { return 0; }
    virtual int32_t midiOutputChannelCount() { return 0; }
    // HostRequest TransportInfo: the host's record, or null.
    virtual TimeInfoRecord* askTimeInfo(int32_t filter);
    virtual int32_t askProcessLevel();
    virtual int32_t askAutomationState();
    // Audio thread, before the render call of the same block.
    virtual int32_t handleEvents(EventBlock* /*events*/) { return 0; }
    virtual int32_t onProcessingStart() { return 0; }
    virtual int32_t onProcessingStop() { return 0; }
    virtual bool renderVariableIo(void* /*data*/) { return false; }
    virtual int32_t announceTotalSamples(int32_t samples) { return samples; }
    virtual bool askHostVendor(char* text);
    virtual bool askHostProduct(char* text);
    virtual int32_t askHostVendorVersion();
    virtual intptr_t callHostVendorSpecific(int32_t index, intptr_t value, void* pointer,
                                            float option);
    // 1 when the host answers anything but 0 (a host's -1 included).
    virtual bool askHostCapability(const char* text);
    virtual int32_t askHostLanguage();
    virtual void markAsInstrument(bool on) { setFlag(FlagInstrument, on); }
    virtual void markNoTail(bool on) { setFlag(FlagSilentWhenStopped, on); }
    virtual int32_t tailLength() { return 0; }
    virtual void* askHostDirectory();
    virtual bool copyEffectName(char* /*text*/) { return false; }
    virtual bool copyVendorName(char* /*text*/) { return false; }
    virtual bool copyProductName(char* /*text*/) { return false; }
    virtual int32_t vendorVersionNumber() { return 0; }
    virtual intptr_t handleVendorCall(int32_t /*index*/, intptr_t /*value*/, void* /*pointer*/,
                                      float /*option*/) {
        return 0;
    }
    // 1 yes, -1 no, 0 unknown.
    virtual int32_t answerCapability(const char* /*text*/) { return 0; }
    virtual int32_t interfaceVersion() { return kInterfaceVersion; }
    virtual int32_t pluginCategory() { return hasFlag(FlagInstrument) ? 2 : 0; }
    virtual int32_t copyMidiProgramName(int32_t /*channel*/, void* /*record*/) { return 0; }
    virtual int32_t currentMidiProgram(int32_t /*channel*/, void* /*record*/) { return -1; }
    virtual int32_t copyMidiProgramCategory(int32_t /*channel*/, void* /*record*/) { return 0; }
    virtual bool midiProgramsChanged(int32_t /*channel*/) { return false; }
    virtual bool copyMidiKeyName(int32_t /*channel*/, void* /*record*/) { return false; }
    virtual bool requestDisplayRefresh();
    virtual bool requestWindowResize(int32_t width, int32_t height);
    virtual bool openHostFileDialog(void* dialog);
    virtual bool closeHostFileDialog(void* dialog);
    virtual int32_t nextShellEntry(char* /*name*/) { return 0; }
    // Replaces *layout with a zeroed layout of `count` speakers; false (and null) when memory
    // runs out.
    virtual bool allocateSpeakerLayout(SpeakerLayout** layout, int32_t count);
    virtual bool releaseSpeakerLayout(SpeakerLayout** layout);
    virtual bool copySpeakerProperties(SpeakerInfo* to, SpeakerInfo* from);
    virtual bool matchSpeakerLayout(SpeakerLayout** to, SpeakerLayout* from);
    virtual bool offlineReadRequest(void* task, int32_t option, bool readSource);
    virtual bool offlineWriteRequest(void* task, int32_t option);
    virtual bool offlineStartRequest(void* files, int32_t count, int32_t newCount);
    virtual int32_t offlinePassNumber();
    virtual int32_t offlineMetaPassNumber();
    virtual bool onOfflineNotice(void* /*files*/, int32_t /*count*/, bool /*start*/) {
        return false;
    }
    virtual bool onOfflinePrepare(void* /*tasks*/, int32_t /*count*/) { return false; }
    virtual bool onOfflineRun(void* /*tasks*/, int32_t /*count*/) { return false; }
    virtual int32_t offlinePassCount() { return 0; }
    virtual int32_t offlineMetaPassCount() { return 0; }
    virtual intptr_t requestEvents(int32_t filter);
    virtual intptr_t askTempoAt(int32_t position);
    virtual int32_t askAutomatableCount();
    virtual int32_t askParameterQuantization();
    virtual int32_t categoryCount() { return 1; }
    virtual bool duplicateProgram(int32_t /*destination*/) { return false; }
    virtual bool requestIdleCalls();
    // The record of the effect before or after this one; the pin number is not sent.
    virtual DescriptorRecord* askPreviousPlug(int32_t input);
    virtual DescriptorRecord* askNextPlug(int32_t output);
    virtual void onInputConnected(int32_t /*index*/, bool /*state*/) {}
    virtual void onOutputConnected(int32_t /*index*/, bool /*state*/) {}
    virtual int32_t askReplaceOrAccumulate();
    virtual void enableAsyncFlag(bool on) { setFlag(FlagAsync, on); }
    virtual void enableExternalBufferFlag(bool on) { setFlag(FlagExternalBuffer, on); }
    virtual int32_t reportPosition() { return 0; }
    virtual void* reportOutputBuffer() { return nullptr; }
    virtual intptr_t announceOutputSampleRate(float rate);
    virtual SpeakerLayout* askInputSpeakerLayout();
    virtual SpeakerLayout* askOutputSpeakerLayout();
    virtual void* askHostOpenWindow(void* window);
    virtual bool askHostCloseWindow(void* window);
    virtual void changeBlockSizeAndRate(int32_t blockSize, float sampleRate) {
        blockSize_ = blockSize;
        sampleRate_ = sampleRate;
    }
    virtual bool copyErrorText(char* /*text*/) { return false; }
    virtual void* iconHandle() { return nullptr; }
    virtual bool moveView(int32_t /*x*/, int32_t /*y*/) { return false; }
    virtual int32_t effectIdle() { return 0; }
    virtual bool needsKeys() { return false; }
    virtual bool askHostStateFile(char* path);

    // HostRequest EventsToHost: true when the host answers 1.
    bool sendEventsToHost(EventBlock* events);
};
