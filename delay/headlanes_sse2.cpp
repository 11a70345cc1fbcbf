// Malvoree's heads on SSE2: the passes of headlanes.inl built with the baseline flags and without
// fused multiply-add; called only where the processor has SSE2.
#include "headrenderer.h"

#include <emmintrin.h>
#include <xmmintrin.h>

namespace {
#include "headlanes.inl"
} // namespace

void renderHeadLanesSse2(HeadRenderer::HeadBlock* blocks, int32_t heads, bool adding,
                         HeadRenderer::Scratch& scratch, const float* left, const float* right,
                         float* leftOut, float* rightOut, int32_t frames) {
    renderLanes(blocks, heads, adding, scratch, left, right, leftOut, rightOut, frames);
}
