// A small effect used by the tests through the real library boundary: two programs, three
// parameters, stereo gain. Test code only.
#include "audioeffectx.h"

#include <cstdio>
#include <new>
#include <string_view>

namespace {

constexpr int32_t kProgramCount = 2;
constexpr int32_t kParameterCount = 3;
constexpr const char* kTitles[kParameterCount] = {"Gain", "Pan", "Mode"};
constexpr const char* kUnits[kParameterCount] = {"dB", "amount", "step"};

class TestPlug : public AudioEffectX {
public:
    explicit TestPlug(HostCallback host) : AudioEffectX(host, kProgramCount, kParameterCount) {
        assignInputCount(2);
        assignOutputCount(2);
        assignUniqueId(fourCharCode('Q', 'x', 'T', 's'));
        std::snprintf(programNames_[0], sizeof(programNames_[0]), "Unity");
        std::snprintf(programNames_[1], sizeof(programNames_[1]), "Quiet");
        values_[1][0] = 0.25f;
    }

    void renderReplacing(float** inputs, float** outputs, int32_t frames) override {
        const float gain = values_[currentProgram_][0] * 2.0f;
        for (int32_t channel = 0; channel < 2; ++channel)
            for (int32_t i = 0; i < frames; ++i)
                outputs[channel][i] = inputs[channel][i] * gain;
    }

    void writeParameter(int32_t index, float value) override {
        if (index >= 0 && index < kParameterCount) values_[currentProgram_][index] = value;
    }
    float readParameter(int32_t index) override {
        return index >= 0 && index < kParameterCount ? values_[currentProgram_][index] : 0.0f;
    }
    void selectProgram(int32_t program) override {
        if (program >= 0 && program < kProgramCount) currentProgram_ = program;
    }
    void renameProgram(char* name) override {
        copyBounded(programNames_[currentProgram_], name, kNameLength);
    }
    void copyProgramName(char* buffer) override {
        copyBounded(buffer, programNames_[currentProgram_], kNameLength);
    }
    bool copyIndexedProgramName(int32_t, int32_t index, char* text) override {
        if (index < 0 || index >= kProgramCount) return false;
        copyBounded(text, programNames_[index], kNameLength);
        return true;
    }
    void copyParameterTitle(int32_t index, char* buffer) override {
        copyBounded(buffer, index >= 0 && index < kParameterCount ? kTitles[index] : "", 8);
    }
    void copyParameterUnit(int32_t index, char* buffer) override {
        copyBounded(buffer, index >= 0 && index < kParameterCount ? kUnits[index] : "", 8);
    }
    void copyParameterText(int32_t index, char* buffer) override {
        if (index == 0)
            formatDecibels(readParameter(0) * 2.0f, buffer, 8);
        else
            formatFloat(readParameter(index), buffer, 8);
    }
    bool describeInput(int32_t index, PinInfo* pin) override { return describePin(index, pin); }
    bool describeOutput(int32_t index, PinInfo* pin) override { return describePin(index, pin); }
    bool copyEffectName(char* text) override {
        copyBounded(text, "QxaTest", 32);
        return true;
    }
    bool copyVendorName(char* text) override {
        copyBounded(text, "Quellmark Sound Laboratories", 64);
        return true;
    }
    bool copyProductName(char* text) override { return copyEffectName(text); }
    int32_t vendorVersionNumber() override { return 0x01020003; }
    int32_t answerCapability(const char* text) override {
        return std::string_view(text) == "bypass" ? 1 : -1;
    }
    int32_t pluginCategory() override { return 1; }
    // Lets the tests see what the load notification stored.
    intptr_t handleVendorCall(int32_t index, intptr_t, void*, float) override {
        return index == kModuleHandleQuery ? reinterpret_cast<intptr_t>(moduleHandle) : 0;
    }

    static constexpr int32_t kModuleHandleQuery = fourCharCode('m', 'o', 'd', 'h');

private:
    static constexpr int32_t kNameLength = 23;

    bool describePin(int32_t index, PinInfo* pin) {
        if (index < 0 || index > 1) return false;
        std::snprintf(pin->label, sizeof(pin->label), "QxaTest %1d", index + 1);
        pin->pinFlags = 3;
        return true;
    }

    float values_[kProgramCount][kParameterCount] = {{0.5f, 0.5f, 0.0f}, {0.5f, 0.5f, 0.0f}};
    char programNames_[kProgramCount][kNameLength + 1] = {};
};

} // namespace

AudioEffect* buildEffectObject(HostCallback host) {
    return new (std::nothrow) TestPlug(host);
}
