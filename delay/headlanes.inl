// The heads' passes for a vector unit, included by each unit's file (headlanes_sse2.cpp,
// headlanes_avx2.cpp) inside its anonymous namespace, so that each is built with that unit's
// flags and nothing is shared between them. The includer provides <immintrin.h> (or
// <emmintrin.h>) and headrenderer.h. The passes are HeadRenderer's, operation for operation.
// With four heads, all passes run in one loop: the filters as the four lanes of one register,
// the tape writes and outputs beside them (see renderFourHeadsChunk).

using HeadBlock = HeadRenderer::HeadBlock;

inline int32_t smaller(int32_t a, int32_t b) {
    return a < b ? a : b;
}

inline float finiteOrZero(float sample) {
    // An exponent of all ones is infinity or NaN. Tested on the bits so the loop vectorises.
    return (__builtin_bit_cast(uint32_t, sample) & 0x7F800000u) == 0x7F800000u ? 0.0f : sample;
}

// One to three heads: the filters side by side, one head after another in each frame.
template <int kHeads>
void filterHeads(HeadBlock* blocks, HeadRenderer::Scratch& scratch, int32_t n) {
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

// Zero where a lane's exponent is all ones (infinity or NaN), as finiteOrZero.
inline __m128 finiteOrZero4(__m128 samples) {
    const __m128i exponent = _mm_set1_epi32(0x7F800000);
    const __m128i bits = _mm_and_si128(_mm_castps_si128(samples), exponent);
    return _mm_andnot_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(bits, exponent)), samples);
}

#if defined(__AVX2__)
// Zero where a lane is infinite or NaN, as finiteOrZero: x - x is +0 exactly when x is finite.
// Needs no constant register.
inline __m256 finiteOrZero8(__m256 samples) {
    const __m256 finite =
        _mm256_cmp_ps(_mm256_sub_ps(samples, samples), _mm256_setzero_ps(), _CMP_EQ_OQ);
    return _mm256_and_ps(finite, samples);
}

// A 4x4 transpose in each half of the four registers.
inline void transposeHalves(__m256& a, __m256& b, __m256& c, __m256& d) {
    const __m256 ab0 = _mm256_unpacklo_ps(a, b);
    const __m256 ab1 = _mm256_unpackhi_ps(a, b);
    const __m256 cd0 = _mm256_unpacklo_ps(c, d);
    const __m256 cd1 = _mm256_unpackhi_ps(c, d);
    a = _mm256_shuffle_ps(ab0, cd0, 0x44);
    b = _mm256_shuffle_ps(ab0, cd0, 0xEE);
    c = _mm256_shuffle_ps(ab1, cd1, 0x44);
    d = _mm256_shuffle_ps(ab1, cd1, 0xEE);
}
#endif

