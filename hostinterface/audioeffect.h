// AudioEffect: the base of every effect object. It owns the DescriptorRecord handed to the host,
// routes dispatcher opcodes 0 to 24, wraps host requests 0 to 4 and formats parameter texts.
//
// Threading: opcodes and editor calls arrive on the host's user-interface thread, the render
// functions and parameter writes on its audio thread. This class only stores plain values and
// the current program; the plug-ins hand parameter changes to their engines through an
// EngineHandoff.
#pragma once

#include "qxa_abi.h"

#include <atomic>

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(HostCallback host, int32_t programCount, int32_t parameterCount);
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // Deletes the attached editor; subclasses release their own state.
    virtual ~AudioEffect();

    // Opcodes 0 to 24; 0 for anything else.
    virtual intptr_t dispatchOpcode(int32_t opcode, int32_t index, intptr_t value, void* pointer,
                                    float option);

    virtual void onOpen() {}
    virtual void onClose() {}
    virtual void onSuspend() {}
    virtual void onResume() {}

    virtual void changeSampleRate(float rate) { sampleRate_ = rate; }
    virtual void changeBlockSize(int32_t frames) { blockSize_ = frames; }

    // Audio thread. Every plug-in supplies it.
    virtual void renderReplacing(float** inputs, float** outputs, int32_t frames) = 0;
    virtual void renderReplacingDouble(double** /*inputs*/, double** /*outputs*/,
                                       int32_t /*frames*/) {}

    virtual void writeParameter(int32_t /*index*/, float /*value*/) {}
    virtual float readParameter(int32_t /*index*/) { return 0.0f; }
    // writeParameter, then tells the host (HostRequest ParameterChanged).
    virtual void writeParameterAndNotify(int32_t index, float value);

    virtual int32_t currentProgramIndex() { return currentProgram_; }
    virtual void selectProgram(int32_t program) { currentProgram_ = program; }
    virtual void renameProgram(char* /*name*/) {}
    virtual void copyProgramName(char* buffer) { buffer[0] = '\0'; }

    virtual void copyParameterUnit(int32_t /*index*/, char* buffer) { buffer[0] = '\0'; }
    virtual void copyParameterText(int32_t /*index*/, char* buffer) { buffer[0] = '\0'; }
    virtual void copyParameterTitle(int32_t /*index*/, char* buffer) { buffer[0] = '\0'; }

    virtual int32_t exportStateBlock(void** /*data*/, bool /*singleProgram*/) { return 0; }
    virtual int32_t importStateBlock(void* /*data*/, int32_t /*byteSize*/, bool /*singleProgram*/) {
        return 0;
    }

    virtual void assignUniqueId(int32_t id) { descriptor_.pluginId = id; }
    virtual void assignInputCount(int32_t count) { descriptor_.inputCount = count; }
    virtual void assignOutputCount(int32_t count) { descriptor_.outputCount = count; }
    virtual void enableReplacing(bool on) { setFlag(FlagReplacing, on); }
    virtual void enableReplacingDouble(bool on) { setFlag(FlagReplacingDouble, on); }
    virtual void enableStateBlocks(bool on) { setFlag(FlagStateBlocks, on); }
    virtual void assignInitialDelay(int32_t samples) { descriptor_.startupLatency = samples; }

    virtual AEffEditor* editorObject() { return editor_; }
    virtual DescriptorRecord* descriptorRecord() { return &descriptor_; }
    virtual float currentSampleRate() { return sampleRate_; }
    virtual int32_t currentBlockSize() { return blockSize_; }

    // HostRequest HostVersion; 1 without a callback or when the host answers 0.
    virtual int32_t askHostVersion();
    // HostRequest LoadingId; 0 without a callback.
    virtual int32_t askHostCurrentId();
    // HostRequest GiveTime.
    virtual void letHostIdle();

    // Text formatters: write at most maxLen characters and a NUL at position maxLen, so the
    // buffer must hold maxLen + 1 bytes.
    virtual void formatDecibels(float value, char* text, int32_t maxLen);
    virtual void formatHertz(float samples, char* text, int32_t maxLen);
    virtual void formatMilliseconds(float samples, char* text, int32_t maxLen);
    virtual void formatFloat(float value, char* text, int32_t maxLen);
    virtual void formatInteger(int32_t value, char* text, int32_t maxLen);

    virtual void renderAccumulating(float** /*inputs*/, float** /*outputs*/, int32_t /*frames*/) {}
    virtual float meterLevel() { return 0.0f; }
    virtual void enableMeterFlag(bool on) { setFlag(FlagLevelMeter, on); }
    virtual void enableClipFlag(bool on) { setFlag(FlagClipMeter, on); }
    virtual void enableMonoFlag(bool on) { setFlag(FlagMonoCapable, on); }
    virtual void assignRealtimeQualities(int32_t quality) {
        descriptor_.realtimeQualityHint = quality;
    }
    virtual void assignOfflineQualities(int32_t quality) {
        descriptor_.offlineQualityHint = quality;
    }
    // HostRequest IsPinLinked; true without a callback or when the host answers 0.
    virtual bool askInputConnected(int32_t pin);
    virtual bool askOutputConnected(int32_t pin);

    // Stores the editor (owned) and sets or clears FlagEditor to match.
    void attachEditor(AEffEditor* editor);
    // After Shutdown the host is gone for this instance: nothing may call it any more.
    void forgetHost() { hostCallback_ = nullptr; }

protected:
    void setFlag(int32_t mask, bool on) {
        if (on)
            descriptor_.flagBits |= mask;
        else
            descriptor_.flagBits &= ~mask;
    }
    bool hasFlag(int32_t mask) const { return (descriptor_.flagBits & mask) != 0; }

    // Sends a request with this effect's record; 0 without a host callback.
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0,
                      void* pointer = nullptr, float option = 0.0f);

    HostCallback hostCallback_;
    AEffEditor* editor_ = nullptr;
    float sampleRate_ = 44100.0f;
    int32_t blockSize_ = 1024;
    int32_t programCount_;
    // Atomic: a program change on one thread may meet a parameter write on another.
    std::atomic<int32_t> currentProgram_{0};
    DescriptorRecord descriptor_;
};

// Bounded copy: at most maxLen characters, then a NUL right after them; nothing beyond is
// written, so a short text fits a buffer smaller than maxLen + 1 bytes.
void copyBounded(char* destination, const char* source, int32_t maxLen);

// The dispatcher stored in every record: forwards to dispatchOpcode, and on Shutdown destroys
// the effect and answers 1.
intptr_t dispatchRequest(DescriptorRecord* effect, int32_t opcode, int32_t index, intptr_t value,
                         void* pointer, float option);

// One per deliverable: builds the plug-in's most-derived effect class, or null.
AudioEffect* buildEffectObject(HostCallback host);

// The library's own module handle, stored by its load notification; resources are looked up
// through it, never through the host's.
extern void* moduleHandle;
