// What the host reads from Malvoree: titles, units and value texts exactly (blanks included),
// program names, identity answers, and how bad indexes and values are turned away.
#include "malvoree.h"
#include "notevaluetable.h"
#include "test_host.h"

#include "aeffeditor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace malvoree;

namespace {

class MalvoreeTexts : public ::testing::Test {
protected:
    std::string text(int32_t index) {
        char buffer[64];
        std::memset(buffer, 'x', sizeof(buffer));
        effect->copyParameterText(index, buffer);
        return buffer;
    }
    std::string textFor(int32_t index, float value) {
        effect->writeParameter(index, value);
        return text(index);
    }
    std::string title(int32_t index) {
        char buffer[64] = "junk";
        effect->copyParameterTitle(index, buffer);
        return buffer;
    }
    std::string unit(int32_t index) {
        char buffer[64] = "junk";
        effect->copyParameterUnit(index, buffer);
        return buffer;
    }
    std::string programName() {
        char buffer[64] = "junk";
        effect->copyProgramName(buffer);
        return buffer;
    }

    std::unique_ptr<Malvoree> effect = std::make_unique<Malvoree>(test_host::callback);
};

TEST_F(MalvoreeTexts, TitlesAndUnitsAreExactIncludingBlanks) {
    const char* titles[kParameterCount] = {
        "Delay 1", "Feedb 1", "Filtr 1", "Volum 1", " Pan  1", "Delay 2", "Feedb 2", "Filtr 2",
        "Volum 2", " Pan  2", "Delay 3", "Feedb 3", "Filtr 3", "Volum 3", " Pan  3", "Delay 4",
        "Feedb 4", "Filtr 4", "Volum 4", " Pan  4", "Tempo  ", "  Mix  "};
    const char* units[kParameterCount] = {
        "s", "%", "%",      "  dB  ", "",  "s", "%", "%",      "  dB  ", "",       "s",
        "%", "%", "  dB  ", "",       "s", "%", "%", "  dB  ", "",       "state ", "%"};
    for (int32_t i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(title(i), titles[i]) << "parameter " << i;
        EXPECT_EQ(unit(i), units[i]) << "parameter " << i;
    }
}

TEST_F(MalvoreeTexts, DefaultsShowTheirValues) {
    EXPECT_EQ(std::bit_cast<uint32_t>(effect->readParameter(0)), 0x3EB6DB6Eu);
    EXPECT_EQ(std::bit_cast<uint32_t>(effect->readParameter(10)), 0x3EDB6DB8u);
    EXPECT_EQ(std::bit_cast<uint32_t>(effect->readParameter(15)), 0x3E924925u);
    EXPECT_EQ(text(0), " 0.714");
    EXPECT_EQ(text(5), " 1.000");
    EXPECT_EQ(text(10), " 0.857");
    EXPECT_EQ(text(15), " 0.571");
    EXPECT_EQ(text(1), "50.00");
    EXPECT_EQ(text(2), "50.00");
    EXPECT_EQ(text(3), "-2.49");
    EXPECT_EQ(text(4), "L 32");
    EXPECT_EQ(text(9), "R 32");
    EXPECT_EQ(text(14), "L 13");
    EXPECT_EQ(text(19), "R 12");
    EXPECT_EQ(text(20), "On");
    EXPECT_EQ(text(21), "100.0");
}

TEST_F(MalvoreeTexts, ValueTextsFollowWrites) {
    EXPECT_EQ(textFor(3, 0.0f), "-oo");
    EXPECT_EQ(textFor(8, 1.0f), "0.000");
    EXPECT_EQ(textFor(6, 0.123f), "12.30");
    EXPECT_EQ(textFor(21, 0.0f), "0.000");
    EXPECT_EQ(textFor(5, 1.0f), " 2.000");
    EXPECT_EQ(textFor(5, 0.0f), " 0.000");
    EXPECT_EQ(textFor(20, 0.49f), "Off");
    EXPECT_EQ(textFor(20, 0.5f), "On");
}

TEST_F(MalvoreeTexts, DelayTimeTextStaysInSecondsWhateverTheTempo) {
    effect->writeParameter(kTempoParameter, 1.0f);
    const std::string synced = textFor(0, 0.5f);
    effect->writeParameter(kTempoParameter, 0.0f);
    EXPECT_EQ(synced, " 1.000");
    EXPECT_EQ(text(0), " 1.000");
}

TEST_F(MalvoreeTexts, PanTextsAroundTheCentre) {
    EXPECT_EQ(textFor(4, 0.0f), "L 64");
    EXPECT_EQ(textFor(4, 1.0f), "R 64");
    EXPECT_EQ(textFor(4, 0.5f), "< C >");
    EXPECT_EQ(textFor(4, 0.48f), "L  3");
    EXPECT_EQ(textFor(4, 0.52f), "< C >");
    EXPECT_EQ(textFor(4, 0.53f), "R  3");
    char buffer[kPanTextBytes];
    formatPan(std::numeric_limits<float>::quiet_NaN(), buffer);
    EXPECT_STREQ(buffer, "L 64");
    formatPan(1e30f, buffer);
    EXPECT_STREQ(buffer, "R 64");
}

// Typed values, as any host's generic editor sends them (ParameterTextParse): the texts that the
// host's value texts and the displays show, in every parameter's own terms.
class MalvoreeTypedValues : public MalvoreeTexts {
protected:
    // Dispatches opcode 27 as a host does; the answer, and the text the parameter shows after.
    bool typed(int32_t index, const std::string& text) {
        std::string buffer = text;
        buffer.resize(256, '\0');
        DescriptorRecord* record = effect->descriptorRecord();
        return record->dispatchFn(record, ParameterTextParse, index, 0, buffer.data(), 0.0f) != 0;
    }
};

TEST_F(MalvoreeTypedValues, EveryShownTextReadsBackAsTheSameText) {
    // Every parameter (so every kind of text: seconds, percent, decibels, pan, tempo), a sweep
    // of the range and values a hair either side of each step: type what one value shows,
    // and the parameter must show exactly that again.
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> anywhere(0.0f, 1.0f);
    int misread = 0;
    for (int32_t index = 0; index < kParameterCount; ++index) {
        std::vector<float> values;
        for (int i = 0; i <= 1000; ++i) {
            const float v = static_cast<float>(i) / 1000.0f;
            values.insert(values.end(), {v, std::nextafter(v, 0.0f), std::nextafter(v, 1.0f)});
        }
        for (int i = 0; i < 300; ++i)
            values.push_back(anywhere(random));
        for (const float value : values) {
            if (value < 0.0f || value > 1.0f) continue;
            const std::string shown = textFor(index, value);
            effect->writeParameter(index, value < 0.5f ? 1.0f : 0.0f); // somewhere else first
            if (!typed(index, shown) || text(index) != shown) {
                if (++misread <= 10)
                    ADD_FAILURE() << "parameter " << index << ": typed \"" << shown
                                  << "\", shows \"" << text(index) << "\"";
            }
        }
    }
    EXPECT_EQ(misread, 0);
}

TEST_F(MalvoreeTypedValues, NoteNamesSelectTheirStepWhileTheTempoIsFollowed) {
    effect->writeParameter(kTempoParameter, 1.0f);
    for (int32_t i = 0; i < NoteValueTable::kCount; ++i) {
        ASSERT_TRUE(typed(5, NoteValueTable::name(i))) << NoteValueTable::name(i);
        EXPECT_EQ(NoteValueTable::indexForAmount(effect->readParameter(5)), i);
    }
    effect->writeParameter(kTempoParameter, 0.0f);
    EXPECT_FALSE(typed(5, "1/8 *")); // without the tempo, a delay is a time
}

TEST_F(MalvoreeTypedValues, UnitsBlanksAndFormsPeopleTypeAndWhatIsRefused) {
    struct Case {
        int32_t index;
        const char* text;
        const char* shows;
    };
    const Case accepted[] = {
        {3, "-6 dB", "-6.00"},  {3, " -6db ", "-6.00"}, {3, "-oo", "-oo"},   {3, "+12 dB", "0.000"},
        {1, "75 %", "75.00"},   {1, "12.5%", "12.50"},  {1, "-3", "0.000"},  {21, "50 %", "50.00"},
        {0, "0.5 s", " 0.500"}, {0, "5", " 2.000"},     {4, "L 32", "L 32"}, {4, "r5", "R  5"},
        {4, "C", "< C >"},      {4, "-64", "L 64"},     {20, "off", "Off"},  {20, "On", "On"},
    };
    for (const Case& c : accepted) {
        EXPECT_TRUE(typed(c.index, c.text)) << c.text;
        EXPECT_EQ(text(c.index), c.shows) << c.text;
    }
    effect->writeParameter(3, 0.25f);
    for (const char* text : {"loud", "", "nan", "-6 dB louder", "L -3"})
        EXPECT_FALSE(typed(3, text)) << text;
    EXPECT_FALSE(typed(4, "L -3"));
    EXPECT_FALSE(typed(kParameterCount, "50"));
    EXPECT_FALSE(typed(-1, "50"));
    EXPECT_EQ(effect->readParameter(3), 0.25f); // refused texts write nothing
}

TEST_F(MalvoreeTexts, ProgramsStartAsNumberedInits) {
    EXPECT_EQ(programName(), "Init 1");
    effect->selectProgram(15);
    EXPECT_EQ(programName(), "Init 16");
    char buffer[64] = "junk";
    EXPECT_TRUE(effect->copyIndexedProgramName(0, 3, buffer));
    EXPECT_STREQ(buffer, "Init");
}

TEST_F(MalvoreeTexts, RenamedProgramsKeepAtMost23Characters) {
    char name[] = "Slapback with a long tail that does not fit";
    effect->renameProgram(name);
    EXPECT_EQ(programName(), "Slapback with a long ta");
    char buffer[64];
    EXPECT_TRUE(effect->copyIndexedProgramName(0, 0, buffer));
    EXPECT_STREQ(buffer, "Slapback with a long ta");
    // A program renamed to "Init" shows its number again.
    char init[] = "Init";
    effect->renameProgram(init);
    EXPECT_EQ(programName(), "Init 1");
}

TEST_F(MalvoreeTexts, BadProgramIndexesAreRefused) {
    char buffer[64] = "untouched";
    EXPECT_FALSE(effect->copyIndexedProgramName(0, 16, buffer));
    EXPECT_FALSE(effect->copyIndexedProgramName(0, -1, buffer));
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_FALSE(effect->copyCurrentProgramTo(16));
    EXPECT_FALSE(effect->copyCurrentProgramTo(-1));
    effect->selectProgram(2);
    effect->selectProgram(-1);
    effect->selectProgram(16);
    EXPECT_EQ(effect->currentProgramIndex(), 2);
}

TEST_F(MalvoreeTexts, IdentityAnswers) {
    EXPECT_EQ(effect->vendorVersionNumber(), 16842768);
    EXPECT_EQ(effect->answerCapability("receiveQxaTimeInfo"), -1);
    EXPECT_EQ(effect->answerCapability("receiveQxaMidiEvent"), -1);
    EXPECT_EQ(effect->pluginCategory(), 1);
    EXPECT_EQ(effect->maxDelayMilliseconds(), 2000);
    char buffer[64];
    EXPECT_TRUE(effect->copyEffectName(buffer));
    EXPECT_STREQ(buffer, "Malvoree");
    EXPECT_TRUE(effect->copyProductName(buffer));
    EXPECT_STREQ(buffer, "Malvoree");
    EXPECT_TRUE(effect->copyVendorName(buffer));
    EXPECT_STREQ(buffer, "Quellmark Sound Laboratories");

    const DescriptorRecord& record = *effect->descriptorRecord();
    EXPECT_EQ(record.programCount, 16);
    EXPECT_EQ(record.parameterCount, 22);
    EXPECT_EQ(record.inputCount, 2);
    EXPECT_EQ(record.outputCount, 2);
    EXPECT_EQ(record.pluginId, 0x4D61566F);
    EXPECT_EQ(record.pluginVersion, 1);
    // No editor yet, so only FlagReplacing; no state blocks.
    EXPECT_EQ(record.flagBits, FlagReplacing);
}

TEST_F(MalvoreeTexts, PinsAreLabelledPerChannel) {
    PinInfo pin{};
    EXPECT_TRUE(effect->describeInput(1, &pin));
    EXPECT_STREQ(pin.label, "Malvoree 2");
    EXPECT_EQ(pin.pinFlags, 3);
    PinInfo output{};
    EXPECT_TRUE(effect->describeOutput(0, &output));
    EXPECT_STREQ(output.label, "Malvoree 1");
    EXPECT_EQ(output.pinFlags, 3);
    EXPECT_FALSE(effect->describeInput(2, &pin));
    EXPECT_FALSE(effect->describeOutput(-1, &pin));
}

TEST_F(MalvoreeTexts, UnknownParameterIndexesTouchNothing) {
    effect->writeParameter(22, 0.1f);
    effect->writeParameter(-1, 0.1f);
    EXPECT_EQ(effect->readParameter(22), 0.0f);
    EXPECT_EQ(effect->readParameter(-1), 0.0f);
    EXPECT_EQ(text(22), "");
    EXPECT_EQ(title(-5), "");
    EXPECT_EQ(unit(1000), "");
    for (int32_t i = 0; i < kParameterCount; ++i)
        EXPECT_EQ(effect->readParameter(i), kParameters[static_cast<size_t>(i)].defaultValue);
}

// --- parameter values and where they go -------------------------------------------------------

using MalvoreeParameters = MalvoreeTexts;

TEST_F(MalvoreeParameters, HostValuesAreClampedAndNaNIsIgnored) {
    effect->writeParameter(1, 1.5f);
    EXPECT_EQ(effect->readParameter(1), 1.0f);
    EXPECT_EQ(effect->head(0).feedbackTarget(), 1.0f);
    effect->writeParameter(3, -0.5f);
    EXPECT_EQ(effect->readParameter(3), 0.0f);
    EXPECT_EQ(effect->head(0).volume(), 0.0f);
    effect->writeParameter(6, 0.25f);
    effect->writeParameter(6, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(effect->readParameter(6), 0.25f);
    EXPECT_EQ(effect->head(1).feedbackTarget(), 0.25f);
    effect->writeParameter(6, std::numeric_limits<float>::infinity());
    EXPECT_EQ(effect->readParameter(6), 1.0f);
}

TEST_F(MalvoreeParameters, EachHeadParameterReachesItsOwnHeadAtOnce) {
    for (int32_t h = 0; h < kHeadCount; ++h) {
        const float base = 0.1f * static_cast<float>(h + 1);
        effect->writeParameter(headParameterIndex(h, kHeadDelay), 1.0f);
        effect->writeParameter(headParameterIndex(h, kHeadFeedback), base + 0.01f);
        effect->writeParameter(headParameterIndex(h, kHeadFilter), base + 0.02f);
        effect->writeParameter(headParameterIndex(h, kHeadVolume), base + 0.03f);
        effect->writeParameter(headParameterIndex(h, kHeadPan), base + 0.04f);
    }
    for (int32_t h = 0; h < kHeadCount; ++h) {
        const DelayHead& head = effect->head(h);
        const float base = 0.1f * static_cast<float>(h + 1);
        EXPECT_EQ(head.delayLength(), 88198);
        EXPECT_EQ(head.feedbackTarget(), base + 0.01f);
        EXPECT_EQ(head.filterAmount(), base + 0.02f);
        EXPECT_EQ(head.volume(), base + 0.03f);
        EXPECT_EQ(head.pan(), base + 0.04f);
    }
}

TEST_F(MalvoreeParameters, MixSetsWetAndDryOnEveryHead) {
    effect->writeParameter(kMixParameter, 0.3f);
    for (int32_t h = 0; h < kHeadCount; ++h) {
        EXPECT_EQ(effect->head(h).wetGain(), 0.3f * 0.5f);
        EXPECT_EQ(effect->head(h).dryGain(), (1.0f - 0.3f) * 0.25f);
    }
}

TEST_F(MalvoreeParameters, TempoSwitchesSyncAtOneHalf) {
    EXPECT_TRUE(effect->tempoSync());
    EXPECT_TRUE(effect->head(2).tempoFollow());
    effect->writeParameter(kTempoParameter, 0.49f);
    EXPECT_FALSE(effect->tempoSync());
    EXPECT_FALSE(effect->head(2).tempoFollow());
}

TEST_F(MalvoreeParameters, ProgramChangeLoadsItsValuesIntoTheHeads) {
    effect->writeParameter(1, 0.9f);
    effect->selectProgram(1);
    EXPECT_EQ(effect->readParameter(1), 0.5f);
    EXPECT_EQ(effect->head(0).feedbackTarget(), 0.5f);
    effect->writeParameter(11, 0.2f);
    effect->selectProgram(0);
    EXPECT_EQ(effect->readParameter(1), 0.9f);
    EXPECT_EQ(effect->head(0).feedbackTarget(), 0.9f);
    EXPECT_EQ(effect->head(2).feedbackTarget(), 0.5f);
}

TEST_F(MalvoreeParameters, CopyingAProgramTakesValuesAndName) {
    effect->writeParameter(7, 0.8f);
    char name[] = "Dub";
    effect->renameProgram(name);
    EXPECT_TRUE(effect->copyCurrentProgramTo(5));
    effect->selectProgram(5);
    EXPECT_EQ(effect->readParameter(7), 0.8f);
    EXPECT_EQ(programName(), "Dub");
    EXPECT_EQ(effect->head(1).filterAmount(), 0.8f);
}

// --- the editor's mouse wheel -----------------------------------------------------------------

class WheelEditor : public AEffEditor {
public:
    WheelEditor(AudioEffect* effect, bool answer) : AEffEditor(effect), answer_(answer) {}
    bool handleWheel(float distance) override {
        lastDistance = distance;
        return answer_;
    }
    float lastDistance = 0.0f;

private:
    bool answer_;
};

TEST_F(MalvoreeTexts, WheelCallsGoToTheEditorOnly) {
    EXPECT_EQ(effect->handleVendorCall(kWheelVendorIndex, kWheelVendorValue, nullptr, 2.0f), 0);
    auto* editor = new WheelEditor(effect.get(), true);
    effect->attachEditor(editor);
    EXPECT_EQ(effect->handleVendorCall(kWheelVendorIndex, kWheelVendorValue, nullptr, -3.0f), 1);
    EXPECT_EQ(editor->lastDistance, -3.0f);
    EXPECT_EQ(effect->handleVendorCall(kWheelVendorIndex, 0, nullptr, 1.0f), 0);
    EXPECT_EQ(effect->handleVendorCall(0, kWheelVendorValue, nullptr, 1.0f), 0);
    EXPECT_EQ(editor->lastDistance, -3.0f);
    effect->attachEditor(new WheelEditor(effect.get(), false));
    delete editor;
    EXPECT_EQ(effect->handleVendorCall(kWheelVendorIndex, kWheelVendorValue, nullptr, 1.0f), 0);
}

} // namespace
