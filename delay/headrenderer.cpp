#include "headrenderer.h"

#include "delayhead.h"

#include <algorithm>
#include <bit>

namespace {

float finiteOrZero(float sample) {
    // An exponent of all ones is infinity or NaN. Tested on the bits so the loop vectorises.
    return (std::bit_cast<uint32_t>(sample) & 0x7F800000u) == 0x7F800000u ? 0.0f : sample;
}

} // namespace

void HeadRenderer::render(DelayHead* const* heads, int32_t headCount, const float* left,
                          const float* right, float* leftOut, float* rightOut, int32_t frames,
                          double tempo, Mode mode) {
    if (frames <= 0) return;
    HeadBlock blocks[kMaxHeads];
    int32_t active = 0;
    const float frameCount = static_cast<float>(frames);
    for (int32_t h = 0; h < std::min(headCount, kMaxHeads); ++h) {
        DelayHead& head = *heads[h];
        if (!head.buffer_) continue;
        HeadBlock& b = blocks[active++];
        b.head = &head;
        b.buffer = head.buffer_.get();
        b.length = head.bufferLength_;
        const int32_t delay =
            head.tempoFollow() && tempo > 0.0 ? head.tempoDelayLength(tempo) : head.delayLength();
        // The read index carries the tape position; the write index is set from it, so a
        // delay change acts at once, without a glide (re-deriving an unchanged delay is a
        // no-op because both indices advance together).
        b.read = head.readIndex_;
        b.write = b.read + delay;
        if (b.write >= b.length) b.write -= b.length;
        // A zero delay writes the slot it has just read, which comes round again after the
        // whole buffer.
        b.rereadDistance = delay > 0 ? delay : b.length;
        b.filter = head.filterAmount();
        b.k = 1.0f - b.filter;
        b.state = head.filterState_;
        b.feedback = head.feedbackCurrent_;
        b.feedbackStep = (head.feedbackTarget() - b.feedback) / frameCount;
        // A step too small to move the value leaves it constant for the whole block.
        b.feedbackGlides = b.feedback + b.feedbackStep != b.feedback;
        b.leftIn = head.leftInputGain_;
        b.rightIn = head.rightInputGain_;
        b.offset = head.antiDenormal_;
        const float wet = head.wetGain() * head.volume();
        const float pan = head.pan();
        b.leftWet = (1.0f - pan) * wet;
        b.rightWet = pan * wet;
        b.dry = head.dryGain();
    }

    const bool adding = mode == Mode::Add;
    const SimdLevel level = active > 0 ? activeSimdLevel() : SimdLevel::Scalar;
    if (level != SimdLevel::Scalar) {
        const HeadLaneKernel kernel =
            level == SimdLevel::Avx2 ? renderHeadLanesAvx2 : renderHeadLanesSse2;
        kernel(blocks, active, adding, scratch_, left, right, leftOut, rightOut, frames);
    } else {
        renderScalar(blocks, active, adding, left, right, leftOut, rightOut, frames);
    }

    for (int32_t h = 0; h < active; ++h) {
        const HeadBlock& b = blocks[h];
        DelayHead& head = *b.head;
        head.readIndex_ = b.read;
        head.filterState_ = b.state;
        head.feedbackCurrent_ = b.feedback;
        head.antiDenormal_ = -b.offset;
    }
}

void HeadRenderer::renderScalar(HeadBlock* blocks, int32_t active, bool adding, const float* left,
                                const float* right, float* leftOut, float* rightOut,
                                int32_t frames) {
    switch (active) {
    case 0:
        if (!adding) {
            std::fill_n(leftOut, frames, 0.0f);
            std::fill_n(rightOut, frames, 0.0f);
        }
        break;
    case 1:
        adding ? renderHeads<1, true>(blocks, left, right, leftOut, rightOut, frames)
               : renderHeads<1, false>(blocks, left, right, leftOut, rightOut, frames);
        break;
    case 2:
        adding ? renderHeads<2, true>(blocks, left, right, leftOut, rightOut, frames)
               : renderHeads<2, false>(blocks, left, right, leftOut, rightOut, frames);
        break;
    case 3:
        adding ? renderHeads<3, true>(blocks, left, right, leftOut, rightOut, frames)
               : renderHeads<3, false>(blocks, left, right, leftOut, rightOut, frames);
        break;
    default:
        adding ? renderHeads<4, true>(blocks, left, right, leftOut, rightOut, frames)
               : renderHeads<4, false>(blocks, left, right, leftOut, rightOut, frames);
        break;
    }
}

