// RenderGate: keeps Malvoree's renders and reconfigurations (new sample rate, block size,
// resume) from overlapping, without ever making the audio thread wait.
//
// The audio thread only tries: if a reconfiguration holds the gate, the block is skipped (the
// caller outputs silence). The reconfiguring thread waits, yielding, until no block renders.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

class RenderGate {
public:
    // Audio thread: true when the block may render; then leaveRender() must follow.
    bool tryEnterRender() {
        uint32_t expected = kOpen;
        return state_.compare_exchange_strong(expected, kRendering, std::memory_order_acquire,
                                              std::memory_order_relaxed);
    }
    void leaveRender() { state_.store(kOpen, std::memory_order_release); }

    // Control thread: waits until no block renders, then holds the gate until
    // leaveReconfigure().
    void enterReconfigure() {
        uint32_t expected = kOpen;
        while (!state_.compare_exchange_weak(expected, kReconfiguring, std::memory_order_acquire,
                                             std::memory_order_relaxed)) {
            expected = kOpen;
            std::this_thread::yield();
        }
    }
    void leaveReconfigure() { state_.store(kOpen, std::memory_order_release); }

private:
    static constexpr uint32_t kOpen = 0;
    static constexpr uint32_t kRendering = 1;
    static constexpr uint32_t kReconfiguring = 2;
    std::atomic<uint32_t> state_{kOpen};
};
