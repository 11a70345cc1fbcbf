// Nothing on Malvoree's audio path allocates: rendering (in and out of place, adding),
// parameter writes and program changes are counted with a replaced global operator new.
// This executable replaces operator new/delete for itself only; counting happens while armed.
#include "malvoree.h"
#include "test_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

std::atomic<bool> armed{false};
std::atomic<long> allocations{0};

void* allocate(std::size_t size) {
    if (armed.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
    if (armed.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (size + align - 1) / align * align;
#if defined(_WIN32)
    return _aligned_malloc(rounded == 0 ? align : rounded, align);
#else
    return std::aligned_alloc(align, rounded == 0 ? align : rounded);
#endif
}

// Out of line, so the compiler does not pair the free() with the operator new it replaces.
[[gnu::noinline]] void release(void* pointer) {
    std::free(pointer);
}

[[gnu::noinline]] void releaseAligned(void* pointer) {
#if defined(_WIN32)
    _aligned_free(pointer);
#else
    std::free(pointer);
#endif
}

} // namespace

void* operator new(std::size_t size) {
    if (void* pointer = allocate(size)) return pointer;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    if (void* pointer = allocateAligned(size, alignment)) return pointer;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return operator new(size, alignment);
}
void operator delete(void* pointer) noexcept {
    release(pointer);
}
void operator delete[](void* pointer) noexcept {
    release(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    release(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    release(pointer);
}
void operator delete(void* pointer, const std::nothrow_t&) noexcept {
    release(pointer);
}
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
    release(pointer);
}
void operator delete(void* pointer, std::align_val_t) noexcept {
    releaseAligned(pointer);
}
void operator delete[](void* pointer, std::align_val_t) noexcept {
    releaseAligned(pointer);
}
void operator delete(void* pointer, std::size_t, std::align_val_t) noexcept {
    releaseAligned(pointer);
}
void operator delete[](void* pointer, std::size_t, std::align_val_t) noexcept {
    releaseAligned(pointer);
}

namespace {

class Armed {
public:
    Armed() {
        allocations.store(0);
        armed.store(true);
    }
    ~Armed() { armed.store(false); }
    long count() const { return allocations.load(); }
};

TEST(MalvoreeAllocations, CounterSeesAllocations) {
    Armed counting;
    auto* probe = new std::vector<float>(100);
    delete probe;
    EXPECT_GE(counting.count(), 2);
}

TEST(MalvoreeAllocations, AudioPathAllocatesNothing) {
    test_host::setTempo(120.0);
    Malvoree effect(test_host::callback);
    constexpr int32_t kBlock = 512;
    effect.changeSampleRate(44100.0f);
    effect.changeBlockSize(kBlock);
    effect.onResume();
    std::vector<float> left(kBlock * 3, 0.25f), right(kBlock * 3, -0.5f);
    std::vector<float> outLeft(kBlock * 3), outRight(kBlock * 3);
    float* in[2] = {left.data(), right.data()};
    float* out[2] = {outLeft.data(), outRight.data()};

    Armed counting;
    for (int block = 0; block < 200; ++block) {
        effect.writeParameter(block % 22, static_cast<float>(block % 10) / 10.0f);
        if (block % 50 == 0) effect.selectProgram(block / 50);
        effect.renderReplacing(in, out, kBlock);
        effect.renderReplacing(in, in, kBlock);
        effect.renderAdding(in, out, kBlock);
        // Longer than the block size: runs in pieces.
        effect.renderReplacing(in, out, kBlock * 3);
        effect.renderReplacing(in, in, kBlock * 3);
    }
    EXPECT_EQ(counting.count(), 0);
}

} // namespace
