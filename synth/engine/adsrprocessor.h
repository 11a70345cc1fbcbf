// ADSRProcessor: one voice's state of one envelope (stage, position, level), rendered through
// the shared ADSR it is attached to. Audio thread; no locks, no allocation.
#pragma once

#include "simdlevel.h"

#include <cstdint>

class ADSR;

enum class EnvelopeStage : int32_t {
    Idle = 0,
    Running = 1, // attack and decay
    Sustaining = 2,
    Releasing = 3,
};

class ADSRProcessor {
public:
    explicit ADSRProcessor(ADSR* envelope) : envelope_(envelope) {}
    virtual ~ADSRProcessor() = default;

    virtual void attachEnvelope(ADSR* envelope) { envelope_ = envelope; }
    virtual ADSR* attachedEnvelope() const { return envelope_; }
    virtual int32_t envelopeStage() const { return static_cast<int32_t>(stage_); }
    // Note start: attack from position 0. The level is preset to the sustain level, so a
    // release before the first rendered block starts from there.
    virtual void triggerEnvelope();
    // Note end. A fast release uses the 0.049 s release whatever the shared setting, and
    // restarts a release already running from the ADSR's last rendered level.
    virtual void releaseEnvelope(bool fast);
    // Renders `frames` values (at most the ADSR's block capacity). Returns true with *buffer
    // set when the values are in the ADSR's block buffer (valid until the next processor of
    // that ADSR renders), false when the whole block has the value *constant.
    virtual bool renderEnvelope(float** buffer, float* constant, int32_t frames, bool fill);
    // renderEnvelope without `fill`, the values written to `target` (at least `frames` long)
    // instead of the ADSR's block buffer: a voice rendered in lanes keeps its own values.
    bool renderEnvelopeTo(float* target, float* constant, int32_t frames, SimdLevel simd);

    EnvelopeStage stage() const { return stage_; }
    double level() const { return level_; }

private:
    void advance(int32_t frames);
    bool renderInto(float* block, float** buffer, float* constant, int32_t frames, bool fill,
                    SimdLevel simd);

    double level_ = 0.0;
    double fastReleaseAmount_ = 0.2;
    ADSR* envelope_;
    EnvelopeStage stage_ = EnvelopeStage::Idle;
    int32_t position_ = 0;
    bool fastRelease_ = false;
};
