// Oriv as a host meets it: loaded through the platform's loader, driven only through the
// exported entry function and the descriptor's dispatcher.
#include "binary_dir.h"
#include "factory_programs.h"
#include "pluginhost.h"

#include <gtest/gtest.h>

#include <string>

namespace {

intptr_t answeringHost(DescriptorRecord*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == HostVersion ? kInterfaceVersion : 0;
}

intptr_t silentHost(DescriptorRecord*, int32_t, int32_t, intptr_t, void*, float) {
    return 0;
}

class OrivLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library) << loadError;
        entry = reinterpret_cast<PluginEntryFunction>(library->symbol("QXAPluginMain"));
        ASSERT_NE(entry, nullptr);
    }
    intptr_t dispatch(DescriptorRecord* record, int32_t opcode, int32_t index = 0,
                      intptr_t value = 0, void* pointer = nullptr) {
        return record->dispatchFn(record, opcode, index, value, pointer, 0.0f);
    }

    std::string loadError;
    std::unique_ptr<PluginLibrary> library =
        PluginLibrary::open(testing_paths::pluginPath("Oriv"), loadError);
    PluginEntryFunction entry = nullptr;
};

TEST_F(OrivLibrary, IdentifiesItselfAsAnInstrument) {
    DescriptorRecord* record = entry(answeringHost);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->signature, kDescriptorSignature);
    // FlagEditor is set exactly when an editor is attached (it answers the bounds query).
    EditorRect* bounds = nullptr;
    const bool hasEditor = dispatch(record, EditorBoundsQuery, 0, 0, &bounds) != 0;
    EXPECT_EQ(record->flagBits, 0x110 | (hasEditor ? FlagEditor : 0));
    EXPECT_EQ(record->inputCount, 0);
    EXPECT_EQ(record->outputCount, 2);
    EXPECT_EQ(record->parameterCount, 14);
    EXPECT_EQ(record->programCount, 16);
    EXPECT_EQ(record->pluginId, 0x614D6953);
    EXPECT_EQ(dispatch(record, CategoryQuery), 2);
    EXPECT_EQ(dispatch(record, VendorVersionQuery), 1);

    char text[64] = {};
    EXPECT_EQ(dispatch(record, EffectNameQuery, 0, 0, text), 1);
    EXPECT_STREQ(text, "Oriv");
    EXPECT_EQ(dispatch(record, VendorNameQuery, 0, 0, text), 1);
    EXPECT_STREQ(text, "Quellmark Sound Laboratories");
    const char* names[16] = {"Basic Patch", "Square Sweep", "Square Release",
                             "Slow Mellow", "Phase Bass",   "Deep Bass Fifths",
                             "Bowed Bass",  "Wowp",         "Phase 2",
                             "Blip",        "Slow Forths",  "Telephone Frequencies",
                             "Bass Thud",   "Reverb Bass",  "wah sing",
                             "Reverse"};
    for (int32_t program = 0; program < 16; ++program) {
        EXPECT_EQ(dispatch(record, IndexedProgramNameQuery, program, 0, text), 1);
        EXPECT_STREQ(text, names[program]);
    }
    EXPECT_EQ(dispatch(record, ParameterTitleQuery, 13, 0, text), 0);
    EXPECT_STREQ(text, "VcaRel");

    // Rendering through the record: a note sounds.
    float left[256];
    float right[256];
    float* outputs[2] = {left, right};
    dispatch(record, SampleRateChange, 0, 0, nullptr);
    dispatch(record, BlockSizeChange, 0, 256);
    MidiEventRecord note{
        kMidiEventType, sizeof(MidiEventRecord), 0, 0, 0, 0, {0x90, 60, 100, 0}, 0, 0, {0, 0}};
    EventBlock events{1, 0, 0, {reinterpret_cast<EventHeader*>(&note), nullptr}};
    EXPECT_EQ(dispatch(record, EventDelivery, 0, 0, &events), 1);
    record->replaceFn(record, nullptr, outputs, 256);
    EXPECT_NE(left[255], 0.0f);

    EXPECT_EQ(dispatch(record, Shutdown), 1);
}

TEST_F(OrivLibrary, ExportsMainAndRefusesAHostThatDoesNotAnswer) {
    EXPECT_EQ(library->symbol("main"), reinterpret_cast<void*>(entry));
    EXPECT_EQ(entry(silentHost), nullptr);
}

} // namespace
