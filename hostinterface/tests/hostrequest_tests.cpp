// The host-request wrappers: each sends its code with the right arguments and converts the
// host's answer as the interface defines; without a callback each answers neutrally.
#include "recording.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {

class HostRequests : public ::testing::Test {
protected:
    void SetUp() override { HostRecorder::reset(); }
    const HostRecorder::Request& only() {
        EXPECT_EQ(HostRecorder::requests.size(), 1u);
        return HostRecorder::requests.back();
    }
    RecordingEffect effect_{HostRecorder::callback};
};

// A wrapper, the request it must send, and how it converts answers.
struct Wrapper {
    const char* name;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    std::function<intptr_t(AudioEffectX&, void*)> call;
};

char textBuffer[64];

const Wrapper kWrappers[] = {
    {"askHostCurrentId", LoadingId, 0, 0,
     [](AudioEffectX& e, void*) { return e.askHostCurrentId(); }},
    {"requestEvents", RequestEvents, 0, 3,
     [](AudioEffectX& e, void*) { return e.requestEvents(3); }},
    {"askTimeInfo", TransportInfo, 0, 0x400,
     [](AudioEffectX& e, void*) { return reinterpret_cast<intptr_t>(e.askTimeInfo(0x400)); }},
    {"askTempoAt", TempoAtPosition, 0, 512,
     [](AudioEffectX& e, void*) { return e.askTempoAt(512); }},
    {"askAutomatableCount", AutomatableCount, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.askAutomatableCount()); }},
    {"askParameterQuantization", ParameterSteps, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.askParameterQuantization()); }},
    {"askInputLatency", InputDelay, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.askInputLatency()); }},
    {"askOutputLatency", OutputDelay, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.askOutputLatency()); }},
    {"askPreviousPlug", UpstreamEffect, 0, 0,
     [](AudioEffectX& e, void*) { return reinterpret_cast<intptr_t>(e.askPreviousPlug(5)); }},
    {"askNextPlug", DownstreamEffect, 0, 0,
     [](AudioEffectX& e, void*) { return reinterpret_cast<intptr_t>(e.askNextPlug(5)); }},
    {"askReplaceOrAccumulate", ReplaceOrAccumulate, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.askReplaceOrAccumulate()); }},
    {"askProcessLevel", CallingContext, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.askProcessLevel()); }},
    {"askAutomationState", AutomationMode, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.askAutomationState()); }},
    {"askOutputSpeakerLayout", OutputSpeakers, 0, 0,
     [](AudioEffectX& e, void*) { return reinterpret_cast<intptr_t>(e.askOutputSpeakerLayout()); }},
    {"askInputSpeakerLayout", InputSpeakers, 0, 0,
     [](AudioEffectX& e, void*) { return reinterpret_cast<intptr_t>(e.askInputSpeakerLayout()); }},
    {"askHostVendorVersion", HostMakerVersion, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.askHostVendorVersion()); }},
    {"askHostLanguage", HostUiLanguage, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.askHostLanguage()); }},
    {"askHostDirectory", PluginFolder, 0, 0,
     [](AudioEffectX& e, void*) { return reinterpret_cast<intptr_t>(e.askHostDirectory()); }},
    {"askHostOpenWindow", WindowOpen, 0, 0,
     [](AudioEffectX& e, void* p) { return reinterpret_cast<intptr_t>(e.askHostOpenWindow(p)); }},
    {"callHostVendorSpecific", HostPrivateCall, 7, 8,
     [](AudioEffectX& e, void* p) { return e.callHostVendorSpecific(7, 8, p, 0.0f); }},
    {"announceOutputSampleRate", ProposeOutputRate, 0, 0,
     [](AudioEffectX& e, void*) { return e.announceOutputSampleRate(48000.0f); }},
};

