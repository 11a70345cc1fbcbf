// What the host sees of Oriv: factory bank, names and texts, identity answers, parameter
// checks, and parameter changes reaching the engine.
#include "engine/adsr.h"
#include "engine/microsynthvoice.h"
#include "engine/microsynthvoicer.h"
#include "engine/wavetableset.h"
#include "factory_programs.h"
#include "synth_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

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
    for (int32_t program = 0; program < kSynthProgramCount; ++program) {
        const FactoryProgram& factory = kFactoryPrograms[static_cast<size_t>(program)];
        synth().selectProgram(program);
        EXPECT_EQ(programName(), factory.name);
        for (int32_t i = 0; i < kSynthParameterCount; ++i)
            EXPECT_EQ(synth().readParameter(i), factory.values[static_cast<size_t>(i)])
                << factory.name << " parameter " << i;
    }
    // The engine takes the program with the next block: "Reverse" has VcfDec 0.942066 and
    // VcfCut 0.
    rig.render(1);
    EXPECT_EQ(synth().filterEnvelope().decayAmount(), 0.942066f);
    EXPECT_FLOAT_EQ(synth().filterEnvelope().outputLevel(), 0.99f);
    EXPECT_EQ(synth().amplitudeEnvelope().outputLevel(), 0.25f);
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

TEST_F(MicroSynthTest, ParameterTextsComeFromTheTable) {
    char title[16] = {};
    char unit[16] = {};
    for (const SynthParameterInfo& info : kSynthParameters) {
        synth().copyParameterTitle(info.index, title);
        synth().copyParameterUnit(info.index, unit);
        EXPECT_STREQ(title, info.title);
        EXPECT_STREQ(unit, info.unit);
    }
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
    EXPECT_DOUBLE_EQ(synth().tableStep(), static_cast<float>(4096.0 / 44100.0));
}

TEST_F(MicroSynthTest, CutoffSetsTheFilterEnvelopeDepth) {
    synth().onSuspend(); // nothing renders: a write reaches the engine at once
    synth().writeParameter(VcfCut, 0.0f);
    EXPECT_FLOAT_EQ(synth().filterEnvelope().outputLevel(), 0.99f);
    synth().writeParameter(VcfCut, 0.4f);
    EXPECT_FLOAT_EQ(synth().filterEnvelope().outputLevel(), 0.6f);
}

TEST_F(MicroSynthTest, ChangesReachPlayingVoicesWithTheNextBlock) {
    EventList events;
    rig.render(64, events.noteOn(0, 57));
    auto* voice = static_cast<MicroSynthVoice*>(synth().voicer().playingHead());
    ASSERT_NE(voice, nullptr);
    EXPECT_NEAR(voice->oscillator1Frequency(), 220.0, 1e-3);
    // While the transport may run, a writer never touches the engine itself.
    synth().writeParameter(OscRang, 1.0f);
    EXPECT_NEAR(voice->oscillator1Frequency(), 220.0, 1e-3);
    EXPECT_EQ(synth().readParameter(OscRang), 1.0f);
    rig.render(1);
    EXPECT_NEAR(voice->oscillator1Frequency(), 880.0, 1e-3);
    synth().selectProgram(1); // "Square Sweep": squares
    rig.render(1);
    EXPECT_EQ(voice->waveTable(), WaveTableSet::table(WaveTableSet::Square32));
    // MIDI controller 74 writes the cutoff into the current program.
    EventList cutoff;
    rig.render(64, cutoff.control(0, 74, 127));
    EXPECT_EQ(synth().readParameter(VcfCut), 1.0f);
    EXPECT_EQ(voice->cutoff(), 1.0);
    EXPECT_FLOAT_EQ(synth().filterEnvelope().outputLevel(), 0.0f);
}

} // namespace
