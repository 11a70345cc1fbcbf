// A small plug-in that does everything the validation battery asks, unless one fault is
// compiled in (QXA_FAULT_<NAME>), so that each check is shown to catch a real fault. Built as
// an effect (stereo gain and tone) or, with QXA_PROBE_INSTRUMENT, as a one-voice instrument;
// both have an editor that opens into the host's window. Test code only.
//
// Threading, as hosts use it: parameter values and the current program are atomics, so the
// user-interface thread and the render thread's automation may write them while the audio
// thread renders; everything else of the audio engine belongs to the render thread, program
// names and the editor to the user-interface thread.
#include "aeffeditor.h"
#include "audioeffectx.h"
#include "hosttextlimits.h"
#include "probewindow.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

namespace {

constexpr int32_t kProgramCount = 3;
constexpr int32_t kParameterCount = 3;
constexpr int32_t kGain = 0;
constexpr int32_t kTone = 1;
constexpr int32_t kRelease = 2;
constexpr const char* kTitles[kParameterCount] = {"Gain", "Tone", "Release"};
constexpr const char* kUnits[kParameterCount] = {"dB", "amount", "amount"};
constexpr const char* kProgramNames[kProgramCount] = {"Plain", "Dark", "Bright"};
constexpr float kFactoryValues[kProgramCount][kParameterCount] = {
    {0.5f, 0.5f, 0.3f}, {0.4f, 0.1f, 0.6f}, {0.6f, 0.9f, 0.1f}};
constexpr int32_t kNameLength = 23;
constexpr int32_t kMaxPendingEvents = 256;
constexpr float kSmallest = 1.0e-15f;

#if defined(QXA_PROBE_INSTRUMENT)
constexpr bool kInstrument = true;
#else
constexpr bool kInstrument = false;
#endif

#if defined(QXA_FAULT_SHARED_TABLE)
// Built by the first instance, released with the last one. The fault: the flag that says it
// was built is not cleared with it, so the next first instance reads a table that is gone.
float* sharedTable = nullptr;
bool sharedTableBuilt = false;
int liveInstances = 0;
#endif

// The editor's toolkit objects alive in the process (frames and the resources they hold), as
// the toolkit query reports them.
std::atomic<int32_t> liveEditorObjects{0};

// An editor that opens into the host's window: a frame with its own window there (on Windows;
// probewindow.h) and a resource it holds while open. The window shows Gain as a bar, repainted
// at idle time when the value changed; a click sets Gain inside one gesture, as a knob would.
class ProbeEditor : public AEffEditor, ProbeWindowOwner {
public:
    explicit ProbeEditor(AudioEffectX* effect) : AEffEditor(effect), effectX_(effect) {
        rect_ = EditorRect{0, 0, 300, 400};
    }
    ~ProbeEditor() override { closeEditor(); }

    bool editorBounds(EditorRect** rect) override {
        *rect = &rect_;
        return true;
    }
    bool openEditor(void* window) override {
        if (frame_ != nullptr) closeEditor(); // opened twice: the first frame goes
        AEffEditor::openEditor(window);
        frame_ = new (std::nothrow) Frame;
        if (frame_ == nullptr) return false;
        frame_->backdrop = createProbeResource();
        liveEditorObjects.fetch_add(1, std::memory_order_relaxed);
        const int width = rect_.right - rect_.left;
        int height = rect_.bottom - rect_.top;
#if defined(QXA_FAULT_EDITOR_SIZE)
        height -= 1; // the fault: the window is made one row shorter than the bounds say
#endif
        frame_->window = openProbeWindow(window, width, height, *this);
        if (frame_->window == nullptr) {
            closeEditor();
            return false;
        }
        return true;
    }
    void closeEditor() override {
        if (frame_ != nullptr) {
            if (frame_->window != nullptr) {
#if defined(QXA_FAULT_EDITOR_WINDOW)
                // The fault: closing hides the window instead of destroying it.
                closeProbeWindow(frame_->window, ProbeClose::HideOnly);
#else
                closeProbeWindow(frame_->window, ProbeClose::Destroy);
#endif
            }
#if !defined(QXA_FAULT_EDITOR_LEAK)
            // The fault leaves the frame's resource (and its GDI object) behind on every close.
            releaseProbeResource(frame_->backdrop);
            liveEditorObjects.fetch_sub(1, std::memory_order_relaxed);
#endif
            delete frame_;
            frame_ = nullptr;
        }
        AEffEditor::closeEditor();
    }
    void editorIdle() override {
#if defined(QXA_FAULT_EDITOR)
        ++frame_->ticks; // the fault: idle time reaches a frame that a closed editor has not
#else
        if (frame_ == nullptr) return;
        ++frame_->ticks;
#endif
        refreshProbeWindow(frame_->window);
    }

