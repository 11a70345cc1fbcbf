// The heads' passes for a vector unit, included by each unit's file (headlanes_sse2.cpp,
// headlanes_avx2.cpp) inside its anonymous namespace, so that each is built with that unit's
// flags and nothing is shared between them. The includer provides <immintrin.h> (or
// <emmintrin.h>) and headrenderer.h. The passes are HeadRenderer's, operation for operation;
// with four heads the filters run as the four lanes of one register, four frames at a time
// (the tape read in and the output written out by 4x4 transposes).

using HeadBlock = HeadRenderer::HeadBlock;

inline int32_t smaller(int32_t a, int32_t b) {
    return a < b ? a : b;
}

inline float finiteOrZero(float sample) {
    // An exponent of all ones is infinity or NaN. Tested on the bits so the loop vectorises.
    return (__builtin_bit_cast(uint32_t, sample) & 0x7F800000u) == 0x7F800000u ? 0.0f : sample;
}

template <int kHeads>
void filterHeads(HeadBlock* blocks, HeadRenderer::Scratch& scratch, int32_t n) {
    {
            const float* tape[kHeads];
            float* y[kHeads];
            float k[kHeads], filter[kHeads], state[kHeads];
            for (int h = 0; h < kHeads; ++h) {
                tape[h] = blocks[h].buffer + blocks[h].read;
                y[h] = scratch.filtered[h];
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
}

inline void filterFourHeads(HeadBlock* blocks, HeadRenderer::Scratch& scratch, int32_t n) {
    const float* const tape0 = blocks[0].buffer + blocks[0].read;
    const float* const tape1 = blocks[1].buffer + blocks[1].read;
    const float* const tape2 = blocks[2].buffer + blocks[2].read;
    const float* const tape3 = blocks[3].buffer + blocks[3].read;
    const __m128 k = _mm_setr_ps(blocks[0].k, blocks[1].k, blocks[2].k, blocks[3].k);
    const __m128 filter =
        _mm_setr_ps(blocks[0].filter, blocks[1].filter, blocks[2].filter, blocks[3].filter);
    __m128 state =
        _mm_setr_ps(blocks[0].state, blocks[1].state, blocks[2].state, blocks[3].state);
    float* const y0 = scratch.filtered[0];
    float* const y1 = scratch.filtered[1];
    float* const y2 = scratch.filtered[2];
    float* const y3 = scratch.filtered[3];
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        // Rows of four heads, one row per frame.
        __m128 f0 = _mm_loadu_ps(tape0 + i);
        __m128 f1 = _mm_loadu_ps(tape1 + i);
        __m128 f2 = _mm_loadu_ps(tape2 + i);
        __m128 f3 = _mm_loadu_ps(tape3 + i);
        _MM_TRANSPOSE4_PS(f0, f1, f2, f3);
        f0 = state = _mm_add_ps(_mm_mul_ps(f0, k), _mm_mul_ps(filter, state));
        f1 = state = _mm_add_ps(_mm_mul_ps(f1, k), _mm_mul_ps(filter, state));
        f2 = state = _mm_add_ps(_mm_mul_ps(f2, k), _mm_mul_ps(filter, state));
        f3 = state = _mm_add_ps(_mm_mul_ps(f3, k), _mm_mul_ps(filter, state));
        _MM_TRANSPOSE4_PS(f0, f1, f2, f3);
        _mm_store_ps(y0 + i, f0);
        _mm_store_ps(y1 + i, f1);
        _mm_store_ps(y2 + i, f2);
        _mm_store_ps(y3 + i, f3);
    }
    for (; i < n; ++i) {
        const __m128 in = _mm_setr_ps(tape0[i], tape1[i], tape2[i], tape3[i]);
        state = _mm_add_ps(_mm_mul_ps(in, k), _mm_mul_ps(filter, state));
        alignas(16) float out[4];
        _mm_store_ps(out, state);
        y0[i] = out[0];
        y1[i] = out[1];
        y2[i] = out[2];
        y3[i] = out[3];
    }
    alignas(16) float last[4];
    _mm_store_ps(last, state);
    for (int h = 0; h < 4; ++h)
        blocks[h].state = last[h];
}

template <int kHeads, bool kAdding>
void renderHeadLanes(HeadBlock* blocks, HeadRenderer::Scratch& scratch, const float* left,
                     const float* right, float* leftOut, float* rightOut, int32_t frames) {
    for (int32_t done = 0; done < frames;) {
        int32_t n = smaller(frames - done, HeadRenderer::kChunkFrames);
        for (int h = 0; h < kHeads; ++h) {
            const HeadBlock& b = blocks[h];
            n = smaller(smaller(n, b.length - b.read),
                        smaller(b.length - b.write, b.rereadDistance));
        }

        {
            float* __restrict inL = scratch.inLeft;
            float* __restrict inR = scratch.inRight;
            const float* __restrict srcL = left + done;
            const float* __restrict srcR = right + done;
            for (int32_t i = 0; i < n; ++i) {
                inL[i] = finiteOrZero(srcL[i]);
                inR[i] = finiteOrZero(srcR[i]);
            }
        }
        const float* __restrict inL = scratch.inLeft;
        const float* __restrict inR = scratch.inRight;

        if constexpr (kHeads == 4)
            filterFourHeads(blocks, scratch, n);
        else
            filterHeads<kHeads>(blocks, scratch, n);

        // The tape input: weighted input, offset and filtered feedback.
        for (int h = 0; h < kHeads; ++h) {
            HeadBlock& b = blocks[h];
            float* __restrict tape = b.buffer + b.write;
            const float* __restrict y = scratch.filtered[h];
            const float leftIn = b.leftIn, rightIn = b.rightIn, offset = b.offset;
            if (b.feedbackGlides) {
                float* __restrict fb = scratch.feedback[h];
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
                y[h] = scratch.filtered[h];
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

inline void renderLanes(HeadBlock* blocks, int32_t heads, bool adding,
                        HeadRenderer::Scratch& scratch, const float* left, const float* right,
                        float* leftOut, float* rightOut, int32_t frames) {
    switch (heads) {
    case 1:
        adding ? renderHeadLanes<1, true>(blocks, scratch, left, right, leftOut, rightOut, frames)
               : renderHeadLanes<1, false>(blocks, scratch, left, right, leftOut, rightOut, frames);
        break;
    case 2:
        adding ? renderHeadLanes<2, true>(blocks, scratch, left, right, leftOut, rightOut, frames)
               : renderHeadLanes<2, false>(blocks, scratch, left, right, leftOut, rightOut, frames);
        break;
    case 3:
        adding ? renderHeadLanes<3, true>(blocks, scratch, left, right, leftOut, rightOut, frames)
               : renderHeadLanes<3, false>(blocks, scratch, left, right, leftOut, rightOut, frames);
        break;
    default:
        adding ? renderHeadLanes<4, true>(blocks, scratch, left, right, leftOut, rightOut, frames)
               : renderHeadLanes<4, false>(blocks, scratch, left, right, leftOut, rightOut, frames);
        break;
    }
}
