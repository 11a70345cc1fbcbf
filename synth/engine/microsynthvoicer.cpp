#include "microsynthvoicer.h"

#include "../synth_parameters.h"
#include "microsynthvoice.h"
#include "synthcontext.h"
#include "wavetableset.h"

#include <algorithm>
#include <new>

void MicroSynthVoicer::controlChange(int32_t channel, int32_t controller, int32_t value,
                                     int32_t delta) {
    const float normalised = static_cast<float>((value & 127) / 127.0);
    if (controller == 71)
        synth_->writeParameterFromEngine(VcfReso, normalised);
    else if (controller == 74)
        synth_->writeParameterFromEngine(VcfCut, normalised);
    Voicer::controlChange(channel, controller, value, delta);
}

void MicroSynthVoicer::prepareLanes(int32_t frames) {
    const int32_t slots = std::min(totalVoices(), kMaxLaneVoices);
    if (frames <= 0 || slots <= 0) return;
    if (envelopeStore_ && frames <= laneFrames_ && slots <= laneSlots_) return;
    // Two envelopes per voice; every entry must be reachable with a 32-bit index.
    const int64_t entries = int64_t{slots} * 2 * frames;
    if (entries > 0x7FFFFFFF) return;
    // The vector loops read whole groups of eight values, up to seven past the last one.
    std::unique_ptr<float[]> store(new (std::nothrow) float[static_cast<size_t>(entries) + 8]());
    if (!store) return;
    envelopeStore_ = std::move(store);
    laneFrames_ = frames;
    laneSlots_ = slots;
}

void MicroSynthVoicer::renderVoices(float** inputs, float** outputs, int32_t frames) {
    int32_t groupLanes = 1;
    const SimdLevel level = activeSimdLevel();
    const VoiceLaneKernel kernel = voiceLaneKernel(level, &groupLanes);
    if (!kernel || !envelopeStore_ || frames > laneFrames_ || totalVoices() > laneSlots_) {
        Voicer::renderVoices(inputs, outputs, frames);
        return;
    }
    collecting_ = true;
    collectingLevel_ = level;
    laneVoiceCount_ = 0;
    Voicer::renderVoices(inputs, outputs, frames);
    collecting_ = false;
    if (laneVoiceCount_ > 0) renderLanes(kernel, groupLanes, outputs[0], outputs[1]);
}

void MicroSynthVoicer::renderVoiceRange(Voice* voice, float** inputs, float** outputs,
                                        int32_t frames, int32_t startOffset) {
    if (!collecting_) {
        Voicer::renderVoiceRange(voice, inputs, outputs, frames, startOffset);
        return;
    }
    if (frames <= 0) return; // renderAdd does nothing either
    auto* synthVoice = static_cast<MicroSynthVoice*>(voice);
    // A voice's second stretch (after a note-off inside the block) follows its first at once.
    LaneVoice* lane = laneVoiceCount_ > 0 ? &laneVoices_[laneVoiceCount_ - 1] : nullptr;
    if (!lane || lane->voice != synthVoice) {
        lane = &laneVoices_[laneVoiceCount_++];
        lane->voice = synthVoice;
        lane->begin = startOffset;
        lane->segmentCount = 0;
    }
    const int32_t slot = static_cast<int32_t>(lane - laneVoices_);
    float* filterValues = envelopeStore_.get() + int64_t{slot} * 2 * laneFrames_ + startOffset;
    synthVoice->renderEnvelopesTo(filterValues, filterValues + laneFrames_, frames,
                                  collectingLevel_);
    lane->segmentEnds[lane->segmentCount++] = startOffset + frames;
}

void MicroSynthVoicer::renderLanes(VoiceLaneKernel kernel, int32_t groupLanes, float* left,
                                   float* right) {
    const float* tables = WaveTableSet::table(WaveTableSet::Sine);
    for (int32_t first = 0; first < laneVoiceCount_; first += groupLanes) {
        const int32_t count = std::min(groupLanes, laneVoiceCount_ - first);
        lanes_.clear(tables, envelopeStore_.get(), laneFrames_);
        lanes_.laneCount = count;
        // Every frame where a lane starts, stops or wraps its phases bounds a stretch that the
        // kernel renders with one set of active lanes.
        int32_t bounds[3 * VoiceLanes::kMaxLanes];
        int32_t boundCount = 0;
        // Kept sorted and without repeats: most voices share the block's first and last frame.
        const auto addBound = [&](int32_t frame) {
            int32_t i = boundCount;
            while (i > 0 && bounds[i - 1] > frame)
                --i;
            if (i > 0 && bounds[i - 1] == frame) return;
            for (int32_t j = boundCount; j > i; --j)
                bounds[j] = bounds[j - 1];
            bounds[i] = frame;
            ++boundCount;
        };
        for (int32_t k = 0; k < count; ++k) {
            const LaneVoice& voice = laneVoices_[first + k];
            voice.voice->loadLane(lanes_, k);
            lanes_.envelopeOffset[k] = (first + k) * 2 * laneFrames_;
            addBound(voice.begin);
            for (int32_t s = 0; s < voice.segmentCount; ++s)
                addBound(voice.segmentEnds[s]);
        }
        for (int32_t b = 0; b + 1 < boundCount; ++b) {
            const int32_t from = bounds[b];
            const int32_t to = bounds[b + 1];
            uint32_t active = 0;
            for (int32_t k = 0; k < count; ++k) {
                const LaneVoice& voice = laneVoices_[first + k];
                if (voice.begin <= from && to <= voice.segmentEnds[voice.segmentCount - 1])
                    active |= 1u << k;
            }
            kernel(lanes_, from, to, active, left, right);
            for (int32_t k = 0; k < count; ++k) {
                const LaneVoice& voice = laneVoices_[first + k];
                for (int32_t s = 0; s < voice.segmentCount; ++s) {
                    if (voice.segmentEnds[s] != to) continue;
                    lanes_.phase1[k] = wrapTablePhase(lanes_.phase1[k]);
                    lanes_.phase2[k] = wrapTablePhase(lanes_.phase2[k]);
                    lanes_.lfoPhase[k] = wrapTablePhase(lanes_.lfoPhase[k]);
                }
            }
        }
        for (int32_t k = 0; k < count; ++k)
            laneVoices_[first + k].voice->storeLane(lanes_, k);
    }
}
