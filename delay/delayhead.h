// DelayHead: one of Malvoree's four tape heads. It owns a ring buffer of up to the maximum delay
// time, a one-pole damping filter in its feedback path, a feedback amount that glides over one
// block, a fixed left/right input weighting, a volume, a pan and its shares of the wet and dry
// signal. HeadRenderer runs the heads; this class holds their settings and state.
//
// Threads. The settings (delay amount, feedback, filter, volume, pan, wet, dry, tempo follow)
// are atomics: any thread may write them at any time without a lock, the value is visible at
// once, and the renderer reads each of them once at the start of a block. Everything else is
// render state, owned by the renderer while it runs; the reconfiguring operations
// (sizeHeadBuffer, setHeadSampleRate, clearHead, setInputWeighting) must not overlap a render
// of the same head. Malvoree serialises them with its RenderGate.
#pragma once

#include <atomic>
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

    // --- reconfiguration (allocates; never while this head renders) ---

    // Frees the buffer and makes a new, silent one of trunc(ms x rate x 0.001) samples.
    void sizeHeadBuffer(int32_t milliseconds);
    // A different rate re-makes and empties the buffer (delay lengths scale with the rate).
    void setHeadSampleRate(double rate);
    // Silence: buffer and filter zeroed, feedback glide snapped to its target.
    void clearHead();
    // The fixed input weighting, set once by the effect.
    void setInputWeighting(float left, float right);

    // --- settings (any thread, lock-free, no allocation) ---

    // Delay amount, clamped to 0..1 (NaN counts as 0). The delay length follows at once.
    void setDelayAmount(float amount);
    void setFeedbackAmount(float amount) { feedbackTarget_.store(amount, kRelaxed); }
    void setFilterAmount(float amount) { filterAmount_.store(amount, kRelaxed); }
    void setHeadVolume(float volume) { volume_.store(volume, kRelaxed); }
    void setHeadPan(float pan) { pan_.store(pan, kRelaxed); }
    void setWetGain(float gain) { wetGain_.store(gain, kRelaxed); }
    void setDryGain(float gain) { dryGain_.store(gain, kRelaxed); }
    // When set, a valid host tempo makes the delay length the note value the amount selects.
    void setTempoFollow(bool on) { tempoFollow_.store(on, kRelaxed); }

    float delayAmount() const { return delayAmount_.load(kRelaxed); }
    float feedbackTarget() const { return feedbackTarget_.load(kRelaxed); }
    float filterAmount() const { return filterAmount_.load(kRelaxed); }
    float volume() const { return volume_.load(kRelaxed); }
    float pan() const { return pan_.load(kRelaxed); }
    float wetGain() const { return wetGain_.load(kRelaxed); }
    float dryGain() const { return dryGain_.load(kRelaxed); }
    bool tempoFollow() const { return tempoFollow_.load(kRelaxed); }
    // Quarter notes of the note value the delay amount selects.
    double syncBeats() const;

    // --- observers of render state (not while this head renders) ---

    bool hasBuffer() const { return buffer_ != nullptr; }
    double sampleRate() const { return sampleRate_; }
    int32_t maxMilliseconds() const { return maxMilliseconds_; }
    int32_t bufferLength() const { return bufferLength_; }
    // trunc(buffer length x amount) in single precision, at most buffer length - 2.
    int32_t delayLength() const { return lengthForAmount(delayAmount()); }
    // trunc(rate / (tempo / 60) x sync beats), at most buffer length - 2; tempo must be > 0.
    int32_t tempoDelayLength(double tempo) const;
    float currentFeedback() const { return feedbackCurrent_; }
    float filterState() const { return filterState_; }
    float leftInputGain() const { return leftInputGain_; }
    float rightInputGain() const { return rightInputGain_; }

private:
    friend class HeadRenderer;
    static constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

    int32_t lengthForAmount(float amount) const;

    // Settings.
    std::atomic<float> delayAmount_{0.0f};
    std::atomic<float> feedbackTarget_{0.0f};
    std::atomic<float> filterAmount_{0.0f};
    std::atomic<float> volume_{1.0f};
    std::atomic<float> pan_{0.5f};
    std::atomic<float> wetGain_{1.0f};
    std::atomic<float> dryGain_{0.0f};
    std::atomic<bool> tempoFollow_{false};

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
