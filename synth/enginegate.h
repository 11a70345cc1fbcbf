// EngineGate: decides which thread may touch the synth's voice engine (voice lists, voices,
// envelopes) at any moment, without a lock the audio thread could block on.
//
// One owner at a time: the audio thread while it handles events or renders, or a control
// thread while it applies parameter changes or reconfigures. A parameter change is marked
// pending first; whoever holds or next takes the engine applies every pending change, so a
// change written while a block renders reaches the engine as soon as that block ends (before
// the next one begins), and a change written while nothing renders reaches it at once.
//
// The audio thread never waits for more than a short, bounded spin (a control thread applies a
// change in microseconds); if the engine is still taken after it, the caller skips its work for
// this block (see MicroSynth). Control threads that must have the engine (sample rate, block
// size, suspend) wait, yielding.
#pragma once

#include <atomic>
#include <cstdint>

class EngineGate {
public:
    // Audio thread. True when the engine is now owned by the caller; leave() must follow.
    bool enterAudio();
    // Control thread. Takes the engine if nobody owns it; true on success.
    bool tryEnter();
    // Control thread that may wait: returns owning the engine.
    void enterWaiting();
    void leave();

    // Any thread; lock-free. Bits are parameter indexes.
    void markPending(int32_t index);
    bool hasPending() const;
    // Owner only: returns and clears the pending bits.
    uint32_t takePending();

private:
    static constexpr int32_t kFree = 0;
    static constexpr int32_t kAudio = 1;
    static constexpr int32_t kControl = 2;

    // The owner and the pending bits are used in the pattern "mark pending, then try to take"
    // against "give back, then look for pending"; both pairs are sequentially consistent, so
    // at least one side sees the other and no change is left unapplied.
    std::atomic<int32_t> owner_{kFree};
    std::atomic<uint32_t> pending_{0};
};
