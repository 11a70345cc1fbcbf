#include "tagtext.h"

#include "notevaluetable.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string_view>

namespace malvoree {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Removes one of the given unit suffixes (letter case ignored), then blanks before it.
std::string_view withoutUnit(std::string_view text, std::initializer_list<std::string_view> units) {
    for (std::string_view unit : units) {
        if (text.size() >= unit.size() &&
            equalsIgnoringCase(text.substr(text.size() - unit.size()), unit))
            return trimmed(text.substr(0, text.size() - unit.size()));
    }
    return text;
}

// The whole text as a finite number (a leading '+' allowed).
bool readNumber(std::string_view text, double& number) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, number);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(number);
}

float unitValue(double value) {
    return static_cast<float>(std::clamp(value, 0.0, 1.0));
}

bool parseDelayTime(std::string_view text, bool tempoSync, float& value) {
    if (tempoSync) {
        for (int32_t i = 0; i < NoteValueTable::kCount; ++i) {
            if (equalsIgnoringCase(text, NoteValueTable::name(i))) {
                // The middle of the note's step, which the display shows as this name.
                value = (static_cast<float>(i) + 0.5f) / NoteValueTable::kCount;
                return true;
            }
        }
    }
    double seconds = 0.0;
    if (!readNumber(withoutUnit(text, {"seconds", "sec", "s"}), seconds)) return false;
    value = unitValue(seconds * 1000.0 / kMaxDelayMilliseconds);
    return true;
}

bool parsePercent(std::string_view text, float& value) {
    double percent = 0.0;
    if (!readNumber(withoutUnit(text, {"%"}), percent)) return false;
    value = unitValue(percent / 100.0);
    return true;
}

bool parseDecibels(std::string_view text, float& value) {
    text = withoutUnit(text, {"db"});
    if (equalsIgnoringCase(text, "-oo") || equalsIgnoringCase(text, "-inf")) {
        value = 0.0f;
        return true;
    }
    double decibels = 0.0;
    if (!readNumber(text, decibels)) return false;
    value = unitValue(std::pow(10.0, decibels / 20.0));
    return true;
}

// Pan positions run from 0 (L 64) through 64 (centre) to 128 (R 64): the value is position / 128.
bool parsePan(std::string_view text, float& value) {
    double position = 0.0;
    if (equalsIgnoringCase(text, "c") || equalsIgnoringCase(text, "< c >") ||
        equalsIgnoringCase(text, "<c>")) {
        position = 64.0;
    } else if (!text.empty() && (text.front() == 'L' || text.front() == 'l' ||
                                 text.front() == 'R' || text.front() == 'r')) {
        double distance = 0.0;
        if (!readNumber(trimmed(text.substr(1)), distance) || distance < 0.0) return false;
        position = (text.front() == 'L' || text.front() == 'l') ? 64.0 - distance : 64.0 + distance;
    } else {
        double offset = 0.0;
        if (!readNumber(text, offset)) return false;
        position = 64.0 + offset;
    }
    value = unitValue(position / 128.0);
    return true;
}

} // namespace

bool parseTagText(ParameterKind kind, const char* text, bool tempoSync, float& value) {
    if (!text) return false;
    const std::string_view typed = trimmed(text);
    switch (kind) {
    case ParameterKind::DelayTime:
        return parseDelayTime(typed, tempoSync, value);
    case ParameterKind::Feedback:
    case ParameterKind::Filter:
        return parsePercent(typed, value);
    case ParameterKind::Volume:
        return parseDecibels(typed, value);
    case ParameterKind::Pan:
        return parsePan(typed, value);
    default:
        return false;
    }
}

} // namespace malvoree
