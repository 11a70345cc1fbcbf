#include "enginehandoff.h"

#include <thread>

static_assert(std::atomic<uint64_t>::is_always_lock_free, "the hand-off must be lock-free");

void EngineHandoff::markParameter(int32_t index) {
    if (index < 0 || index >= kMaxParameters) return;
    pending_.fetch_or(uint64_t{1} << index);
}

void EngineHandoff::markProgram(int32_t program, uint32_t parameters) {
    if (program < 0) return;
    uint64_t expected = pending_.load();
    uint64_t desired;
    do {
        desired = (expected & kParameterBits) | parameters |
                  (static_cast<uint64_t>(program) + 1) << kProgramShift;
    } while (!pending_.compare_exchange_weak(expected, desired));
}

bool EngineHandoff::enterAudio() {
    const uint32_t before = owner_.fetch_or(kAudioOwns | kAudioCall);
    if ((before & (kControlHolds | kAudioCall)) == 0) return true;
    // Another thread holds the engine (or another audio call is in progress, which a host
    // must not do): this call stays out. The engine still passes to the audio thread.
    if ((before & kAudioCall) == 0) owner_.fetch_and(~kAudioCall);
    refusedAudioCalls_.fetch_add(1, std::memory_order_relaxed);
    return false;
}

void EngineHandoff::leaveAudio() {
    owner_.fetch_and(~kAudioCall);
}

void EngineHandoff::enterReconfigure() {
    uint32_t expected = owner_.load();
    for (;;) {
        if ((expected & (kAudioCall | kControlHolds)) == 0 &&
            owner_.compare_exchange_weak(expected, expected | kControlHolds))
            return;
        std::this_thread::yield();
        expected = owner_.load();
    }
}

void EngineHandoff::leaveReconfigure(NextOwner next) {
    switch (next) {
    case NextOwner::Unchanged:
        owner_.fetch_and(~kControlHolds);
        break;
    case NextOwner::AudioThread:
        owner_.fetch_or(kAudioOwns);
        owner_.fetch_and(~kControlHolds);
        break;
    case NextOwner::Nobody:
        owner_.fetch_and(~(kControlHolds | kAudioOwns));
        break;
    }
}

void EngineHandoff::handToAudioThread() {
    owner_.fetch_or(kAudioOwns);
}

EngineHandoff::Batch EngineHandoff::take() {
    const uint64_t taken = pending_.exchange(0);
    Batch batch;
    batch.parameters = static_cast<uint32_t>(taken & kParameterBits);
    batch.program = static_cast<int32_t>(taken >> kProgramShift) - 1;
    return batch;
}

bool EngineHandoff::tryTakeUnowned() {
    uint32_t expected = 0;
    return owner_.compare_exchange_strong(expected, kControlHolds);
}

void EngineHandoff::releaseUnowned() {
    owner_.fetch_and(~kControlHolds);
}
