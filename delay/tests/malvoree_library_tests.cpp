// Malvoree as a host meets it: the built module, loaded through the platform loader, driven only
// through its descriptor record and dispatcher.
#include "binary_dir.h"
#include "pluginhost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

intptr_t hostAnswering(DescriptorRecord*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == HostVersion ? kInterfaceVersion : 0;
}

intptr_t hostSilent(DescriptorRecord*, int32_t, int32_t, intptr_t, void*, float) {
    return 0;
}

class MalvoreeLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library) << loadError;
        ASSERT_NE(entry(), nullptr);
    }

    intptr_t dispatch(DescriptorRecord* record, int32_t opcode, int32_t index = 0,
                      intptr_t value = 0, void* pointer = nullptr, float option = 0.0f) {
        return record->dispatchFn(record, opcode, index, value, pointer, option);
    }
    std::string text(DescriptorRecord* record, int32_t opcode, int32_t index = 0) {
        char buffer[256] = {};
        dispatch(record, opcode, index, 0, buffer);
        return buffer;
    }

    PluginEntryFunction entry() const {
        return reinterpret_cast<PluginEntryFunction>(library->symbol("QXAPluginMain"));
    }

    std::string loadError;
    std::unique_ptr<PluginLibrary> library =
        PluginLibrary::open(testing_paths::pluginPath("Malvoree"), loadError);
};

TEST_F(MalvoreeLibrary, IdentityThroughTheDispatcher) {
    DescriptorRecord* record = entry()(hostAnswering);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->signature, kDescriptorSignature);
    EXPECT_EQ(record->inputCount, 2);
    EXPECT_EQ(record->outputCount, 2);
    EXPECT_EQ(record->parameterCount, 22);
    EXPECT_EQ(record->programCount, 16);
    EXPECT_EQ(record->pluginId, fourCharCode('M', 'a', 'V', 'o'));
    // FlagReplacing, plus FlagEditor exactly when an editor answers the bounds query.
    EditorRect* bounds = nullptr;
    const bool hasEditor = dispatch(record, EditorBoundsQuery, 0, 0, &bounds) != 0;
    EXPECT_EQ(record->flagBits, FlagReplacing | (hasEditor ? FlagEditor : 0));
    EXPECT_EQ(dispatch(record, CategoryQuery), 1);
    EXPECT_EQ(dispatch(record, VendorVersionQuery), 0x01010010);
    EXPECT_EQ(dispatch(record, CapabilityQuery, 0, 0, const_cast<char*>("receiveQxaTimeInfo")), -1);
    EXPECT_EQ(text(record, EffectNameQuery), "Malvoree");
    EXPECT_EQ(text(record, VendorNameQuery), "Quellmark Sound Laboratories");
    EXPECT_EQ(text(record, ProgramNameQuery), "Init 1");
    EXPECT_EQ(text(record, ParameterTitleQuery, 4), " Pan  1");
    EXPECT_EQ(text(record, ParameterUnitQuery, 3), "  dB  ");
    EXPECT_EQ(text(record, ParameterTextQuery, 0), " 0.714");
    EXPECT_EQ(dispatch(record, Shutdown), 1);
}

TEST_F(MalvoreeLibrary, RendersAnEchoThroughTheRecord) {
    DescriptorRecord* record = entry()(hostAnswering);
    ASSERT_NE(record, nullptr);
    dispatch(record, Initialise);
    dispatch(record, SampleRateChange, 0, 0, nullptr, 44100.0f);
    dispatch(record, BlockSizeChange, 0, 512);
    dispatch(record, PowerChange, 0, 1);
    // Only head 2 (0.5 s) is heard, fully wet (Mix 1).
    for (int32_t index : {3, 13, 18})
        record->writeParameterFn(record, index, 0.0f);
    record->writeParameterFn(record, 6, 0.0f); // no feedback
    record->writeParameterFn(record, 7, 0.0f); // no damping
    record->writeParameterFn(record, 8, 1.0f); // full volume
    EXPECT_EQ(record->readParameterFn(record, 8), 1.0f);
    std::vector<float> left(512), right(512), outLeft(512), outRight(512);
    left[0] = 1.0f;
    float peak = 0.0f;
    int32_t peakAt = -1;
    for (int32_t block = 0; block < 100; ++block) {
        float* in[2] = {left.data(), right.data()};
        float* out[2] = {outLeft.data(), outRight.data()};
        record->replaceFn(record, in, out, 512);
        left[0] = 0.0f;
        for (int32_t i = 0; i < 512; ++i) {
            if (outLeft[static_cast<size_t>(i)] > peak) {
                peak = outLeft[static_cast<size_t>(i)];
                peakAt = block * 512 + i;
            }
        }
    }
    // Head 2: left weight 0.4 and wet 0.5, of which pan 0.75 leaves a quarter on the left.
    EXPECT_EQ(peakAt, 44100);
    EXPECT_NEAR(peak, 0.4f * 0.5f * 0.25f, 1e-6f);
    EXPECT_EQ(dispatch(record, Shutdown), 1);
}

TEST_F(MalvoreeLibrary, HostWithoutVersionGetsNothing) {
    EXPECT_EQ(entry()(hostSilent), nullptr);
}

} // namespace
