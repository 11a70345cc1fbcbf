// The voice manager: allocation and stealing, pedals, controllers and the MIDI parser.
#include "voicer_rig.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using oriv_test::VoicerRig;

class VoicerTest : public ::testing::Test {
protected:
    Voice* voiceFor(int32_t note) {
        for (Voice* voice : rig.playing())
            if (voice->note() == note) return voice;
        return nullptr;
    }
    VoicerRig rig;
};

TEST_F(VoicerTest, TheSixthNoteFadesOutTheOldest) {
    for (int32_t note = 60; note < 65; ++note)
        rig.noteOn(note);
    EXPECT_EQ(rig.voicer.playingCount(), 5);
    Voice* oldest = rig.tail();
    rig.noteOn(65);
    EXPECT_EQ(rig.voicer.playingCount(), 6);
    EXPECT_TRUE(oldest->isForceReleased());
    EXPECT_EQ(oldest->note(), 60);
    EXPECT_EQ(rig.head()->note(), 65);
    EXPECT_EQ(rig.tail()->amplitudeEnvelope().stage(), EnvelopeStage::Releasing);
    rig.render(2167 + VoicerRig::kBlock); // the 0.049 s fast release, then the voice is freed
    EXPECT_EQ(rig.voicer.playingCount(), 5);
    EXPECT_EQ(voiceFor(60), nullptr);
}

TEST_F(VoicerTest, AFullPoolReusesTheOldestVoiceAtOnce) {
    for (int32_t note = 60; note < 70; ++note)
        rig.noteOn(note);
    EXPECT_EQ(rig.voicer.playingCount(), 10);
    Voice* oldest = rig.tail();
    rig.noteOn(70);
    EXPECT_EQ(rig.voicer.playingCount(), 10);
    EXPECT_EQ(rig.head(), oldest);
    EXPECT_EQ(oldest->note(), 70);
    EXPECT_FALSE(oldest->isForceReleased());
    EXPECT_EQ(voiceFor(60), nullptr);
}

TEST_F(VoicerTest, TheSameKeyAgainReleasesTheVoiceStillPlayingIt) {
    rig.noteOn(60);
    Voice* first = rig.head();
    rig.noteOn(60);
    EXPECT_EQ(rig.voicer.playingCount(), 2);
    EXPECT_NE(rig.head(), first);
    EXPECT_TRUE(first->isReleased());
    EXPECT_FALSE(first->isForceReleased());
}

TEST_F(VoicerTest, SustainPedalHoldsReleasedKeys) {
    rig.noteOn(60);
    rig.control(64, 127);
    rig.noteOff(60);
    Voice* voice = rig.head();
    EXPECT_FALSE(voice->isReleased());
    EXPECT_TRUE(voice->isSustainHeld());
    rig.control(64, 0);
    EXPECT_TRUE(voice->isReleased());
    EXPECT_FALSE(voice->isSustainHeld());
}

TEST_F(VoicerTest, ResetAllControllersResetsBendAndModulationAndTheSustain) {
    rig.noteOn(60);
    rig.bytes({0xE0, 0, 0});
    rig.control(1, 127);
    rig.control(64, 127);
    rig.noteOff(60);
    Voice* voice = rig.head();
    EXPECT_EQ(voice->pitchBend(), -1.0);
    EXPECT_EQ(voice->modulation(), 1.0);
    const double bentIncrement = rig.head()->oscillator1Increment();
    rig.control(121, 0);
    EXPECT_EQ(voice->pitchBend(), 0.0);
    EXPECT_EQ(voice->modulation(), 0.0);
    EXPECT_GT(rig.head()->oscillator1Increment(), bentIncrement);
    EXPECT_TRUE(voice->isReleased());
}

TEST_F(VoicerTest, AllNotesOffOnAnyChannelReleasesEveryChannel) {
    rig.noteOn(60, 0);
    rig.noteOn(62, 3);
    rig.control(64, 127, 3);
    rig.control(123, 0, 9);
    for (Voice* voice : rig.playing())
        EXPECT_TRUE(voice->isReleased());
    EXPECT_FALSE(rig.voicer.sustainDown(3));
    EXPECT_EQ(rig.voicer.controllerValue(9, 123), 0);
    EXPECT_EQ(rig.voicer.noteVelocity(3, 62), 0);
}

TEST_F(VoicerTest, ChannelMessagesMapToTheirValues) {
    rig.bytes({0xE0, 0x00, 0x40});
    EXPECT_EQ(rig.voicer.channelPitchBend(0), 0.0);
    rig.bytes({0x00, 0x00});
    EXPECT_EQ(rig.voicer.channelPitchBend(0), -1.0);
    EXPECT_NEAR(rig.voicer.channelVolumeValue(0), 99.0 / 127.0, 1e-15);
    rig.control(7, 127);
    EXPECT_EQ(rig.voicer.channelVolumeValue(0), 1.0);
    rig.control(1, 64);
    EXPECT_EQ(rig.voicer.channelModulation(0), 0.5);
    rig.control(74, 127);
    EXPECT_EQ(rig.synth.values[VcfCut], 1.0f);
    rig.control(71, 0);
    EXPECT_EQ(rig.synth.values[VcfReso], 0.0f);
}

