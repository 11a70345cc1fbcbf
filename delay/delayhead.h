// DelayHead: one of Malvoree's four tape heads. It owns a ring buffer of up to the maximum delay
// time, a one-pole damping filter in its feedback path, a feedback amount that glides over one
// block, a fixed left/right input weighting, a volume, a pan and its shares of the wet and dry
// signal. HeadRenderer runs the heads; this class holds their settings and state.
//
// Threads. A head belongs to one thread at a time, its owner: the renderer reads each setting
// once at the start of a block, and nothing may change a head while it renders. Malvoree hands
// parameter changes to the heads between blocks and keeps reconfigurations apart from rendering
// (EngineHandoff).
#pragma once

#include <cstdint>
#include <memory>

class DelayHead {
public:
    static constexpr int32_t kDefaultMaxMilliseconds = 2000;
    static constexpr double kDefaultSampleRate = 44100.0;
    // Buffers outside 2 .. 2^26 samples are refused (the head then stays silent): below two
    // samples no delay fits, above it the rate or the time is nonsense.
    static constexpr int32_t kMinBufferLength = 2;
    static constexpr int32_t kMaxBufferLength = 1 << 26;

    // Builds the head at 44100 Hz with a buffer for maxMilliseconds (0 means 2000). Allocation
    // is nothrow: when it fails, hasBuffer() is false.
    explicit DelayHead(int32_t maxMilliseconds = 0);
    DelayHead(const DelayHead&) = delete;
    DelayHead& operator=(const DelayHead&) = delete;

    // --- reconfiguration (allocates) ---

    // Frees the buffer and makes a new, silent one of trunc(ms x rate x 0.001) samples.
    void sizeHeadBuffer(int32_t milliseconds);
    // A different rate re-makes and empties the buffer (delay lengths scale with the rate).
    void setHeadSampleRate(double rate);
    // Silence: buffer and filter zeroed, feedback glide snapped to its target.
    void clearHead();
    // The fixed input weighting, set once by the effect.
    void setInputWeighting(float left, float right);

    // --- settings (no allocation) ---

    // Delay amount, clamped to 0..1 (NaN counts as 0). The delay length follows at once.
    void setDelayAmount(float amount);
    void setFeedbackAmount(float amount) { feedbackTarget_ = amount; }
    void setFilterAmount(float amount) { filterAmount_ = amount; }
    void setHeadVolume(float volume) { volume_ = volume; }
    void setHeadPan(float pan) { pan_ = pan; }
    void setWetGain(float gain) { wetGain_ = gain; }
    void setDryGain(float gain) { dryGain_ = gain; }
    // When set, a valid host tempo makes the delay length the note value the amount selects.
    void setTempoFollow(bool on) { tempoFollow_ = on; }

    float delayAmount() const { return delayAmount_; }
    float feedbackTarget() const { return feedbackTarget_; }
    float filterAmount() const { return filterAmount_; }
    float volume() const { return volume_; }
    float pan() const { return pan_; }
    float wetGain() const { return wetGain_; }
    float dryGain() const { return dryGain_; }
    bool tempoFollow() const { return tempoFollow_; }
    // Quarter notes of the note value the delay amount selects.
    double syncBeats() const;

    // --- observers of render state ---

    bool hasBuffer() const { return buffer_ != nullptr; }
    int32_t maxMilliseconds() const { return maxMilliseconds_; }
    int32_t bufferLength() const { return bufferLength_; }
    // trunc(buffer length x amount) in single precision, at most buffer length - 2.
    int32_t delayLength() const { return lengthForAmount(delayAmount()); }
    // trunc(rate / (tempo / 60) x sync beats), at most buffer length - 2; tempo must be > 0.
    int32_t tempoDelayLength(double tempo) const;
    float currentFeedback() const { return feedbackCurrent_; }

private:
    friend class HeadRenderer;

    int32_t lengthForAmount(float amount) const;

    // Settings.
    float delayAmount_ = 0.0f;
    float feedbackTarget_ = 0.0f;
    float filterAmount_ = 0.0f;
    float volume_ = 1.0f;
    float pan_ = 0.5f;
    float wetGain_ = 1.0f;
    float dryGain_ = 0.0f;
    bool tempoFollow_ = false;

    // Render state.
    double sampleRate_ = kDefaultSampleRate;
    float feedbackCurrent_ = 0.0f;
    float filterState_ = 0.0f;
    // The weighting never changes after construction, so unlike the feedback it needs no glide.
    float leftInputGain_ = 0.5f;
    float rightInputGain_ = 0.5f;
    // Written into the feedback path with alternating sign per block, so that decaying echoes
    // never reach the subnormal range.
    float antiDenormal_ = 1e-9f;
    int32_t maxMilliseconds_ = kDefaultMaxMilliseconds;
    int32_t bufferLength_ = 0;
    // The tape position. The write position is always read index + delay length, so the
    // renderer derives it at the start of every block instead of keeping it.
    int32_t readIndex_ = 0;
    std::unique_ptr<float[]> buffer_;
};
