// EngineHandoff: who applies a change (the writer while nobody owns the engine, the audio thread
// once it owns it), program changes as one batch, refused audio calls, and no change lost when
// writers and the audio thread meet.
#include "enginehandoff.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using Batch = EngineHandoff::Batch;
using NextOwner = EngineHandoff::NextOwner;

// Records what an owner applied.
class EngineHandoffTest : public ::testing::Test {
protected:
    void writerApplies() {
        handoff.applyIfUnowned([this](Batch batch) { applied.push_back(batch); });
    }
    // One audio call: true when it owned the engine.
    bool audioCall() {
        if (!handoff.enterAudio()) return false;
        if (handoff.hasPending()) applied.push_back(handoff.take());
        handoff.leaveAudio();
        return true;
    }

    EngineHandoff handoff;
    std::vector<Batch> applied;
};

TEST_F(EngineHandoffTest, WhileNobodyOwnsTheEngineTheWriterAppliesAtOnce) {
    handoff.markParameter(3);
    writerApplies();
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].parameters, 1u << 3);
    EXPECT_EQ(applied[0].program, -1);
    EXPECT_FALSE(handoff.hasPending());
}

TEST_F(EngineHandoffTest, AfterResumeTheAudioThreadAppliesAtItsNextCall) {
    handoff.handToAudioThread();
    handoff.markParameter(0);
    handoff.markParameter(13);
    writerApplies();
    EXPECT_TRUE(applied.empty());
    ASSERT_TRUE(audioCall());
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].parameters, (1u << 0) | (1u << 13));
    EXPECT_EQ(handoff.refusedAudioCalls(), 0);
}

TEST_F(EngineHandoffTest, AHostThatNeverResumesHandsTheEngineOverWithItsFirstCall) {
    ASSERT_TRUE(audioCall());
    handoff.markParameter(1);
    writerApplies();
    EXPECT_TRUE(applied.empty());
    ASSERT_TRUE(audioCall());
    EXPECT_EQ(applied.size(), 1u);
}

TEST_F(EngineHandoffTest, SuspendGivesTheEngineBackToTheWriters) {
    handoff.handToAudioThread();
    handoff.enterReconfigure();
    handoff.leaveReconfigure(NextOwner::Nobody);
    handoff.markParameter(2);
    writerApplies();
    EXPECT_EQ(applied.size(), 1u);
}

TEST_F(EngineHandoffTest, AReconfigurationRefusesAudioCallsAndKeepsTheOwner) {
    handoff.handToAudioThread();
    handoff.enterReconfigure();
    EXPECT_FALSE(audioCall());
    EXPECT_FALSE(audioCall());
    EXPECT_EQ(handoff.refusedAudioCalls(), 2);
    handoff.markParameter(4);
    handoff.leaveReconfigure(NextOwner::Unchanged);
    writerApplies();
    EXPECT_TRUE(applied.empty()); // still the audio thread's
    EXPECT_TRUE(audioCall());
    EXPECT_EQ(applied.size(), 1u);
}

TEST_F(EngineHandoffTest, ResumeAfterAReconfigurationHandsTheEngineToTheAudioThread) {
    handoff.enterReconfigure();
    handoff.leaveReconfigure(NextOwner::AudioThread);
    handoff.markParameter(5);
    writerApplies();
    EXPECT_TRUE(applied.empty());
}

TEST_F(EngineHandoffTest, AnAudioCallRefusedDuringADirectApplyTakesTheEngineAfterIt) {
    handoff.markParameter(6);
    handoff.applyIfUnowned([this](Batch batch) {
        applied.push_back(batch);
        EXPECT_FALSE(handoff.enterAudio()); // the first block arrives meanwhile
    });
    EXPECT_EQ(handoff.refusedAudioCalls(), 1);
    handoff.markParameter(7);
    writerApplies();
    EXPECT_EQ(applied.size(), 1u); // no longer the writers'
    EXPECT_TRUE(audioCall());
    ASSERT_EQ(applied.size(), 2u);
    EXPECT_EQ(applied[1].parameters, 1u << 7);
}

TEST_F(EngineHandoffTest, AProgramChangeIsOneBatchWithEveryParameter) {
    handoff.handToAudioThread();
    handoff.markParameter(20);
    handoff.markProgram(5, 0x3FFF);
    handoff.markProgram(9, 0x3FFF); // the later program wins
    ASSERT_TRUE(audioCall());
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].program, 9);
    EXPECT_EQ(applied[0].parameters, 0x3FFFu | (1u << 20));
    EXPECT_FALSE(handoff.hasPending());
    ASSERT_TRUE(audioCall());
    EXPECT_EQ(applied.size(), 1u); // nothing left
}

TEST_F(EngineHandoffTest, IndexesOutsideTheWordAreIgnored) {
    handoff.markParameter(-1);
    handoff.markParameter(EngineHandoff::kMaxParameters);
    handoff.markProgram(-1, 1);
    EXPECT_FALSE(handoff.hasPending());
}

// A writer thread writes numbered values while the audio thread renders; whatever the timing,
// the audio thread ends up with the last value, and it never waits or is refused.
TEST(EngineHandoffThreads, TheAudioThreadEndsWithTheLastValueAndIsNeverRefused) {
    EngineHandoff handoff;
    handoff.handToAudioThread();
    std::atomic<int32_t> stored{0};
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    constexpr int32_t kWrites = 200000;

    std::thread writer([&] {
        while (!started.load())
            std::this_thread::yield();
        for (int32_t value = 1; value <= kWrites; ++value) {
            stored.store(value, std::memory_order_relaxed);
            handoff.markParameter(value % 2 == 0 ? 0 : 1);
            if (value % 1000 == 0) handoff.markProgram(value / 1000 % 16, 0x3);
            handoff.applyIfUnowned([](Batch) { ADD_FAILURE() << "a writer took the engine"; });
        }
        done.store(true);
    });

    int32_t engineValue = 0;
    int64_t calls = 0;
    auto call = [&] {
        ASSERT_TRUE(handoff.enterAudio());
        if (handoff.hasPending()) {
            handoff.take();
            engineValue = stored.load(std::memory_order_relaxed);
        }
        handoff.leaveAudio();
        ++calls;
    };
    started.store(true);
    while (!done.load())
        call();
    writer.join();
    call();
    EXPECT_EQ(engineValue, kWrites);
    EXPECT_EQ(handoff.refusedAudioCalls(), 0);
    EXPECT_GT(calls, 1);
}

} // namespace