TEST_F(VoicerTest, RunningStatusCarriesNotesAndProgramChanges) {
    rig.bytes({0x90, 60, 100, 64, 100});
    EXPECT_EQ(rig.voicer.playingCount(), 2);
    EXPECT_EQ(rig.voicer.noteOnCount(0, 60), 1);
    rig.bytes({60, 0}); // velocity 0 ends the first note
    EXPECT_TRUE(voiceFor(60)->isReleased());
    EXPECT_EQ(rig.voicer.releaseVelocityValue(), 0.0);
    EXPECT_EQ(rig.voicer.noteOnCount(0, 60), 0);
    rig.bytes({0x80, 64, 64});
    EXPECT_EQ(rig.voicer.releaseVelocityValue(), 0.5);

    rig.bytes({0xC0, 5});
    EXPECT_EQ(rig.voicer.channelProgram(0), 5);
    rig.bytes({6});
    EXPECT_EQ(rig.voicer.channelProgram(0), 6);
    EXPECT_EQ(rig.voicer.lastProgramChange(), 6);
}

TEST_F(VoicerTest, DataWithoutAValidStatusIsDropped) {
    rig.bytes({60, 100});
    EXPECT_EQ(rig.voicer.playingCount(), 0);
    rig.bytes({0xA0, 60, 100, 62, 100}); // poly pressure, then data under no status
    EXPECT_EQ(rig.voicer.playingCount(), 0);
    rig.bytes({0x90, 60, 0x91, 62, 100}); // a status byte discards the incomplete message
    EXPECT_EQ(rig.voicer.playingCount(), 1);
    EXPECT_EQ(rig.head()->channel(), 1);
}

TEST_F(VoicerTest, SplitStealingTakesTheNewestOfManyLowNotes) {
    rig.voicer.setStealMode(2);
    for (int32_t note = 40; note < 45; ++note)
        rig.noteOn(note);
    rig.noteOn(70);
    // All voices are equally loud; with more than three below the split the first low voice
    // found from the newest end goes.
    EXPECT_TRUE(voiceFor(44)->isForceReleased());
    EXPECT_FALSE(voiceFor(40)->isForceReleased());

    VoicerRig quietest;
    quietest.voicer.setStealMode(1);
    for (int32_t note = 40; note < 46; ++note)
        quietest.noteOn(note);
    EXPECT_TRUE(quietest.tail()->isForceReleased()); // no voice is quieter: the oldest goes
}

TEST_F(VoicerTest, MaximumVoicesFadesTheOldestAtTheNextBlock) {
    for (int32_t note = 60; note < 65; ++note)
        rig.noteOn(note);
    EXPECT_FALSE(rig.tail()->isForceReleased());
    rig.voicer.setMaxVoices(4);
    rig.render(VoicerRig::kBlock);
    EXPECT_TRUE(rig.tail()->isForceReleased());
    EXPECT_FALSE(rig.playing()[3]->isForceReleased()); // one voice per block at most
}

TEST_F(VoicerTest, MonoModeReturnsToTheHeldKey) {
    rig.voicer.setMonoMode(0, true);
    rig.noteOn(60);
    rig.noteOn(64);
    EXPECT_EQ(rig.voicer.monoStackCount(0), 2);
    rig.noteOff(64);
    EXPECT_EQ(rig.voicer.lastStartedVoice()->note(), 60);
    EXPECT_EQ(rig.voicer.monoStackCount(0), 1);
}

TEST_F(VoicerTest, SostenutoHoldsOnlyTheKeysDownWhenPressed) {
    rig.voicer.setSostenutoEnabled(0, true);
    rig.noteOn(60);
    rig.control(66, 127);
    rig.noteOff(60);
    EXPECT_FALSE(voiceFor(60)->isReleased());
    rig.noteOn(64);
    rig.noteOff(64);
    EXPECT_TRUE(voiceFor(64)->isReleased());
    rig.control(66, 0);
    EXPECT_TRUE(voiceFor(60)->isReleased());
}

TEST_F(VoicerTest, VelocityCurvesAndSoftPedalShapeVelocities) {
    rig.voicer.setVelocityCurve(0, VelocityCurve::Square, nullptr);
    rig.bytes({0x90, 60, 64});
    EXPECT_EQ(rig.head()->velocity(), 32);
    rig.voicer.setVelocityCurve(1, VelocityCurve::SquareRoot, nullptr);
    rig.bytes({0x91, 61, 32});
    EXPECT_EQ(rig.head()->velocity(), 64);
    rig.voicer.setSoftPedalEnabled(2, true);
    rig.control(67, 127, 2);
    rig.bytes({0x92, 62, 100});
    EXPECT_EQ(rig.head()->velocity(), 85);
}

} // namespace