// Four heads, every pass in one loop, four frames at a time: the filters' recurrence runs as
// the four lanes of one register (rows of four heads, one row per frame), and the tape writes
// and the outputs, which depend only on the same frames, are computed beside it so that they
// fill the recurrence's latency. Each value is the scalar passes' to the bit: the same
// operations in the same order. The chunk rules of the scalar passes make the fusion exact: a
// chunk is never longer than the delay, so a tape sample that it writes is read in it only by
// an earlier frame or the same one (no delay), never by a later one; and each frame's outputs
// are written after that frame's inputs are read.
template <bool kAdding, bool kGlides>
void renderFourHeadsChunk(HeadBlock* blocks, HeadRenderer::Scratch& scratch, const float* srcL,
                          const float* srcR, float* outL, float* outR, int32_t n) {
    const float* const tape0 = blocks[0].buffer + blocks[0].read;
    const float* const tape1 = blocks[1].buffer + blocks[1].read;
    const float* const tape2 = blocks[2].buffer + blocks[2].read;
    const float* const tape3 = blocks[3].buffer + blocks[3].read;
    float* const write0 = blocks[0].buffer + blocks[0].write;
    float* const write1 = blocks[1].buffer + blocks[1].write;
    float* const write2 = blocks[2].buffer + blocks[2].write;
    float* const write3 = blocks[3].buffer + blocks[3].write;
    const __m128 k = _mm_setr_ps(blocks[0].k, blocks[1].k, blocks[2].k, blocks[3].k);
    const __m128 filter =
        _mm_setr_ps(blocks[0].filter, blocks[1].filter, blocks[2].filter, blocks[3].filter);
    __m128 state = _mm_setr_ps(blocks[0].state, blocks[1].state, blocks[2].state, blocks[3].state);

    // Per head, broadcast over four frames: [head][constant].
    enum { kLeftIn, kRightIn, kOffset, kFeedback, kLeftWet, kRightWet, kDry, kConstants };
    __m128 constants[4][kConstants];
    for (int h = 0; h < 4; ++h) {
        const HeadBlock& b = blocks[h];
        const float values[kConstants] = {b.leftIn,  b.rightIn,  b.offset, b.feedback,
                                          b.leftWet, b.rightWet, b.dry};
        for (int c = 0; c < kConstants; ++c)
            constants[h][c] = _mm_set1_ps(values[c]);
    }
    if constexpr (kGlides) {
        // Each frame's feedback, added up one frame after another as the scalar pass does.
        for (int h = 0; h < 4; ++h) {
            HeadBlock& b = blocks[h];
            float* const fb = scratch.feedback[h];
            float value = b.feedback;
            if (b.feedbackGlides) {
                for (int32_t i = 0; i < n; ++i) {
                    fb[i] = value;
                    value += b.feedbackStep;
                }
            } else {
                for (int32_t i = 0; i < n; ++i)
                    fb[i] = value;
            }
            b.feedback = value;
        }
    }

    float* const tapeOut[4] = {write0, write1, write2, write3};
    int32_t i = 0;
#if defined(__AVX2__)
    // Eight frames a turn: the filters still take one frame after another, but the tape writes
    // and the outputs are computed eight frames to a register. The transposes stay within the
    // registers' halves: the low half carries frames i..i+3, the high half i+4..i+7.
    const __m128 filterCoefficients[2] = {k, filter};
    __m256 wide[4][kConstants];
    for (int h = 0; h < 4; ++h)
        for (int c = 0; c < kConstants; ++c)
            wide[h][c] = _mm256_set_m128(constants[h][c], constants[h][c]);
    // Eight frames of filters, as columns of four heads (low half frames f..f+3).
    const auto filterEight = [&](int32_t f, __m256* y) {
        __m256 y0 = _mm256_loadu_ps(tape0 + f);
        __m256 y1 = _mm256_loadu_ps(tape1 + f);
        __m256 y2 = _mm256_loadu_ps(tape2 + f);
        __m256 y3 = _mm256_loadu_ps(tape3 + f);
        transposeHalves(y0, y1, y2, y3);
        // The filter's coefficients are read from memory as operands, like the constants below.
        const __m128* coefficients = filterCoefficients;
        __asm__("" : "+r"(coefficients));
        const auto step = [&](__m128 row) {
            return state = _mm_add_ps(_mm_mul_ps(row, coefficients[0]),
                                      _mm_mul_ps(coefficients[1], state));
        };
        const __m128 row0 = step(_mm256_castps256_ps128(y0));
        const __m128 row1 = step(_mm256_castps256_ps128(y1));
        const __m128 row2 = step(_mm256_castps256_ps128(y2));
        const __m128 row3 = step(_mm256_castps256_ps128(y3));
        y0 = _mm256_set_m128(step(_mm256_extractf128_ps(y0, 1)), row0);
        y1 = _mm256_set_m128(step(_mm256_extractf128_ps(y1, 1)), row1);
        y2 = _mm256_set_m128(step(_mm256_extractf128_ps(y2, 1)), row2);
        y3 = _mm256_set_m128(step(_mm256_extractf128_ps(y3, 1)), row3);
        transposeHalves(y0, y1, y2, y3);
        y[0] = y0;
        y[1] = y1;
        y[2] = y2;
        y[3] = y3;
    };
    // The tape writes and outputs of eight frames whose filters have run.
    const auto writeEight = [&](int32_t f, const __m256* y) {
        const __m256(*c)[kConstants] = wide;
        __asm__("" : "+r"(c));
        const __m256 inL = finiteOrZero8(_mm256_loadu_ps(srcL + f));
        const __m256 inR = finiteOrZero8(_mm256_loadu_ps(srcR + f));
#pragma GCC unroll 4
        for (int h = 0; h < 4; ++h) {
            const __m256 fb = kGlides ? _mm256_load_ps(scratch.feedback[h] + f) : c[h][kFeedback];
            const __m256 tapeIn =
                _mm256_add_ps(_mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(inL, c[h][kLeftIn]),
                                                          _mm256_mul_ps(inR, c[h][kRightIn])),
                                            c[h][kOffset]),
                              _mm256_mul_ps(y[h], fb));
            _mm256_storeu_ps(tapeOut[h] + f, tapeIn);
        }
        __m256 l = kAdding ? _mm256_loadu_ps(outL + f) : _mm256_setzero_ps();