    float barFraction() override {
        return effectX_->readParameter(kGain);
    }
    void clickedAt(float fraction) override {
        effectX_->notifyEditBegin(kGain);
        effectX_->writeParameterAndNotify(kGain, std::clamp(fraction, 0.0f, 1.0f));
        effectX_->notifyEditEnd(kGain);
    }

private:
    struct Frame {
        Frame() { liveEditorObjects.fetch_add(1, std::memory_order_relaxed); }
        ~Frame() { liveEditorObjects.fetch_sub(1, std::memory_order_relaxed); }
        Frame(const Frame&) = delete;
        Frame& operator=(const Frame&) = delete;
        int ticks = 0;
        ProbeWindow* window = nullptr;
        ProbeResource* backdrop = nullptr;
    };
    AudioEffectX* effectX_;
    EditorRect rect_;
    Frame* frame_ = nullptr;
};

#if defined(QXA_FAULT_HANG)
// A spin lock, as engines use where the audio thread must not sleep.
class EngineLock {
public:
    explicit EngineLock(std::atomic<bool>& busy) : busy_(busy) {
        while (busy_.exchange(true, std::memory_order_acquire)) {
        }
    }
    ~EngineLock() { busy_.store(false, std::memory_order_release); }

private:
    std::atomic<bool>& busy_;
};
#endif

struct PendingEvent {
    int32_t deltaFrames;    // kept inside the block
    int32_t rawDeltaFrames; // as the host sent it
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
};

class FaultyPlug : public AudioEffectX {
public:
    explicit FaultyPlug(HostCallback host) : AudioEffectX(host, kProgramCount, kParameterCount) {
        assignInputCount(kInstrument ? 0 : 2);
        assignOutputCount(2);
        markAsInstrument(kInstrument);
        assignUniqueId(fourCharCode('Q', 'x', 'P', kInstrument ? 'i' : 'e'));
#if defined(QXA_FAULT_IDENTITY)
        assignInputCount(2); // the fault: an instrument that announces audio inputs
#endif
        for (int32_t p = 0; p < kProgramCount; ++p) {
            std::snprintf(programNames_[p], sizeof(programNames_[p]), "%s", kProgramNames[p]);
            for (int32_t i = 0; i < kParameterCount; ++i)
                values_[p][i].store(kFactoryValues[p][i], std::memory_order_relaxed);
        }
        gain_ = targetGain();
        rampTarget_ = gain_;
#if defined(QXA_FAULT_PROGRAM_LOAD)
        loadedValues_.store(values_[0]);
#endif
        attachEditor(new (std::nothrow) ProbeEditor(this));
#if defined(QXA_FAULT_LEAK)
        leaked_ = new char[16 * 1024]; // the fault: the destructor never frees it
#endif
#if defined(QXA_FAULT_SHARED_TABLE)
        if (!sharedTableBuilt) {
            sharedTable = new float[256]();
            sharedTableBuilt = true;
        }
        ++liveInstances;
        toneOffset_ = sharedTable[0];
#endif
    }

    ~FaultyPlug() override {
#if defined(QXA_FAULT_SHARED_TABLE)
        if (--liveInstances == 0) {
            delete[] sharedTable;
            sharedTable = nullptr;
        }
#endif
    }

    void onResume() override {
        AudioEffectX::onResume();
        filter_[0] = filter_[1] = 0.0f;
        envelope_ = 0.0f;
        noteHeld_ = false;
        pendingCount_ = 0;
    }

