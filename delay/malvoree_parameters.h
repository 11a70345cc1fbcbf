// Malvoree's parameter facts, listed once: index, title, unit, default and what kind of value
// each one is. The effect, its value texts and the editor all read this table, so nothing else
// spells out a parameter number.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace malvoree {

constexpr int32_t kHeadCount = 4;
constexpr int32_t kParametersPerHead = 5;
constexpr int32_t kParameterCount = 22;
constexpr int32_t kProgramCount = 16;
constexpr int32_t kMaxDelayMilliseconds = 2000;
// Program names are kept to this many characters.
constexpr int32_t kStoredProgramNameLength = 23;

// Offsets of a head's five parameters from its first one (5 x head).
enum HeadParameter : int32_t {
    kHeadDelay = 0,
    kHeadFeedback = 1,
    kHeadFilter = 2,
    kHeadVolume = 3,
    kHeadPan = 4,
};

constexpr int32_t kTempoParameter = 20;
constexpr int32_t kMixParameter = 21;

constexpr int32_t headParameterIndex(int32_t head, HeadParameter which) {
    return head * kParametersPerHead + which;
}

enum class ParameterKind : uint8_t { DelayTime, Feedback, Filter, Volume, Pan, TempoSync, Mix };

struct ParameterInfo {
    const char* title; // stored exactly, blanks included
    const char* unit;
    float defaultValue;
    ParameterKind kind;
};

// The delay-time defaults are given by their exact single-precision bits (5/14, 6/14 and 4/14 of
// the range, rounded), so that default settings compare equal bit for bit.
constexpr std::array<ParameterInfo, kParameterCount> kParameters{{
    {"Delay 1", "s", std::bit_cast<float>(0x3EB6DB6Eu), ParameterKind::DelayTime},
    {"Feedb 1", "%", 0.5f, ParameterKind::Feedback},
    {"Filtr 1", "%", 0.5f, ParameterKind::Filter},
    {"Volum 1", "  dB  ", 0.75f, ParameterKind::Volume},
    {" Pan  1", "", 0.25f, ParameterKind::Pan},
    {"Delay 2", "s", 0.5f, ParameterKind::DelayTime},
    {"Feedb 2", "%", 0.5f, ParameterKind::Feedback},
    {"Filtr 2", "%", 0.5f, ParameterKind::Filter},
    {"Volum 2", "  dB  ", 0.75f, ParameterKind::Volume},
    {" Pan  2", "", 0.75f, ParameterKind::Pan},
    {"Delay 3", "s", std::bit_cast<float>(0x3EDB6DB8u), ParameterKind::DelayTime},
    {"Feedb 3", "%", 0.5f, ParameterKind::Feedback},
    {"Filtr 3", "%", 0.5f, ParameterKind::Filter},
    {"Volum 3", "  dB  ", 0.75f, ParameterKind::Volume},
    {" Pan  3", "", 0.4f, ParameterKind::Pan},
    {"Delay 4", "s", std::bit_cast<float>(0x3E924925u), ParameterKind::DelayTime},
    {"Feedb 4", "%", 0.5f, ParameterKind::Feedback},
    {"Filtr 4", "%", 0.5f, ParameterKind::Filter},
    {"Volum 4", "  dB  ", 0.75f, ParameterKind::Volume},
    {" Pan  4", "", 0.6f, ParameterKind::Pan},
    {"Tempo  ", "state ", 1.0f, ParameterKind::TempoSync},
    {"  Mix  ", "%", 1.0f, ParameterKind::Mix},
}};

constexpr bool isValidParameter(int32_t index) {
    return index >= 0 && index < kParameterCount;
}

// The head a parameter belongs to, or -1 for Tempo and Mix.
constexpr int32_t headOfParameter(int32_t index) {
    return index < kHeadCount * kParametersPerHead ? index / kParametersPerHead : -1;
}

// Fixed input weighting of heads 1 to 4 (left, right): no head hears a pure channel.
constexpr std::array<std::array<float, 2>, kHeadCount> kInputWeighting{{
    {0.25f, 0.75f},
    {0.4f, 0.6f},
    {0.6f, 0.4f},
    {0.75f, 0.25f},
}};

// Bytes a pan text needs, terminator included ("< C >", "L 64").
constexpr int32_t kPanTextBytes = 8;

// The pan position as the host and the editor show it: "L nn", "< C >" or "R nn".
// Any thread; writes at most kPanTextBytes bytes.
void formatPan(float value, char* text);

// A version number: kind in bits 29..31, major in 24..28, minor 16..23, sub 8..15, build 0..7.
constexpr int32_t packVersion(int32_t major, int32_t minor, int32_t sub, int32_t build,
                              int32_t kind) {
    return static_cast<int32_t>(((static_cast<uint32_t>(kind) & 0x7u) << 29) |
                                ((static_cast<uint32_t>(major) & 0x1Fu) << 24) |
                                ((static_cast<uint32_t>(minor) & 0xFFu) << 16) |
                                ((static_cast<uint32_t>(sub) & 0xFFu) << 8) |
                                (static_cast<uint32_t>(build) & 0xFFu));
}

} // namespace malvoree
