// Helpers for the plug-ins' thread tests: dropouts counted while another thread writes, and the
// program names the tests write, which show when a name is read half-written.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace thread_testing {

struct DropoutCount {
    int32_t blocks = 0;       // rendered
    int32_t silentBlocks = 0; // of those, entirely silent
    int64_t writesDuring = 0; // writes the other thread made while the blocks rendered
};

// Runs write(step) in a loop on another thread while this one calls render(outputs, frames)
// for stereo blocks, and counts the blocks that come out entirely silent. Rendering starts once
// the writer runs and goes on for at least `blocks` blocks and until the writer has made
// `minimumWrites` writes meanwhile (at most 100 times as many blocks), whatever the scheduler.
template <typename Write, typename Render>
DropoutCount countDropouts(int32_t blocks, int32_t frames, int64_t minimumWrites, Write write,
                           Render render) {
    std::atomic<bool> stop{false};
    std::atomic<int64_t> steps{0};
    std::thread writer([&] {
        for (int64_t step = 0; !stop.load(std::memory_order_relaxed); ++step) {
            write(step);
            steps.store(step + 1, std::memory_order_relaxed);
        }
    });

    std::vector<float> left(static_cast<size_t>(frames));
    std::vector<float> right(static_cast<size_t>(frames));
    float* outputs[2] = {left.data(), right.data()};
    const auto sounds = [](float sample) { return sample != 0.0f; };
    DropoutCount count;
    while (steps.load() == 0)
        std::this_thread::yield();
    const int64_t stepsBefore = steps.load();
    while (count.blocks < blocks ||
           (steps.load() - stepsBefore < minimumWrites && count.blocks < 100 * blocks)) {
        render(outputs, frames);
        ++count.blocks;
        if (std::none_of(left.begin(), left.end(), sounds) &&
            std::none_of(right.begin(), right.end(), sounds))
            ++count.silentBlocks;
    }
    count.writesDuring = steps.load() - stepsBefore;
    stop.store(true);
    writer.join();
    return count;
}

// The tests rename programs to one letter repeated; a name read half-written shows two.
inline bool isOneLetterRepeated(const char* name) {
    const size_t length = std::strlen(name);
    return length > 0 && std::all_of(name, name + length, [&](char c) { return c == name[0]; });
}

} // namespace thread_testing