    void renderReplacing(float** inputs, float** outputs, int32_t frames) override {
#if defined(QXA_FAULT_ALLOCATION)
        std::vector<float> scratch(static_cast<size_t>(frames)); // the fault: allocates per call
        (void)scratch;
#endif
#if defined(QXA_FAULT_OVERSIZED)
        frames = std::min(frames, blockSize_); // the fault: the rest of a long call is left alone
#endif
        if (frames <= 0) return;
        const float tone = value(kTone);
        const float toneCoefficient = 0.02f + 0.5f * tone + toneOffset_;
        const float gainStep = gainRampStep(frames);
        const float scale = tableScale();
        sortPendingEvents(frames);
        int32_t nextEvent = 0;
        for (int32_t i = 0; i < frames; ++i) {
            while (nextEvent < pendingCount_ && pending_[nextEvent].deltaFrames == i)
                applyEvent(pending_[nextEvent++]);
            const float voice = kInstrument ? renderVoice() : 0.0f;
            advanceGain(gainStep);
            for (int32_t c = 0; c < 2; ++c) {
                const float x = kInstrument ? voice : inputs[c][i];
                float y = filter_[c] + toneCoefficient * (x - filter_[c]);
#if !defined(QXA_FAULT_SUBNORMAL)
                if (std::fabs(y) < kSmallest) y = 0.0f; // decays stop before subnormal values
#endif
                filter_[c] = y;
                outputs[c][i] = y * gain_ * scale;
            }
        }
#if defined(QXA_FAULT_EVENT_DELTA)
        // The fault: the attack click goes where the event said, inside the block or not.
        for (int32_t e = 0; e < pendingCount_; ++e)
            if ((pending_[e].status & 0xF0) == 0x90)
                outputs[0][pending_[e].rawDeltaFrames] += 0.01f;
#endif
        pendingCount_ = 0;
    }

    int32_t handleEvents(EventBlock* events) override {
        EventHeader* const* list = events->events; // count pointers, past the declared two
        for (int32_t e = 0; e < events->count; ++e) {
            const EventHeader* header = list[e];
            if (header == nullptr || header->type != kMidiEventType) continue;
            const auto* midi = reinterpret_cast<const MidiEventRecord*>(header);
            if ((midi->midiData[0] & 0x80) == 0) continue; // no running status here
            if (pendingCount_ >= kMaxPendingEvents) break;
            pending_[pendingCount_++] = {midi->deltaFrames, midi->deltaFrames, midi->midiData[0],
                                         static_cast<uint8_t>(midi->midiData[1] & 0x7F),
                                         static_cast<uint8_t>(midi->midiData[2] & 0x7F)};
        }
        return 1;
    }

