// The synth's parameter facts in one place: index, title, unit and the value of a new ("Init")
// program. The effect class, its texts and the editor all read this table; no other file
// spells a parameter number.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

enum SynthParameter : int32_t {
    OscRang = 0,
    OscWave,
    Osc2Det,
    LfoFreq,
    VcfCut,
    VcfReso,
    VcfAtt,
    VcfDec,
    VcfSus,
    VcfRel,
    VcaAtt,
    VcaDec,
    VcaSus,
    VcaRel,
};

constexpr int32_t kSynthParameterCount = 14;
constexpr int32_t kSynthProgramCount = 16;

struct SynthParameterInfo {
    SynthParameter index;
    const char* title;
    const char* unit;
    float initValue;
};

constexpr std::array<SynthParameterInfo, kSynthParameterCount> kSynthParameters{{
    {OscRang, "OscRang", "amount", 0.5f},
    {OscWave, "OscWave", "wave", 0.5f},
    {Osc2Det, "Osc2Det", "amount", 0.52f},
    {LfoFreq, "LfoFreq", "amount", 0.25f},
    {VcfCut, "VcfCut", "amount", 0.5f},
    {VcfReso, "VcfReso", "amount", 0.33f},
    {VcfAtt, "VcfAtt", "amount", 0.0f},
    {VcfDec, "VcfDec", "amount", 0.25f},
    {VcfSus, "VcfSus", "amount", 0.5f},
    {VcfRel, "VcfRel", "amount", 0.5f},
    {VcaAtt, "VcaAtt", "amount", 0.0f},
    {VcaDec, "VcaDec", "amount", 1.0f},
    {VcaSus, "VcaSus", "amount", 1.0f},
    {VcaRel, "VcaRel", "amount", 0.0f},
}};

constexpr bool parameterTableIsInOrder() {
    for (int32_t i = 0; i < kSynthParameterCount; ++i)
        if (kSynthParameters[static_cast<size_t>(i)].index != i) return false;
    return true;
}
static_assert(parameterTableIsInOrder(), "rows must be listed in parameter order");

constexpr bool isSynthParameter(int32_t index) {
    return index >= 0 && index < kSynthParameterCount;
}
