#include "renderrig.h"

#include "allocation_counter.h"
#include "validation.h"

#include <algorithm>

RenderRig::RenderRig(CheckInstance& instance, int32_t capacityFrames, uint64_t seed)
    : instance_(instance), random_(seed), inputs_(instance.inputCount(), capacityFrames),
      outputs_(instance.outputCount(), capacityFrames),
      inPlaceInputs_(static_cast<size_t>(std::max(instance.inputCount(), 1))) {}

void RenderRig::render(int32_t frames, const char* situation) {
    ++renderCalls_;
    if (inputLevel_ > 0.0f)
        inputs_.fillNoise(random_, inputLevel_, frames);
    else
        inputs_.fillSilence(frames);

    float** inputs = inputs_.pointers();
    const bool inPlace = inPlace_ && instance_.inputCount() > 0;
    if (inPlace) {
        for (int32_t c = 0; c < static_cast<int32_t>(inPlaceInputs_.size()); ++c) {
            float* shared = c < outputs_.channelCount() ? outputs_.channel(c) : inputs_.channel(c);
            if (shared != inputs_.channel(c))
                std::copy(inputs_.channel(c), inputs_.channel(c) + frames, shared);
            inPlaceInputs_[static_cast<size_t>(c)] = shared;
        }
        inputs = inPlaceInputs_.data();
    } else {
        outputs_.fillUnwritten(frames);
    }
    inputs_.armGuards(frames);
    outputs_.armGuards(frames);

    if (!events_.empty()) {
        const int64_t before = allocation_counter::allocations() + allocation_counter::releases();
        if (countAllocations_) {
            allocation_counter::Armed armed;
            instance_.deliverEvents(events_.block());
        } else {
            instance_.deliverEvents(events_.block());
        }
        if (countAllocations_) noteAllocations(before, "event delivery", situation);
        events_.clear();
    }
    const int64_t before = allocation_counter::allocations() + allocation_counter::releases();
    if (countAllocations_) {
        allocation_counter::Armed armed;
        instance_.render(inputs, outputs_.pointers(), frames);
    } else {
        instance_.render(inputs, outputs_.pointers(), frames);
    }
    if (countAllocations_) noteAllocations(before, "a render call", situation);

    if (const auto breach = outputs_.breachedGuard(frames))
        failCheck(textf("render call %lld wrote outside the output block (%s; %s)",
                        static_cast<long long>(renderCalls_), breach->c_str(), situation));
    if (const auto breach = inputs_.breachedGuard(frames))
        failCheck(textf("render call %lld wrote outside the input block (%s; %s)",
                        static_cast<long long>(renderCalls_), breach->c_str(), situation));
    if (const auto problem = outputs_.findProblem(frames, rejectSubnormals_))
        failCheck(textf("output %d, frame %d %s in render call %lld of %d frames (%s)",
                        problem->channel, problem->frame, problem->what.c_str(),
                        static_cast<long long>(renderCalls_), frames, situation));
    lastPeak_ = outputs_.peak(frames);
}

void RenderRig::noteAllocations(int64_t before, const char* during, const char* situation) {
    const int64_t after = allocation_counter::allocations() + allocation_counter::releases();
    if (after != before && firstAllocation_.empty())
        firstAllocation_ = textf("first during %s, render call %lld (%s)", during,
                                 static_cast<long long>(renderCalls_), situation);
}

double renderUntilQuiet(RenderRig& rig, int32_t blockSize, float sampleRate, double maximumSeconds,
                        const char* situation, float threshold, double quietSeconds) {
    const int64_t quietFramesNeeded = static_cast<int64_t>(quietSeconds * sampleRate);
    const int64_t maximumFrames = static_cast<int64_t>(maximumSeconds * sampleRate);
    int64_t rendered = 0;
    int64_t quietSince = -1;
    while (rendered < maximumFrames) {
        rig.render(blockSize, situation);
        if (rig.lastPeak() > threshold)
            quietSince = -1;
        else if (quietSince < 0)
            quietSince = rendered;
        rendered += blockSize;
        if (quietSince >= 0 && rendered - quietSince >= quietFramesNeeded)
            return static_cast<double>(quietSince) / sampleRate;
    }
    return -1.0;
}
