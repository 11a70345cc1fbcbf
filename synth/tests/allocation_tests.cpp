// Nothing on the audio path allocates: events, rendering (also in pieces longer than the
// block size), parameter writes and program changes. The global allocation functions are
// replaced in this executable and count while armed.
#include "synth_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> armed{false};
std::atomic<int64_t> allocations{0};

void* allocate(std::size_t size) {
    if (armed.load(std::memory_order_relaxed)) allocations.fetch_add(1);
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace {

using oriv_test::EventList;
using oriv_test::SynthRig;

TEST(Allocation, TheAudioPathAllocatesNothing) {
    SynthRig rig(44100.0f, 256);
    EventList chord;
    for (uint8_t note = 40; note < 56; ++note)
        chord.noteOn(note, note);
    chord.control(10, 1, 100).control(20, 74, 30).add(30, 0xE0, 0, 100);
    EventList releases;
    for (uint8_t note = 40; note < 56; note += 2)
        releases.noteOff(note * 3, note);
    EventBlock* chordBlock = chord.block();
    EventBlock* releaseBlock = releases.block();
    std::vector<float> left(2000);
    std::vector<float> right(2000);
    float* outputs[2] = {left.data(), right.data()};

    armed = true;
    rig.synth().handleEvents(chordBlock);
    rig.synth().renderReplacing(nullptr, outputs, 256);
    rig.synth().writeParameter(VcfReso, 0.9f);
    rig.synth().selectProgram(7);
    rig.synth().handleEvents(releaseBlock);
    rig.synth().renderReplacing(nullptr, outputs, 2000); // in pieces of 256
    rig.synth().onSuspend();
    armed = false;

    EXPECT_EQ(allocations.load(), 0);
}

} // namespace