// Wrappers that answer "host answer != 0" as a bool.
const Wrapper kBoolWrappers[] = {
    {"notifyEditBegin", GestureBegin, 4, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.notifyEditBegin(4)); }},
    {"notifyEditEnd", GestureEnd, 4, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.notifyEditEnd(4)); }},
    {"notifyIoChanged", LayoutChanged, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.notifyIoChanged()); }},
    {"requestIdleCalls", WantsIdle, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.requestIdleCalls()); }},
    {"requestWindowResize", ResizeWindow, 640, 480,
     [](AudioEffectX& e, void*) { return intptr_t(e.requestWindowResize(640, 480)); }},
    {"requestDisplayRefresh", DisplayRefresh, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.requestDisplayRefresh()); }},
    {"askHostVendor", HostMaker, 0, 0,
     [](AudioEffectX& e, void* p) { return intptr_t(e.askHostVendor(static_cast<char*>(p))); }},
    {"askHostProduct", HostName, 0, 0,
     [](AudioEffectX& e, void* p) { return intptr_t(e.askHostProduct(static_cast<char*>(p))); }},
    {"askHostCapability", HostSupports, 0, 0,
     [](AudioEffectX& e, void* p) { return intptr_t(e.askHostCapability(static_cast<char*>(p))); }},
    {"askHostCloseWindow", WindowClose, 0, 0,
     [](AudioEffectX& e, void* p) { return intptr_t(e.askHostCloseWindow(p)); }},
    {"openHostFileDialog", FileDialogOpen, 0, 0,
     [](AudioEffectX& e, void* p) { return intptr_t(e.openHostFileDialog(p)); }},
    {"closeHostFileDialog", FileDialogClose, 0, 0,
     [](AudioEffectX& e, void* p) { return intptr_t(e.closeHostFileDialog(p)); }},
    {"askHostStateFile", StateFilePath, 0, 0,
     [](AudioEffectX& e, void* p) { return intptr_t(e.askHostStateFile(static_cast<char*>(p))); }},
    {"offlineStartRequest", OfflineBegin, 3, 2,
     [](AudioEffectX& e, void* p) { return intptr_t(e.offlineStartRequest(p, 2, 3)); }},
    {"offlineReadRequest", OfflineFetch, 1, 9,
     [](AudioEffectX& e, void* p) { return intptr_t(e.offlineReadRequest(p, 9, true)); }},
    {"offlineWriteRequest", OfflineStore, 0, 9,
     [](AudioEffectX& e, void* p) { return intptr_t(e.offlineWriteRequest(p, 9)); }},
    {"offlinePassNumber", OfflinePassIndex, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.offlinePassNumber()); }},
    {"offlineMetaPassNumber", OfflineMetaPassIndex, 0, 0,
     [](AudioEffectX& e, void*) { return intptr_t(e.offlineMetaPassNumber()); }},
};

TEST_F(HostRequests, PassThroughWrappersSendTheirCodeAndReturnTheAnswer) {
    for (const Wrapper& wrapper : kWrappers) {
        HostRecorder::reset(0x1234);
        const intptr_t result = wrapper.call(effect_, textBuffer);
        const auto& request = only();
        EXPECT_EQ(request.opcode, wrapper.opcode) << wrapper.name;
        EXPECT_EQ(request.effect, effect_.descriptorRecord()) << wrapper.name;
        EXPECT_EQ(request.index, wrapper.index) << wrapper.name;
        EXPECT_EQ(request.value, wrapper.value) << wrapper.name;
        EXPECT_EQ(result, 0x1234) << wrapper.name;
    }
}

TEST_F(HostRequests, BoolWrappersAnswerWhetherTheHostSaidNonZero) {
    for (const Wrapper& wrapper : kBoolWrappers) {
        for (intptr_t answer : {intptr_t{0}, intptr_t{1}, intptr_t{-1}, intptr_t{7}}) {
            HostRecorder::reset(answer);
            const intptr_t result = wrapper.call(effect_, textBuffer);
            const auto& request = only();
            EXPECT_EQ(request.opcode, wrapper.opcode) << wrapper.name;
            EXPECT_EQ(request.index, wrapper.index) << wrapper.name;
            EXPECT_EQ(request.value, wrapper.value) << wrapper.name;
            EXPECT_EQ(result, answer != 0 ? 1 : 0) << wrapper.name << " answer " << answer;
        }
    }
}

TEST_F(HostRequests, EveryWrapperIsNeutralWithoutACallback) {
    RecordingEffect lonely(nullptr);
    for (const Wrapper& wrapper : kWrappers)
        EXPECT_EQ(wrapper.call(lonely, textBuffer), 0) << wrapper.name;
    for (const Wrapper& wrapper : kBoolWrappers)
        EXPECT_EQ(wrapper.call(lonely, textBuffer), 0) << wrapper.name;
    EXPECT_EQ(lonely.askHostVersion(), 1);
    EXPECT_TRUE(lonely.askInputConnected(0));
    EXPECT_TRUE(lonely.askOutputConnected(1));
    EXPECT_EQ(lonely.refreshSampleRate(), 44100.0);
    EXPECT_EQ(lonely.refreshBlockSize(), 1024);
    EventBlock events{};
    EXPECT_FALSE(lonely.sendEventsToHost(&events));
    lonely.writeParameterAndNotify(1, 0.5f);
    EXPECT_EQ(lonely.last()->operation, "writeParameter");
    EXPECT_TRUE(HostRecorder::requests.empty());
}

