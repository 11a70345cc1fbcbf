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
//
// Where the processor has a vector unit (SimdLevel), the passes run in units built for it
// (headlanes_*.cpp); with four heads, in one loop: the heads' filters as four lanes of one
// register, the tape writes and outputs beside them, as wide as the unit allows. The results
// are the scalar passes', bit for bit; those stay as the reference and the fallback.
#pragma once

#include "simdlevel.h"

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

    // One head's constants and running state for the block being rendered.
    struct HeadBlock {
        DelayHead* head;
        float* buffer;
        int32_t length;
        int32_t read;
        int32_t write;
        // A sample written now is read again this many samples later; no chunk may be longer.
        int32_t rereadDistance;
        float k;
        float filter;
        float state;
        float feedback;
        float feedbackStep;
        bool feedbackGlides;
        float leftIn;
        float rightIn;
        float offset;
        float leftWet;
        float rightWet;
        float dry;
    };

    // The passes' working memory for one chunk.
    struct Scratch {
        alignas(64) float inLeft[kChunkFrames];
        alignas(64) float inRight[kChunkFrames];
        alignas(64) float filtered[kMaxHeads][kChunkFrames];
        alignas(64) float feedback[kMaxHeads][kChunkFrames];
    };

private:
    // The reference passes, as they were before any vector unit.
    void renderScalar(HeadBlock* blocks, int32_t active, bool adding, const float* left,
                      const float* right, float* leftOut, float* rightOut, int32_t frames);
    template <int kHeads, bool kAdding>
    void renderHeads(HeadBlock* blocks, const float* left, const float* right, float* leftOut,
                     float* rightOut, int32_t frames);

    Scratch scratch_;
};

// The heads' passes on a vector unit: `heads` (1 to 4) blocks, as HeadRenderer::render.
using HeadLaneKernel = void (*)(HeadRenderer::HeadBlock* blocks, int32_t heads, bool adding,
                                HeadRenderer::Scratch& scratch, const float* left,
                                const float* right, float* leftOut, float* rightOut,
                                int32_t frames);
void renderHeadLanesSse2(HeadRenderer::HeadBlock* blocks, int32_t heads, bool adding,
                         HeadRenderer::Scratch& scratch, const float* left, const float* right,
                         float* leftOut, float* rightOut, int32_t frames);
void renderHeadLanesAvx2(HeadRenderer::HeadBlock* blocks, int32_t heads, bool adding,
                         HeadRenderer::Scratch& scratch, const float* left, const float* right,
                         float* leftOut, float* rightOut, int32_t frames);
