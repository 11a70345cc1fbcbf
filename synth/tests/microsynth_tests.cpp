// What the host sees of Oriv: factory bank, names and texts, identity answers, parameter
// checks, and parameter changes reaching the engine.
#include "synth_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>

namespace {

using oriv_test::EventList;
using oriv_test::SynthRig;

class MicroSynthTest : public ::testing::Test {
protected:
    MicroSynth& synth() { return rig.synth(); }
    std::string programName() {
        char text[textBufferBytes(kProgramNameMaxLength)] = {};
        synth().copyProgramName(text);
        return text;
    }
    std::string indexedName(int32_t index) {
        char text[textBufferBytes(kProgramNameMaxLength)] = {};
        return synth().copyIndexedProgramName(0, index, text) ? text : "<refused>";
    }
    std::string parameterText(int32_t index) {
        char text[16] = {};
        synth().copyParameterText(index, text);
        return text;
    }

    SynthRig rig;
};

TEST_F(MicroSynthTest, StartsWithTheFactoryBank) {
    EXPECT_EQ(programName(), "Basic Patch");
    EXPECT_EQ(synth().readParameter(Osc2Det), 0.506276f);
    EXPECT_EQ(indexedName(11), "Telephone Frequencies");
    synth().selectProgram(15);
    EXPECT_EQ(programName(), "Reverse");
    EXPECT_EQ(synth().readParameter(Osc2Det), 1.0f);
    EXPECT_EQ(synth().readParameter(VcfRel), 0.640278f);
    synth().selectProgram(0);
    EXPECT_EQ(synth().readParameter(VcfRel), 0.5f);
}

TEST_F(MicroSynthTest, InitProgramsShowTheirNumber) {
    synth().selectProgram(3);
    char init[] = "Init";
    synth().renameProgram(init);
    EXPECT_EQ(programName(), "Init 4");
    EXPECT_EQ(indexedName(3), "Init");
    EXPECT_EQ(indexedName(16), "<refused>");
    EXPECT_EQ(indexedName(-1), "<refused>");

    std::string longName(60, 'x');
    synth().renameProgram(longName.data());
    EXPECT_EQ(programName(), std::string(47, 'x'));

    EXPECT_TRUE(synth().copyCurrentProgramTo(9));
    EXPECT_EQ(indexedName(9), std::string(47, 'x'));
    EXPECT_FALSE(synth().copyCurrentProgramTo(16));
    EXPECT_FALSE(synth().copyCurrentProgramTo(-3));
}

TEST_F(MicroSynthTest, ParameterTexts) {
    char title[16] = {};
    char unit[16] = {};
    synth().copyParameterTitle(VcfCut, title);
    synth().copyParameterUnit(OscWave, unit);
    EXPECT_STREQ(title, "VcfCut");
    EXPECT_STREQ(unit, "wave");
    synth().copyParameterTitle(VcaRel, title);
    synth().copyParameterUnit(VcaRel, unit);
    EXPECT_STREQ(title, "VcaRel");
    EXPECT_STREQ(unit, "amount");
    synth().writeParameter(VcaSus, 1.0f);
    EXPECT_EQ(parameterText(VcaSus), "1.000000");
    synth().writeParameter(VcaSus, 0.5f);
    EXPECT_EQ(parameterText(VcaSus), "0.500000");
    EXPECT_EQ(parameterText(14), "");
}

TEST_F(MicroSynthTest, AnswersIdentityQueries) {
    EXPECT_EQ(synth().answerCapability("receiveQxaMidiEvent"), 1);
    EXPECT_EQ(synth().answerCapability("sendQxaEvents"), 1);
    EXPECT_EQ(synth().answerCapability("receiveQxaMidiEventx"), -1);
    EXPECT_EQ(synth().answerCapability("offline"), -1);
    PinInfo pin{};
    ASSERT_TRUE(synth().describeOutput(1, &pin));
    EXPECT_STREQ(pin.label, "Oriv 2");
    EXPECT_EQ(pin.pinFlags, 3);
    EXPECT_FALSE(synth().describeOutput(2, &pin));
    EXPECT_FALSE(synth().describeOutput(-1, &pin));
    EXPECT_EQ(synth().handleVendorCall(kWheelVendorIndex, kWheelVendorValue, nullptr, 1.0f), 0);

    oriv_test::resetHostRequests();
    synth().onResume();
    EXPECT_EQ(oriv_test::hostRequestCount(WantsIdle), 1);
    EXPECT_EQ(oriv_test::hostRequestCount(RequestEvents), 1);
}

TEST_F(MicroSynthTest, BadValuesAndIndexesTouchNothing) {
    synth().writeParameter(LfoFreq, 1.5f);
    EXPECT_EQ(synth().readParameter(LfoFreq), 1.0f);
    synth().writeParameter(LfoFreq, -2.0f);
    EXPECT_EQ(synth().readParameter(LfoFreq), 0.0f);
    synth().writeParameter(LfoFreq, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(synth().readParameter(LfoFreq), 0.0f);
    synth().writeParameter(14, 0.5f);
    synth().writeParameter(-1, 0.5f);
    EXPECT_EQ(synth().readParameter(14), 0.0f);
    synth().selectProgram(16);
    synth().selectProgram(-1);
    EXPECT_EQ(synth().currentProgramIndex(), 0);
    synth().changeSampleRate(0.0f);
    synth().changeSampleRate(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(synth().currentSampleRate(), 44100.0f);
}

TEST_F(MicroSynthTest, ChangesReachASoundingNoteWithTheNextBlock) {
    // A plain triangle at a constant level, filter wide open.
    for (const auto& [index, value] : {std::pair{OscWave, 0.0f}, std::pair{Osc2Det, 0.5f},
                                       std::pair{VcfCut, 1.0f}, std::pair{VcfReso, 0.0f}})
        synth().writeParameter(index, value);
    EventList note;
    rig.render(512, note.noteOn(0, 57));
    rig.render(8192);
    synth().writeParameter(OscRang, 1.0f); // two octaves up
    const size_t written = rig.left().size();
    rig.render(512);
    EXPECT_NEAR(oriv_test::zeroCrossingFrequency(rig.left(), 512, written, 44100.0), 220.0, 0.3);
    EXPECT_NEAR(oriv_test::zeroCrossingFrequency(rig.left(), written, written + 512, 44100.0),
                880.0, 2.0);
    // MIDI controller 74 writes the cutoff into the current program.
    EventList cutoff;
    rig.render(64, cutoff.control(0, 74, 0));
    EXPECT_EQ(synth().readParameter(VcfCut), 0.0f);
}

} // namespace