    void writeParameter(int32_t index, float value) override {
        if (index < 0 || index >= kParameterCount) return;
#if defined(QXA_FAULT_HANG)
        EngineLock lock(engineBusy_);
#endif
#if defined(QXA_FAULT_PROGRAM_LOAD)
        loadedValues_.load()[index].store(value, std::memory_order_relaxed);
#else
        values_[program()][index].store(value, std::memory_order_relaxed);
#endif
#if defined(QXA_FAULT_THREADS)
        if (index == kTone) rebuildToneTable(value);
#endif
    }
    float readParameter(int32_t index) override {
        return index >= 0 && index < kParameterCount ? value(index) : 0.0f;
    }
    void selectProgram(int32_t program) override {
        if (program < 0 || program >= kProgramCount) return;
#if defined(QXA_FAULT_PROGRAM_VALUES)
        // The fault: a program switch reloads the factory values, edits are lost.
        for (int32_t i = 0; i < kParameterCount; ++i)
            values_[program][i].store(kFactoryValues[program][i], std::memory_order_relaxed);
#endif
        currentProgram_ = program;
        program_.store(program, std::memory_order_relaxed);
#if defined(QXA_FAULT_PROGRAM_LOAD)
        // The fault: writes go through a pointer to the loaded program, which is cleared while
        // the next one loads. A write from the render thread meanwhile goes nowhere.
        loadedValues_.store(nullptr);
        loadProgramTable(program);
        loadedValues_.store(values_[program]);
#endif
#if defined(QXA_FAULT_HANG)
        // The fault: the program change holds the engine lock while it writes the parameters,
        // which take the same lock.
        EngineLock lock(engineBusy_);
        for (int32_t i = 0; i < kParameterCount; ++i)
            writeParameter(i, value(i));
#endif
    }
    int32_t currentProgramIndex() override {
        return program();
    }
    void renameProgram(char* name) override {
        copyBounded(programNames_[program()], name, kNameLength);
    }
    void copyProgramName(char* buffer) override {
        copyBounded(buffer, programNames_[program()], kNameLength);
    }
    bool copyIndexedProgramName(int32_t, int32_t index, char* text) override {
        if (index < 0 || index >= kProgramCount) return false;
        copyBounded(text, programNames_[index], kNameLength);
        return true;
    }
    void copyParameterTitle(int32_t index, char* buffer) override {
        copyBounded(buffer, index >= 0 && index < kParameterCount ? kTitles[index] : "",
                    kParameterTitleMaxLength);
    }
    void copyParameterUnit(int32_t index, char* buffer) override {
        copyBounded(buffer, index >= 0 && index < kParameterCount ? kUnits[index] : "",
                    kParameterUnitMaxLength);
    }
    void copyParameterText(int32_t index, char* buffer) override {
        if (index < 0 || index >= kParameterCount) {
            buffer[0] = '\0';
            return;
        }
        const float v = value(index);
        if (index == kGain) {
            formatDecibels(2.0f * v, buffer, kParameterTextMaxLength);
        } else if (index == kTone) {
#if defined(QXA_FAULT_PARAMETER_TEXT)
            // The fault: the frequency text outgrows the 8 characters hosts make room for.
            std::snprintf(buffer, 16, "%.1f Hz", 20.0 + 19980.0 * v);
#else
            formatFloat(v, buffer, kParameterTextMaxLength);
#endif
        } else {
            formatFloat(v, buffer, kParameterTextMaxLength);
        }
    }
    bool describeInput(int32_t index, PinInfo* pin) override {
        return !kInstrument && describePin(index, pin);
    }
    bool describeOutput(int32_t index, PinInfo* pin) override {
        return describePin(index, pin);
    }
    bool copyEffectName(char* text) override {
        copyBounded(text, kInstrument ? "QxaProbeSynth" : "QxaProbeEffect", kEffectNameMaxLength);
        return true;
    }
    bool copyVendorName(char* text) override {
        copyBounded(text, "Quellmark Sound Laboratories", kVendorNameMaxLength);
        return true;
    }
    bool copyProductName(char* text) override {
        return copyEffectName(text);
    }
    int32_t vendorVersionNumber() override {
        return 0x01000000;
    }
    int32_t answerCapability(const char* text) override {
        const std::string_view key(text != nullptr ? text : "");
        return kInstrument && (key == "receiveQxaMidiEvent" || key == "receiveQxaEvents") ? 1 : -1;
    }
    int32_t pluginCategory() override {
        return kInstrument ? 2 : 1;
    }
    intptr_t handleVendorCall(int32_t index, intptr_t value, void* pointer, float) override {
#if defined(QXA_FAULT_DISPATCHER)
        // The fault: every vendor call is taken to carry a record.
        return *static_cast<const int32_t*>(pointer) + index + value;
#else
        if (index == kToolkitQueryIndex && value == kToolkitLiveObjectsValue &&
            pointer != nullptr) {
            *static_cast<int32_t*>(pointer) = liveEditorObjects.load(std::memory_order_relaxed);
            return 1;
        }
        return 0;
#endif
    }

private:
    int32_t program() const {
        return program_.load(std::memory_order_relaxed);
    }
    float value(int32_t index) const {
        return values_[program()][index].load(std::memory_order_relaxed);
    }
    float targetGain() const {
        return 2.0f * value(kGain);
    }

    // Gain changes glide over 64 frames from wherever the gain is.
    float gainRampStep(int32_t frames) {
        const float target = targetGain();
        if (target != rampTarget_) {
            rampTarget_ = target;
            rampLeft_ = 64;
        }
#if defined(QXA_FAULT_BLOCK_OF_ONE)
        // The fault: a per-block ramp that divides by the frames after the first.
        return (target - gain_) / static_cast<float>(frames - 1);
#else
        (void)frames;
        return 0.0f;
#endif
    }
    void advanceGain(float blockStep) {
#if defined(QXA_FAULT_BLOCK_OF_ONE)
        gain_ += blockStep;
#else
        (void)blockStep;
#if defined(QXA_FAULT_AUTOMATION)
        // The fault: the countdown runs to 0 inclusive and divides by it at the end.
        if (rampLeft_ >= 0) {
            gain_ += (rampTarget_ - gain_) / static_cast<float>(rampLeft_);
            --rampLeft_;
        }
#else
        if (rampLeft_ > 0) {
            gain_ += (rampTarget_ - gain_) / static_cast<float>(rampLeft_);
            --rampLeft_;
        }
#endif
#endif
    }

    // Events keep their order; their delta frames are kept inside this block.
    void sortPendingEvents(int32_t frames) {
        for (int32_t e = 0; e < pendingCount_; ++e)
            pending_[e].deltaFrames = std::clamp(pending_[e].deltaFrames, 0, frames - 1);
        // Insertion sort: stable, and std::stable_sort may allocate.
        for (int32_t e = 1; e < pendingCount_; ++e) {
            const PendingEvent event = pending_[e];
            int32_t slot = e;
            for (; slot > 0 && pending_[slot - 1].deltaFrames > event.deltaFrames; --slot)
                pending_[slot] = pending_[slot - 1];
            pending_[slot] = event;
        }
    }

