#include "enginegate.h"

#include <thread>

namespace {

// About 10 to 50 microseconds of spinning on current processors: far longer than a control
// thread holds the engine to apply a change, far shorter than a block.
constexpr int32_t kAudioSpinLimit = 256;

inline void relaxProcessor() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

} // namespace

bool EngineGate::enterAudio() {
    for (int32_t attempt = 0; attempt < kAudioSpinLimit; ++attempt) {
        int32_t expected = kFree;
        if (owner_.compare_exchange_weak(expected, kAudio)) return true;
        relaxProcessor();
    }
    return false;
}

bool EngineGate::tryEnter() {
    int32_t expected = kFree;
    return owner_.compare_exchange_strong(expected, kControl);
}

void EngineGate::enterWaiting() {
    for (;;) {
        int32_t expected = kFree;
        if (owner_.compare_exchange_weak(expected, kControl)) return;
        std::this_thread::yield();
    }
}

void EngineGate::leave() {
    owner_.store(kFree);
}

void EngineGate::markPending(int32_t index) {
    pending_.fetch_or(uint32_t{1} << index);
}

bool EngineGate::hasPending() const {
    return pending_.load() != 0;
}

uint32_t EngineGate::takePending() {
    return pending_.exchange(0);
}
