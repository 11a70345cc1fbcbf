// Linux: the C allocator is interposed in the qxahost executable, which the dynamic linker
// finds before the C library for every module, plug-ins included. Sanitizer builds bring an
// allocator of their own and take hooks instead (QXA_SANITIZED).
#include "allocation_counter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

namespace {

// Constant-initialised: reading them needs no allocation, even from inside malloc.
thread_local int armedDepth = 0;
std::atomic<int64_t> allocationCount{0};
std::atomic<int64_t> releaseCount{0};

inline void countAllocation() {
    if (armedDepth > 0) allocationCount.fetch_add(1, std::memory_order_relaxed);
}

inline void countRelease(const volatile void* pointer) {
    if (armedDepth > 0 && pointer != nullptr) releaseCount.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

#if defined(QXA_SANITIZED)

extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*mallocHook)(const volatile void* pointer, size_t size),
    void (*freeHook)(const volatile void* pointer));

namespace {

void onAllocate(const volatile void* /*pointer*/, size_t /*size*/) {
    countAllocation();
}

void onRelease(const volatile void* pointer) {
    countRelease(pointer);
}

} // namespace

bool allocation_counter::available() {
    static const bool installed =
        __sanitizer_install_malloc_and_free_hooks(onAllocate, onRelease) != 0;
    return installed;
}

const char* allocation_counter::unavailableReason() {
    return "the sanitizer refused the allocation hooks";
}

#else

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);

void* malloc(size_t size) {
    countAllocation();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    countAllocation();
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
    countAllocation();
    return __libc_realloc(pointer, size);
}

void free(void* pointer) {
    countRelease(pointer);
    __libc_free(pointer);
}

void* memalign(size_t alignment, size_t size) {
    countAllocation();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    countAllocation();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    countAllocation();
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) return ENOMEM;
    *result = pointer;
    return 0;
}

void* valloc(size_t size) {
    countAllocation();
    return __libc_valloc(size);
}

void* pvalloc(size_t size) {
    countAllocation();
    return __libc_pvalloc(size);
}
}

bool allocation_counter::available() {
    return true;
}

const char* allocation_counter::unavailableReason() {
    return "";
}

#endif

allocation_counter::Armed::Armed() {
    ++armedDepth;
}

allocation_counter::Armed::~Armed() {
    --armedDepth;
}

int64_t allocation_counter::allocations() {
    return allocationCount.load(std::memory_order_relaxed);
}

int64_t allocation_counter::releases() {
    return releaseCount.load(std::memory_order_relaxed);
}