    void applyEvent(const PendingEvent& event) {
        const uint8_t kind = event.status & 0xF0;
        if (kind == 0x90 && event.data2 > 0) {
            note_ = event.data1;
            velocity_ = static_cast<float>(event.data2) / 127.0f;
            phase_ = 0.0;
            noteHeld_ = true;
        } else if ((kind == 0x80 || kind == 0x90) && event.data1 == note_) {
            noteHeld_ = false;
        } else if (kind == 0xB0 && event.data1 == 123) {
#if !defined(QXA_FAULT_STUCK_NOTES)
            noteHeld_ = false; // the fault leaves out all-notes-off
#endif
        }
    }

    float renderVoice() {
        if (noteHeld_) {
            envelope_ = std::min(1.0f, envelope_ + 0.005f);
        } else if (envelope_ > 0.0f) {
            envelope_ *= 0.9990f - 0.0050f * value(kRelease);
            if (envelope_ < 1.0e-4f) envelope_ = 0.0f;
        }
        if (envelope_ == 0.0f) return 0.0f;
        const double frequency = 440.0 * std::pow(2.0, (note_ - 69) / 12.0);
        phase_ += frequency / static_cast<double>(sampleRate_);
        phase_ -= std::floor(phase_);
        return static_cast<float>(std::sin(6.283185307179586 * phase_)) * envelope_ * velocity_ *
               0.3f;
    }

    bool describePin(int32_t index, PinInfo* pin) {
        if (index < 0 || index > 1) return false;
        std::snprintf(pin->label, sizeof(pin->label), "Probe %1d", index + 1);
        pin->pinFlags = 3;
        return true;
    }

#if defined(QXA_FAULT_THREADS)
    // The fault: the user-interface thread rebuilds a table that the render thread reads.
    void rebuildToneTable(float tone) {
        tableSize_.store(0, std::memory_order_relaxed);
        toneTotal_ = 0.0f;
        for (int32_t i = 0; i < kToneTableSize; ++i) {
            toneTable_[i] = 1.0f + tone * 1.0e-3f * static_cast<float>(i % 7);
            toneTotal_ += toneTable_[i];
        }
        tableSize_.store(kToneTableSize, std::memory_order_relaxed);
    }
    float tableScale() {
        tableIndex_ = (tableIndex_ + 1) % tableSize_.load(std::memory_order_relaxed);
        return toneTable_[tableIndex_] / (toneTotal_ / kToneTableSize);
    }
    static constexpr int32_t kToneTableSize = 4096;
    std::atomic<int32_t> tableSize_{kToneTableSize};
    float toneTable_[kToneTableSize] = {};
    float toneTotal_ = static_cast<float>(kToneTableSize);
    int32_t tableIndex_ = 0;
#else
    float tableScale() const {
        return 1.0f;
    }
#endif
#if defined(QXA_FAULT_PROGRAM_LOAD)
    // Work a program change does while no program is loaded.
    void loadProgramTable(int32_t program) {
        for (int32_t i = 0; i < kProgramTableSize; ++i)
            programTable_[i] = std::sin(0.001f * static_cast<float>(i * (program + 1)));
    }
    static constexpr int32_t kProgramTableSize = 4096;
    float programTable_[kProgramTableSize] = {};
    std::atomic<std::atomic<float>*> loadedValues_{nullptr};
#endif
#if defined(QXA_FAULT_LEAK)
    char* leaked_ = nullptr;
#endif

    std::atomic<float> values_[kProgramCount][kParameterCount];
    std::atomic<int32_t> program_{0};
#if defined(QXA_FAULT_HANG)
    std::atomic<bool> engineBusy_{false};
#endif
    char programNames_[kProgramCount][kNameLength + 1] = {};

    // Render thread.
    float gain_ = 1.0f;
    float rampTarget_ = 1.0f;
    int32_t rampLeft_ = -1; // no ramp
    float filter_[2] = {0.0f, 0.0f};
    float toneOffset_ = 0.0f;
    PendingEvent pending_[kMaxPendingEvents] = {};
    int32_t pendingCount_ = 0;
    int32_t note_ = 60;
    float velocity_ = 0.0f;
    float envelope_ = 0.0f;
    double phase_ = 0.0;
    bool noteHeld_ = false;
};

} // namespace

AudioEffect* buildEffectObject(HostCallback host) {
    return new (std::nothrow) FaultyPlug(host);
}