TEST_F(HostRequests, FileDialogAndStateFileWithNullSendNothing) {
    EXPECT_FALSE(effect_.openHostFileDialog(nullptr));
    EXPECT_FALSE(effect_.closeHostFileDialog(nullptr));
    EXPECT_FALSE(effect_.askHostStateFile(nullptr));
    EXPECT_TRUE(HostRecorder::requests.empty());
}

TEST_F(HostRequests, ParameterChangeIsWrittenThenNotified) {
    effect_.writeParameterAndNotify(2, 0.625f);
    EXPECT_EQ(effect_.last()->operation, "writeParameter");
    const auto& request = only();
    EXPECT_EQ(request.opcode, ParameterChanged);
    EXPECT_EQ(request.index, 2);
    EXPECT_EQ(request.option, 0.625f);
}

TEST_F(HostRequests, HostVersionOfZeroCountsAsOne) {
    HostRecorder::reset(0);
    EXPECT_EQ(effect_.askHostVersion(), 1);
    EXPECT_EQ(only().opcode, HostVersion);
    HostRecorder::reset(2400);
    EXPECT_EQ(effect_.askHostVersion(), 2400);
}

TEST_F(HostRequests, PinConnectionMeansTheHostAnsweredZero) {
    HostRecorder::reset(0);
    EXPECT_TRUE(effect_.askOutputConnected(1));
    EXPECT_EQ(only().opcode, IsPinLinked);
    EXPECT_EQ(only().index, 1);
    EXPECT_EQ(only().value, 1);
    HostRecorder::reset(1);
    EXPECT_FALSE(effect_.askOutputConnected(1));
    EXPECT_FALSE(effect_.askInputConnected(0));
    EXPECT_EQ(HostRecorder::requests.back().value, 0);
}

TEST_F(HostRequests, IdleAndCapabilityConversions) {
    effect_.letHostIdle();
    EXPECT_EQ(only().opcode, GiveTime);
    HostRecorder::reset(-1);
    EXPECT_TRUE(effect_.askHostCapability("sizeWindow")) << "a host's -1 also counts as yes";
    EXPECT_STREQ(static_cast<const char*>(only().pointer), "sizeWindow");
    HostRecorder::reset(0);
    EXPECT_FALSE(effect_.askHostCapability("offline"));
}

TEST_F(HostRequests, SendEventsNeedsAnAnswerOfExactlyOne) {
    EventBlock events{};
    for (intptr_t answer : {intptr_t{0}, intptr_t{1}, intptr_t{2}, intptr_t{-1}}) {
        HostRecorder::reset(answer);
        EXPECT_EQ(effect_.sendEventsToHost(&events), answer == 1);
        EXPECT_EQ(only().opcode, EventsToHost);
        EXPECT_EQ(only().pointer, &events);
    }
}

TEST_F(HostRequests, RateAndSizeAreTakenOnlyWhenPositive) {
    HostRecorder::reset(48000);
    EXPECT_EQ(effect_.refreshSampleRate(), 48000.0);
    EXPECT_EQ(only().opcode, HostSampleRate);
    HostRecorder::reset(-5);
    EXPECT_EQ(effect_.refreshSampleRate(), 48000.0);
    HostRecorder::reset(0);
    EXPECT_EQ(effect_.refreshBlockSize(), 1024);
    HostRecorder::reset(256);
    EXPECT_EQ(effect_.refreshBlockSize(), 256);
    EXPECT_EQ(only().opcode, HostBlockSize);
    effect_.changeBlockSizeAndRate(64, 22050.0f);
    EXPECT_EQ(effect_.currentBlockSize(), 64);
    EXPECT_EQ(effect_.currentSampleRate(), 22050.0f);
}

TEST_F(HostRequests, ResumeAsksForEventsOnlyForMidiReceivers) {
    effect_.capabilityAnswer = -1;
    effect_.onResume();
    EXPECT_TRUE(HostRecorder::requests.empty());
    effect_.capabilityAnswer = 1;
    effect_.onResume();
    EXPECT_EQ(only().opcode, RequestEvents);
    EXPECT_EQ(only().value, 1);
    HostRecorder::reset();
    effect_.capabilityAnswer = -1;
    effect_.markAsInstrument(true);
    effect_.onResume();
    EXPECT_EQ(only().opcode, RequestEvents);
}

