// Helpers for the plug-ins' thread tests: a writer thread that takes turns with the render
// thread, so that its writes land between blocks and inside render calls whatever the
// scheduler does; dropouts counted under those writes; and the program names the tests write,
// which show when a name is read half-written.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace thread_testing {

// A writer on a thread of its own that writes only when the render thread hands it a turn, and
// the render thread goes on only once that write is made. A write therefore lands exactly where
// the turn is handed: between two blocks, or inside a render call when the turn is handed from
// something the plug-in calls while it renders (its host callback, or an override its engine
// calls).
//
// A write that reaches the plug-in's engine on the writer's thread (which it must not do while
// the audio thread owns it) can stop there with holdWhileABlockRenders(): the render thread
// renders a block while that write is still in progress.
//
// The turn counters are relaxed atomics on purpose: they order the two threads in time but make
// no happens-before edge, so ThreadSanitizer still reports any plug-in state that both threads
// reach without the plug-in's own hand-off between them.
class TurnTakingWriter {
public:
    // Constructed on the render thread; write(step) runs on the writer's thread.
    explicit TurnTakingWriter(std::function<void(int64_t step)> write)
        : write_(std::move(write)), renderThread_(std::this_thread::get_id()),
          thread_([this] { run(); }) {}
    ~TurnTakingWriter() {
        stop_.store(true, std::memory_order_relaxed);
        thread_.join();
    }
    TurnTakingWriter(const TurnTakingWriter&) = delete;
    TurnTakingWriter& operator=(const TurnTakingWriter&) = delete;

    // Render thread, between calls: one write.
    void turnBetweenBlocks() { handTurn(); }
    // Allows one turn inside the next render call.
    void armForBlock() { armed_ = true; }
    // Called from inside a render call: one write the first time it is reached on the render
    // thread after armForBlock(); otherwise nothing.
    void turnDuringBlock() {
        if (std::this_thread::get_id() != renderThread_ || !armed_) return;
        armed_ = false;
        ++turnsDuring_;
        handTurn();
    }
    int64_t turnsDuring() const { return turnsDuring_; }

    // Writer's thread, in the middle of a write: has the render thread render one block through
    // the function countDropouts gives, and returns once it has. Nothing on the render thread.
    void holdWhileABlockRenders() {
        if (std::this_thread::get_id() == renderThread_) return;
        blockDone_.store(false, std::memory_order_relaxed);
        blockWanted_.store(true, std::memory_order_relaxed);
        while (!blockDone_.load(std::memory_order_relaxed))
            std::this_thread::yield();
    }
    // Render thread: what a block rendered for holdWhileABlockRenders() does.
    void renderWhileHeldWith(std::function<void()> render) { renderWhileHeld_ = std::move(render); }
    void disarm() { armed_ = false; }

private:
    void handTurn() {
        const int64_t turn = granted_.load(std::memory_order_relaxed) + 1;
        granted_.store(turn, std::memory_order_relaxed);
        while (served_.load(std::memory_order_relaxed) < turn) {
            if (blockWanted_.load(std::memory_order_relaxed)) {
                blockWanted_.store(false, std::memory_order_relaxed);
                if (renderWhileHeld_) renderWhileHeld_();
                blockDone_.store(true, std::memory_order_relaxed);
            }
            std::this_thread::yield();
        }
    }
    void run() {
        for (int64_t step = 0;;) {
            if (granted_.load(std::memory_order_relaxed) > step) {
                write_(step);
                served_.store(++step, std::memory_order_relaxed);
            } else if (stop_.load(std::memory_order_relaxed)) {
                return;
            } else {
                std::this_thread::yield();
            }
        }
    }

    std::function<void(int64_t)> write_;
    const std::thread::id renderThread_;
    std::atomic<int64_t> granted_{0};
    std::atomic<int64_t> served_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> blockWanted_{false};
    std::atomic<bool> blockDone_{false};
    std::function<void()> renderWhileHeld_; // render thread only
    bool armed_ = false;                    // render thread only
    int64_t turnsDuring_ = 0;               // render thread only
    std::thread thread_;                    // last: starts once the rest is built
};

struct DropoutCount {
    int32_t blocks = 0;       // rendered
    int32_t silentBlocks = 0; // of those, entirely silent
};

// Renders `blocks` stereo blocks through render(outputs, frames), handing the writer a turn
// before each block and allowing one inside it, and counts the blocks that come out entirely
// silent, with any block rendered while a write holds on (holdWhileABlockRenders).
template <typename Render>
DropoutCount countDropouts(TurnTakingWriter& writer, int32_t blocks, int32_t frames,
                           Render render) {
    std::vector<float> left(static_cast<size_t>(frames));
    std::vector<float> right(static_cast<size_t>(frames));
    float* outputs[2] = {left.data(), right.data()};
    const auto sounds = [](float sample) { return sample != 0.0f; };
    DropoutCount count;
    const auto renderBlock = [&] {
        render(outputs, frames);
        ++count.blocks;
        if (std::none_of(left.begin(), left.end(), sounds) &&
            std::none_of(right.begin(), right.end(), sounds))
            ++count.silentBlocks;
    };
    writer.renderWhileHeldWith(renderBlock);
    for (int32_t block = 0; block < blocks; ++block) {
        writer.turnBetweenBlocks();
        writer.armForBlock();
        renderBlock();
        writer.disarm();
    }
    writer.renderWhileHeldWith(nullptr);
    return count;
}

// The tests rename programs to one letter repeated; a name read half-written shows two.
inline bool isOneLetterRepeated(const char* name) {
    const size_t length = std::strlen(name);
    return length > 0 && std::all_of(name, name + length, [&](char c) { return c == name[0]; });
}

} // namespace thread_testing
