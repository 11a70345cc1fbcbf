// A deliberately plain model of the four-head echo, one head and one sample at a time, with
// the delay realigned when it is set. The real renderer reorganises this work into chunks and
// passes; tests compare the two bit for bit.
#pragma once

#include "malvoree_parameters.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

class ReferenceEcho {
public:
    ReferenceEcho() {
        for (int32_t h = 0; h < malvoree::kHeadCount; ++h) {
            Head& head = heads_[static_cast<size_t>(h)];
            head.buffer.assign(static_cast<size_t>(kLength), 0.0f);
            head.leftIn = malvoree::kInputWeighting[static_cast<size_t>(h)][0];
            head.rightIn = malvoree::kInputWeighting[static_cast<size_t>(h)][1];
        }
        for (int32_t i = 0; i < malvoree::kParameterCount; ++i)
            write(i, malvoree::kParameters[static_cast<size_t>(i)].defaultValue);
        for (Head& head : heads_)
            head.feedback = head.feedbackTarget;
    }

    void write(int32_t index, float value) {
        if (index == malvoree::kMixParameter) {
            for (Head& head : heads_) {
                head.wet = value * 0.5f;
                head.dry = (1.0f - value) * 0.25f;
            }
            return;
        }
        if (index == malvoree::kTempoParameter) return;
        Head& head = heads_[static_cast<size_t>(index / 5)];
        switch (index % 5) {
        case 0: {
            head.delay =
                std::min(static_cast<int32_t>(static_cast<float>(kLength) * value), kLength - 2);
            head.write = head.read + head.delay;
            if (head.write > kLength) head.write -= kLength;
            break;
        }
        case 1:
            head.feedbackTarget = value;
            break;
        case 2:
            head.filter = value;
            break;
        case 3:
            head.volume = value;
            break;
        case 4:
            head.pan = value;
            break;
        }
    }

    void render(const float* left, const float* right, float* leftOut, float* rightOut,
                int32_t frames) {
        std::fill_n(leftOut, frames, 0.0f);
        std::fill_n(rightOut, frames, 0.0f);
        for (Head& head : heads_)
            renderHead(head, left, right, leftOut, rightOut, frames);
    }

private:
    static constexpr int32_t kLength = 88200;

    struct Head {
        std::vector<float> buffer;
        int32_t delay = 0, read = 0, write = 0;
        float feedbackTarget = 0, feedback = 0, filter = 0, volume = 1, pan = 0.5f, state = 0;
        float leftIn = 0.5f, rightIn = 0.5f, wet = 1, dry = 0, offset = 1e-9f;
    };

    static void renderHead(Head& head, const float* left, const float* right, float* leftOut,
                           float* rightOut, int32_t frames) {
        const float w = head.wet * head.volume;
        const float leftWet = (1.0f - head.pan) * w;
        const float rightWet = head.pan * w;
        const float k = 1.0f - head.filter;
        const float step = (head.feedbackTarget - head.feedback) / static_cast<float>(frames);
        int32_t done = 0;
        while (done < frames) {
            const int32_t segment =
                std::min({frames - done, kLength - head.write, kLength - head.read});
            for (int32_t i = done; i < done + segment; ++i) {
                const float d = head.buffer[static_cast<size_t>(head.read++)];
                const float y = d * k + head.filter * head.state;
                head.state = y;
                head.buffer[static_cast<size_t>(head.write++)] =
                    (left[i] * head.leftIn + right[i] * head.rightIn) + head.offset +
                    y * head.feedback;
                leftOut[i] += y * leftWet + left[i] * head.dry;
                rightOut[i] += y * rightWet + right[i] * head.dry;
                head.feedback += step;
            }
            done += segment;
            if (head.read == kLength) head.read = 0;
            if (head.write == kLength) head.write = 0;
        }
        head.offset = -head.offset;
    }

    std::array<Head, malvoree::kHeadCount> heads_;
};