TEST(ExtendedDefaults, NeutralAnswersWithoutOverrides) {
    struct Plain : AudioEffectX {
        Plain() : AudioEffectX(nullptr, 1, 1) {}
        void renderReplacing(float**, float**, int32_t) override {}
    } plain;
    EXPECT_EQ(plain.interfaceVersion(), 2400);
    EXPECT_EQ(plain.categoryCount(), 1);
    EXPECT_EQ(plain.pluginCategory(), 0);
    plain.markAsInstrument(true);
    EXPECT_EQ(plain.pluginCategory(), 2);
    plain.markAsInstrument(false);
    EXPECT_EQ(plain.pluginCategory(), 0);
    EXPECT_EQ(plain.announceTotalSamples(4096), 4096);
    EXPECT_EQ(plain.currentMidiProgram(0, nullptr), -1);
    EXPECT_TRUE(plain.isParameterAutomatable(0));
    EXPECT_EQ(plain.answerCapability("bypass"), 0);
    SpeakerLayout* in = reinterpret_cast<SpeakerLayout*>(0x10);
    SpeakerLayout* out = reinterpret_cast<SpeakerLayout*>(0x20);
    EXPECT_FALSE(plain.reportSpeakerLayout(&in, &out));
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
}

class SpeakerLayouts : public ::testing::Test {
protected:
    struct Plain : AudioEffectX {
        Plain() : AudioEffectX(nullptr, 1, 1) {}
        void renderReplacing(float**, float**, int32_t) override {}
    } effect_;
};

TEST_F(SpeakerLayouts, AllocateGivesAZeroedLayoutWithItsCount) {
    SpeakerLayout* layout = nullptr;
    ASSERT_TRUE(effect_.allocateSpeakerLayout(&layout, 2));
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->speakerCount, 2);
    EXPECT_EQ(layout->layoutType, 0);
    const auto* bytes = reinterpret_cast<const unsigned char*>(layout);
    for (size_t i = 8; i < 232; ++i)
        ASSERT_EQ(bytes[i], 0) << "byte " << i;
    // Reallocating frees the old layout (ASan reports a leak otherwise).
    ASSERT_TRUE(effect_.allocateSpeakerLayout(&layout, 1));
    EXPECT_EQ(layout->speakerCount, 1);
    EXPECT_TRUE(effect_.releaseSpeakerLayout(&layout));
    EXPECT_EQ(layout, nullptr);
    EXPECT_TRUE(effect_.releaseSpeakerLayout(&layout));
}

TEST_F(SpeakerLayouts, CopyBoundsTheNameAndCopiesEveryField) {
    SpeakerInfo from{};
    std::memset(from.name, 'n', sizeof(from.name)); // no NUL at all
    from.type = 7;
    from.values[2] = 1.5f;
    from.reserved[27] = 0xAB;
    SpeakerInfo to{};
    EXPECT_TRUE(effect_.copySpeakerProperties(&to, &from));
    EXPECT_EQ(std::strlen(to.name), 63u);
    EXPECT_EQ(to.type, 7);
    EXPECT_EQ(to.values[2], 1.5f);
    EXPECT_EQ(to.reserved[27], 0xAB);
    EXPECT_FALSE(effect_.copySpeakerProperties(nullptr, &from));
    EXPECT_FALSE(effect_.copySpeakerProperties(&to, nullptr));
}

TEST_F(SpeakerLayouts, MatchCopiesTypeAndEverySpeaker) {
    SpeakerLayout* source = nullptr;
    ASSERT_TRUE(effect_.allocateSpeakerLayout(&source, 3));
    source->layoutType = 5;
    for (int i = 0; i < 3; ++i) {
        std::snprintf(source->speakers[i].name, 64, "S%d", i);
        source->speakers[i].type = 10 + i;
    }
    SpeakerLayout* target = nullptr;
    ASSERT_TRUE(effect_.allocateSpeakerLayout(&target, 1));
    ASSERT_TRUE(effect_.matchSpeakerLayout(&target, source));
    EXPECT_EQ(target->layoutType, 5);
    ASSERT_EQ(target->speakerCount, 3);
    EXPECT_STREQ(target->speakers[2].name, "S2");
    EXPECT_EQ(target->speakers[1].type, 11);
    EXPECT_FALSE(effect_.matchSpeakerLayout(&target, nullptr));
    effect_.releaseSpeakerLayout(&source);
    effect_.releaseSpeakerLayout(&target);
}

} // namespace