template <int kHeads, bool kAdding>
void HeadRenderer::renderHeads(HeadBlock* blocks, const float* left, const float* right,
                               float* leftOut, float* rightOut, int32_t frames) {
    for (int32_t done = 0; done < frames;) {
        int32_t n = std::min(frames - done, kChunkFrames);
        for (int h = 0; h < kHeads; ++h) {
            const HeadBlock& b = blocks[h];
            n = std::min({n, b.length - b.read, b.length - b.write, b.rereadDistance});
        }

        {
            float* __restrict inL = scratch_.inLeft;
            float* __restrict inR = scratch_.inRight;
            const float* __restrict srcL = left + done;
            const float* __restrict srcR = right + done;
            for (int32_t i = 0; i < n; ++i) {
                inL[i] = finiteOrZero(srcL[i]);
                inR[i] = finiteOrZero(srcR[i]);
            }
        }
        const float* __restrict inL = scratch_.inLeft;
        const float* __restrict inR = scratch_.inRight;

        // The recursive filters, all heads side by side so their latencies overlap.
        {
            const float* tape[kHeads];
            float* y[kHeads];
            float k[kHeads], filter[kHeads], state[kHeads];
            for (int h = 0; h < kHeads; ++h) {
                tape[h] = blocks[h].buffer + blocks[h].read;
                y[h] = scratch_.filtered[h];
                k[h] = blocks[h].k;
                filter[h] = blocks[h].filter;
                state[h] = blocks[h].state;
            }
            for (int32_t i = 0; i < n; ++i) {
                for (int h = 0; h < kHeads; ++h) {
                    state[h] = tape[h][i] * k[h] + filter[h] * state[h];
                    y[h][i] = state[h];
                }
            }
            for (int h = 0; h < kHeads; ++h)
                blocks[h].state = state[h];
        }

        // The tape input: weighted input, offset and filtered feedback.
        for (int h = 0; h < kHeads; ++h) {
            HeadBlock& b = blocks[h];
            float* __restrict tape = b.buffer + b.write;
            const float* __restrict y = scratch_.filtered[h];
            const float leftIn = b.leftIn, rightIn = b.rightIn, offset = b.offset;
            if (b.feedbackGlides) {
                float* __restrict fb = scratch_.feedback[h];
                float value = b.feedback;
                for (int32_t i = 0; i < n; ++i) {
                    fb[i] = value;
                    value += b.feedbackStep;
                }
                b.feedback = value;
                for (int32_t i = 0; i < n; ++i)
                    tape[i] = (inL[i] * leftIn + inR[i] * rightIn) + offset + y[i] * fb[i];
            } else {
                const float fb = b.feedback;
                for (int32_t i = 0; i < n; ++i)
                    tape[i] = (inL[i] * leftIn + inR[i] * rightIn) + offset + y[i] * fb;
            }
        }

        // Echoes and dry shares into the outputs, head by head in order for each sample.
        {
            const float* __restrict y[kHeads];
            float leftWet[kHeads], rightWet[kHeads], dry[kHeads];
            for (int h = 0; h < kHeads; ++h) {
                y[h] = scratch_.filtered[h];
                leftWet[h] = blocks[h].leftWet;
                rightWet[h] = blocks[h].rightWet;
                dry[h] = blocks[h].dry;
            }
            float* outL = leftOut + done;
            float* outR = rightOut + done;
            for (int32_t i = 0; i < n; ++i) {
                float l = kAdding ? outL[i] : 0.0f;
                float r = kAdding ? outR[i] : 0.0f;
                for (int h = 0; h < kHeads; ++h) {
                    l += y[h][i] * leftWet[h] + inL[i] * dry[h];
                    r += y[h][i] * rightWet[h] + inR[i] * dry[h];
                }
                outL[i] = l;
                outR[i] = r;
            }
        }

        for (int h = 0; h < kHeads; ++h) {
            HeadBlock& b = blocks[h];
            b.read += n;
            if (b.read == b.length) b.read = 0;
            b.write += n;
            if (b.write == b.length) b.write = 0;
        }
        done += n;
    }
}
