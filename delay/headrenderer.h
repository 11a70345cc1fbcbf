// HeadRenderer: runs up to four DelayHeads over a block of stereo audio.
//
// Per head and sample the arithmetic is, in single precision:
//   d = buffer[read]                          (read advances)
//   y = d x k + filter x state, state = y     (k = 1 - filter)
//   buffer[write] = (L x leftIn + R x rightIn) + offset + y x feedback   (write advances)
//   leftOut += y x leftWet + L x dry,  rightOut += y x rightWet + R x dry
//   feedback += feedbackStep
// with the heads adding into the outputs in order. The renderer keeps exactly these results but
// splits the work into passes over chunks of at most kChunkFrames samples: one pass runs the
// recursive filters of all heads side by side (the only serial part), the other passes are
// plain loops that the compiler vectorises. A chunk never crosses a ring-buffer wrap and never
// reads a sample that the same chunk writes, so reading the whole chunk first is exact.
#pragma once

#include <cstdint>

class DelayHead;

class HeadRenderer {
public:
    static constexpr int32_t kMaxHeads = 4;
    static constexpr int32_t kChunkFrames = 256;

    enum class Mode { Replace, Add };

    // Renders `frames` samples of the heads (in the given order) from the two inputs into the
    // two outputs: Replace overwrites the outputs, Add adds to them. Each call is one block:
    // settings are read once, the feedback glides over `frames` samples, and the anti-denormal
    // offset flips at the end. tempo > 0 is a valid host tempo for heads that follow it.
    // Non-finite input samples count as silence. Heads without a buffer are left out.
    // Outputs may be the inputs (each chunk is read before it is written).
    // Audio thread; no allocation, no locks; the heads must not be reconfigured meanwhile.
    void render(DelayHead* const* heads, int32_t headCount, const float* left, const float* right,
                float* leftOut, float* rightOut, int32_t frames, double tempo, Mode mode);

private:
    struct HeadBlock;

    template <int kHeads, bool kAdding>
    void renderHeads(HeadBlock* blocks, const float* left, const float* right, float* leftOut,
                     float* rightOut, int32_t frames);

    alignas(64) float inLeft_[kChunkFrames];
    alignas(64) float inRight_[kChunkFrames];
    alignas(64) float filtered_[kMaxHeads][kChunkFrames];
    alignas(64) float feedback_[kMaxHeads][kChunkFrames];
};