#pragma GCC unroll 4
        for (int h = 0; h < 4; ++h)
            l = _mm256_add_ps(l, _mm256_add_ps(_mm256_mul_ps(y[h], c[h][kLeftWet]),
                                               _mm256_mul_ps(inL, c[h][kDry])));
        _mm256_storeu_ps(outL + f, l);
        __m256 r = kAdding ? _mm256_loadu_ps(outR + f) : _mm256_setzero_ps();
#pragma GCC unroll 4
        for (int h = 0; h < 4; ++h)
            r = _mm256_add_ps(r, _mm256_add_ps(_mm256_mul_ps(y[h], c[h][kRightWet]),
                                               _mm256_mul_ps(inR, c[h][kDry])));
        _mm256_storeu_ps(outR + f, r);
    };
    // One turn of software pipeline: the filters of the next eight frames, then the writes of
    // the eight before, whose inputs are all ready, so that they run while the filters wait on
    // their recurrence. Delaying a frame's tape write past the next frames' reads is exact for
    // the reason fusion is (see above): no later frame reads what an earlier one writes.
    if (i + 8 <= n) {
        alignas(32) __m256 ready[4];
        filterEight(i, ready);
        for (i += 8; i + 8 <= n; i += 8) {
            alignas(32) __m256 next[4];
            filterEight(i, next);
            writeEight(i - 8, ready);
            for (int h = 0; h < 4; ++h)
                ready[h] = next[h];
        }
        writeEight(i - 8, ready);
    }
