// GuardedChannels: audio channels for render calls, each with guard zones before its start and
// after the frames of the current call, so that a plug-in writing outside the block is seen.
// Separate output buffers are filled with a marker before each call, so that a sample the
// plug-in leaves unwritten is seen too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CheckRandom;

// What is wrong with a sample of the output.
struct SampleProblem {
    int32_t channel;
    int32_t frame;
    std::string
        what; // "is NaN", "is infinite (-inf)", "is subnormal (1.2e-39)", "was left unwritten"
};

class GuardedChannels {
public:
    static constexpr int32_t kGuardFrames = 64;

    // At least one channel is always made, so that a plug-in handed zero channels still gets
    // a valid pointer array.
    GuardedChannels(int32_t channels, int32_t capacityFrames);

    float** pointers() { return pointers_.data(); }
    float* channel(int32_t index) { return pointers_[static_cast<size_t>(index)]; }
    int32_t channelCount() const { return channels_; }
    int32_t capacity() const { return capacity_; }

    void fillSilence(int32_t frames);
    void fillNoise(CheckRandom& random, float level, int32_t frames);
    // Marks the frames as unwritten (a NaN with a payload of its own).
    void fillUnwritten(int32_t frames);
    // Puts guard values before each channel and after its first `frames` frames.
    void armGuards(int32_t frames);
    // The first guard sample that changed since armGuards(frames), as "channel 1, 3 frames
    // after the block".
    std::optional<std::string> breachedGuard(int32_t frames) const;

    // The first bad sample in the first `frames` frames: NaN, infinite, a marker left by
    // fillUnwritten, and with `rejectSubnormals` a subnormal value.
    std::optional<SampleProblem> findProblem(int32_t frames, bool rejectSubnormals) const;
    // Largest magnitude in the first `frames` frames.
    float peak(int32_t frames) const;

private:
    int32_t channels_;
    int32_t capacity_;
    std::vector<std::vector<float>> storage_;
    std::vector<float*> pointers_;
};
