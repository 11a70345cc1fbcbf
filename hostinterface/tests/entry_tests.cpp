// The entry function: refuses hosts that do not answer, survives a failing factory, and hands
// out the record embedded in a new, independent object.
#include "recording.h"

#include <gtest/gtest.h>

#include <stdexcept>

extern "C" DescriptorRecord* QXAPluginMain(HostCallback host);

namespace {

enum class FactoryMode { Build, Fail, Throw };
FactoryMode factoryMode = FactoryMode::Build;
int factoryCalls = 0;

class EntryFunction : public ::testing::Test {
protected:
    void SetUp() override {
        factoryMode = FactoryMode::Build;
        factoryCalls = 0;
        HostRecorder::reset(2400);
    }
    static void shutdown(DescriptorRecord* record) {
        record->dispatchFn(record, Shutdown, 0, 0, nullptr, 0.0f);
    }
};

TEST_F(EntryFunction, AsksTheHostVersionFirstWithANullRecord) {
    DescriptorRecord* record = QXAPluginMain(HostRecorder::callback);
    ASSERT_NE(record, nullptr);
    ASSERT_FALSE(HostRecorder::requests.empty());
    const auto& first = HostRecorder::requests.front();
    EXPECT_EQ(first.effect, nullptr);
    EXPECT_EQ(first.opcode, HostVersion);
    EXPECT_EQ(first.index, 0);
    EXPECT_EQ(first.value, 0);
    EXPECT_EQ(first.pointer, nullptr);
    EXPECT_EQ(first.option, 0.0f);
    auto* effect = static_cast<AudioEffect*>(record->owner);
    EXPECT_EQ(effect->descriptorRecord(), record);
    EXPECT_EQ(record->signature, kDescriptorSignature);
    shutdown(record);
}

TEST_F(EntryFunction, RefusesAHostThatAnswersZero) {
    HostRecorder::reset(0);
    EXPECT_EQ(QXAPluginMain(HostRecorder::callback), nullptr);
    EXPECT_EQ(factoryCalls, 0) << "nothing may be built for a host that does not answer";
}

TEST_F(EntryFunction, RefusesANullCallback) {
    EXPECT_EQ(QXAPluginMain(nullptr), nullptr);
}

TEST_F(EntryFunction, AFailingFactoryGivesNull) {
    factoryMode = FactoryMode::Fail;
    EXPECT_EQ(QXAPluginMain(HostRecorder::callback), nullptr);
    factoryMode = FactoryMode::Throw;
    EXPECT_EQ(QXAPluginMain(HostRecorder::callback), nullptr);
    EXPECT_EQ(factoryCalls, 2);
}

TEST_F(EntryFunction, EachCallBuildsAnIndependentInstance) {
    RecordingEffect::liveCount = 0;
    DescriptorRecord* first = QXAPluginMain(HostRecorder::callback);
    DescriptorRecord* second = QXAPluginMain(HostRecorder::callback);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(RecordingEffect::liveCount, 2);
    first->dispatchFn(first, ProgramSelect, 0, 2, nullptr, 0.0f);
    auto* a = static_cast<RecordingEffect*>(first->owner);
    auto* b = static_cast<RecordingEffect*>(second->owner);
    EXPECT_EQ(a->calls.size(), 1u);
    EXPECT_TRUE(b->calls.empty());
    shutdown(first);
    shutdown(second);
    EXPECT_EQ(RecordingEffect::liveCount, 0);
}

} // namespace

AudioEffect* buildEffectObject(HostCallback host) {
    ++factoryCalls;
    switch (factoryMode) {
    case FactoryMode::Fail:
        return nullptr;
    case FactoryMode::Throw:
        throw std::bad_alloc();
    case FactoryMode::Build:
        break;
    }
    return new RecordingEffect(host);
}