#endif
    for (; i + 4 <= n; i += 4) {
        // The constants are read from memory as operands: held in registers, they would push
        // the filter state out to the stack, and its store and reload into the recurrence.
        const __m128(*c)[kConstants] = constants;
        __asm__("" : "+r"(c));
        const __m128 inL = finiteOrZero4(_mm_loadu_ps(srcL + i));
        const __m128 inR = finiteOrZero4(_mm_loadu_ps(srcR + i));

        // Rows of four heads, one row per frame, through the filters.
        __m128 y0 = _mm_loadu_ps(tape0 + i);
        __m128 y1 = _mm_loadu_ps(tape1 + i);
        __m128 y2 = _mm_loadu_ps(tape2 + i);
        __m128 y3 = _mm_loadu_ps(tape3 + i);
        _MM_TRANSPOSE4_PS(y0, y1, y2, y3);
        y0 = state = _mm_add_ps(_mm_mul_ps(y0, k), _mm_mul_ps(filter, state));
        y1 = state = _mm_add_ps(_mm_mul_ps(y1, k), _mm_mul_ps(filter, state));
        y2 = state = _mm_add_ps(_mm_mul_ps(y2, k), _mm_mul_ps(filter, state));
        y3 = state = _mm_add_ps(_mm_mul_ps(y3, k), _mm_mul_ps(filter, state));
        // The state stays in a register from one turn to the next; spilled, its store and
        // reload would lengthen the recurrence.
        __asm__("" : "+x"(state));
        // Back to one column of four frames per head.
        _MM_TRANSPOSE4_PS(y0, y1, y2, y3);
        const __m128 y[4] = {y0, y1, y2, y3};

        __m128 l = kAdding ? _mm_loadu_ps(outL + i) : _mm_setzero_ps();
        __m128 r = kAdding ? _mm_loadu_ps(outR + i) : _mm_setzero_ps();
#pragma GCC unroll 4
        for (int h = 0; h < 4; ++h) {
            const __m128 fb = kGlides ? _mm_load_ps(scratch.feedback[h] + i) : c[h][kFeedback];
            const __m128 tapeIn = _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(inL, c[h][kLeftIn]),
                                                                   _mm_mul_ps(inR, c[h][kRightIn])),
                                                        c[h][kOffset]),
                                             _mm_mul_ps(y[h], fb));
            _mm_storeu_ps(tapeOut[h] + i, tapeIn);
            l = _mm_add_ps(
                l, _mm_add_ps(_mm_mul_ps(y[h], c[h][kLeftWet]), _mm_mul_ps(inL, c[h][kDry])));
            r = _mm_add_ps(
                r, _mm_add_ps(_mm_mul_ps(y[h], c[h][kRightWet]), _mm_mul_ps(inR, c[h][kDry])));
        }
        _mm_storeu_ps(outL + i, l);
        _mm_storeu_ps(outR + i, r);
    }

    // The last frames one at a time, in the scalar passes' words.
    alignas(16) float states[4];
    _mm_store_ps(states, state);
    const float* const tapeIn[4] = {tape0, tape1, tape2, tape3};
    for (; i < n; ++i) {
        const float inL = finiteOrZero(srcL[i]);
        const float inR = finiteOrZero(srcR[i]);
        float l = kAdding ? outL[i] : 0.0f;
        float r = kAdding ? outR[i] : 0.0f;
        for (int h = 0; h < 4; ++h) {
            const HeadBlock& b = blocks[h];
            const float y = states[h] = tapeIn[h][i] * b.k + b.filter * states[h];
            const float fb = kGlides ? scratch.feedback[h][i] : b.feedback;
            tapeOut[h][i] = (inL * b.leftIn + inR * b.rightIn) + b.offset + y * fb;
            l += y * b.leftWet + inL * b.dry;
            r += y * b.rightWet + inR * b.dry;
        }
        outL[i] = l;
        outR[i] = r;
    }
    for (int h = 0; h < 4; ++h)
        blocks[h].state = states[h];
}

template <bool kAdding>
void renderFourHeads(HeadBlock* blocks, const float* left, const float* right, float* leftOut,
                     float* rightOut, HeadRenderer::Scratch& scratch, int32_t frames) {
    bool glides = false;
    for (int h = 0; h < 4; ++h)
        glides = glides || blocks[h].feedbackGlides;
    for (int32_t done = 0; done < frames;) {
        // Only a gliding feedback uses the scratch memory; otherwise a chunk ends only where a
        // tape wraps or would be read again.
        int32_t n = glides ? smaller(frames - done, HeadRenderer::kChunkFrames) : frames - done;
        for (int h = 0; h < 4; ++h) {
            const HeadBlock& b = blocks[h];
            n = smaller(smaller(n, b.length - b.read),
                        smaller(b.length - b.write, b.rereadDistance));
        }
        if (glides)
            renderFourHeadsChunk<kAdding, true>(blocks, scratch, left + done, right + done,
                                                leftOut + done, rightOut + done, n);
        else
            renderFourHeadsChunk<kAdding, false>(blocks, scratch, left + done, right + done,
                                                 leftOut + done, rightOut + done, n);
        for (int h = 0; h < 4; ++h) {
            HeadBlock& b = blocks[h];
            b.read += n;
            if (b.read == b.length) b.read = 0;
            b.write += n;
            if (b.write == b.length) b.write = 0;
        }
        done += n;
    }
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
        adding ? renderFourHeads<true>(blocks, left, right, leftOut, rightOut, scratch, frames)
               : renderFourHeads<false>(blocks, left, right, leftOut, rightOut, scratch, frames);
        break;
    }
}
