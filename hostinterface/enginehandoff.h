// EngineHandoff: how parameter and program changes reach a plug-in's engine (the state that
// rendering reads and writes) without the audio thread ever waiting.
//
// Writers (the host's threads, the editor, automation) store the new value where the host reads
// it back, then mark it pending here. They never wait and never take the engine while a
// transport may be running. Who applies what is pending depends on who owns the engine:
//
//   owner                       | from                           | pending changes are applied
//   ----------------------------+--------------------------------+------------------------------
//   nobody                      | construction, suspend          | by the writer, at once
//   the audio thread            | resume, or its first call      | at the start of its next call
//   a reconfiguring thread      | sample rate, block size, ...   | by the next owner
//
// The audio thread takes the engine for a call with one atomic operation and gives it back with
// another: it never loops, spins or waits. A call that meets a reconfiguration (which hosts make
// while suspended) or a writer still applying a change from before the first call is refused:
// the caller renders silence or keeps its events for the next call, and the refusal is counted.
//
// A program change is one batch: the program and all its parameters are marked in one atomic
// step, so the engine takes either none or all of them.
#pragma once

#include <atomic>
#include <cstdint>

class EngineHandoff {
public:
    // Parameter indexes 0..31.
    static constexpr int32_t kMaxParameters = 32;

    // What the owner applies: changed parameters and the program selected since the last batch.
    struct Batch {
        uint32_t parameters = 0; // bit i: parameter i
        int32_t program = -1;    // -1: no program change
    };

    // Who owns the engine after a reconfiguration.
    enum class NextOwner { Unchanged, AudioThread, Nobody };

    // --- writers: any thread, lock-free, never wait ---

    void markParameter(int32_t index);
    // The program and the given parameters, in one step.
    void markProgram(int32_t program, uint32_t parameters);
    // When nobody owns the engine, takes it and calls apply(batch) until nothing is pending;
    // otherwise leaves the changes to the owner.
    template <typename Apply>
    void applyIfUnowned(Apply&& apply) {
        while (hasPending() && tryTakeUnowned()) {
            apply(take());
            releaseUnowned();
        }
    }

    // --- the audio thread: wait-free ---

    // True when this call owns the engine; leaveAudio() must follow. From the first call on
    // the engine belongs to the audio thread between calls too, until a suspend takes it back.
    bool enterAudio();
    void leaveAudio();
    // Audio calls refused so far because another thread held the engine.
    int64_t refusedAudioCalls() const { return refusedAudioCalls_.load(); }

    // --- control threads (sample rate, block size, resume, suspend) ---

    // Waits, yielding, for an audio call in progress to end, then holds the engine.
    void enterReconfigure();
    // Gives the engine to `next`. The caller then runs applyIfUnowned, which applies what
    // writers marked meanwhile when nobody owns the engine.
    void leaveReconfigure(NextOwner next);
    // Resume: the audio thread owns the engine from now on, whether or not it renders yet.
    void handToAudioThread();

    // --- the owner ---

    // Returns and clears what is pending.
    Batch take();
    bool hasPending() const { return pending_.load() != 0; }

private:
    // Owner bits. Nobody owns the engine when none is set.
    static constexpr uint32_t kAudioOwns = 1; // between calls too
    static constexpr uint32_t kAudioCall = 2; // a call in progress
    static constexpr uint32_t kControlHolds = 4;

    // Pending word: parameter bits low, program number + 1 high (0: none).
    static constexpr int kProgramShift = 32;
    static constexpr uint64_t kParameterBits = (uint64_t{1} << kProgramShift) - 1;

    bool tryTakeUnowned();
    void releaseUnowned();

    // Every operation on these two is sequentially consistent: a writer marks, then tries to
    // take; an owner gives back, then looks for marks. Either the writer takes the engine or
    // the owner (or the next one) sees the mark, so no change is left unapplied.
    std::atomic<uint32_t> owner_{0};
    std::atomic<uint64_t> pending_{0};
    std::atomic<int64_t> refusedAudioCalls_{0};
};
