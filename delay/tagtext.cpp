#include "tagtext.h"

#include "notevaluetable.h"
#include "valuetext.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>

namespace malvoree {

namespace {

// Texts are cut to this many characters for percentages, decibels and pans.
constexpr int32_t kShortTextLength = 5;
constexpr int32_t kFormattedLength = 8;
// Values within this many steps of float precision either side are tried for the one that
// shows the typed number; the shown texts lose at most a few.
constexpr int kNearbySteps = 64;

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

// How a parse went: refused, a name (note value, "-oo", "C"), or a number.
enum class Reading { Refused, Named, Number };

Reading parseDelayTime(std::string_view text, bool tempoSync, float& value) {
    if (tempoSync) {
        for (int32_t i = 0; i < NoteValueTable::kCount; ++i) {
            if (equalsIgnoringCase(text, NoteValueTable::name(i))) {
                // The middle of the note's step, which the display shows as this name.
                value = (static_cast<float>(i) + 0.5f) / NoteValueTable::kCount;
                return Reading::Named;
            }
        }
    }
    double seconds = 0.0;
    if (!readNumber(withoutUnit(text, {"seconds", "sec", "s"}), seconds)) return Reading::Refused;
    value = unitValue(seconds * 1000.0 / kMaxDelayMilliseconds);
    return Reading::Number;
}

Reading parsePercent(std::string_view text, float& value) {
    double percent = 0.0;
    if (!readNumber(withoutUnit(text, {"%"}), percent)) return Reading::Refused;
    value = unitValue(percent / 100.0);
    return Reading::Number;
}

Reading parseDecibels(std::string_view text, float& value) {
    text = withoutUnit(text, {"db"});
    if (equalsIgnoringCase(text, "-oo") || equalsIgnoringCase(text, "-inf")) {
        value = 0.0f;
        return Reading::Named;
    }
    double decibels = 0.0;
    if (!readNumber(text, decibels)) return Reading::Refused;
    if (decibels == 0.0 && std::signbit(decibels)) {
        // "-0.00" is what values a hair below full volume show; full volume shows "0.000".
        value = std::nextafter(1.0f, 0.0f);
        return Reading::Named;
    }
    value = unitValue(std::pow(10.0, decibels / 20.0));
    return Reading::Number;
}

// Pan positions run from 0 (L 64) through 64 (centre) to 128 (R 64): the value is position / 128.
Reading parsePan(std::string_view text, float& value) {
    double position = 0.0;
    if (equalsIgnoringCase(text, "c") || equalsIgnoringCase(text, "< c >") ||
        equalsIgnoringCase(text, "<c>")) {
        value = 0.5f;
        return Reading::Named;
    }
    if (!text.empty() && (text.front() == 'L' || text.front() == 'l' || text.front() == 'R' ||
                          text.front() == 'r')) {
        double distance = 0.0;
        if (!readNumber(trimmed(text.substr(1)), distance) || distance < 0.0)
            return Reading::Refused;
        position = (text.front() == 'L' || text.front() == 'l') ? 64.0 - distance : 64.0 + distance;
    } else {
        double offset = 0.0;
        if (!readNumber(text, offset)) return Reading::Refused;
        position = 64.0 + offset;
    }
    value = unitValue(position / 128.0);
    return Reading::Number;
}

Reading parseTempo(std::string_view text, float& value) {
    if (equalsIgnoringCase(text, "on") || equalsIgnoringCase(text, "sync")) {
        value = 1.0f;
        return Reading::Named;
    }
    if (equalsIgnoringCase(text, "off")) {
        value = 0.0f;
        return Reading::Named;
    }
    double number = 0.0;
    if (!readNumber(text, number)) return Reading::Refused;
    value = number >= 0.5 ? 1.0f : 0.0f;
    return Reading::Named;
}

Reading parseKind(ParameterKind kind, std::string_view text, bool tempoSync, float& value) {
    switch (kind) {
    case ParameterKind::DelayTime:
        return parseDelayTime(text, tempoSync, value);
    case ParameterKind::Feedback:
    case ParameterKind::Filter:
    case ParameterKind::Mix:
        return parsePercent(text, value);
    case ParameterKind::Volume:
        return parseDecibels(text, value);
    case ParameterKind::Pan:
        return parsePan(text, value);
    case ParameterKind::TempoSync:
        return parseTempo(text, value);
    }
    return Reading::Refused;
}

// The text a value of this kind shows as a number (delay times in seconds), as the host's value
// texts and the displays write it.
void shownText(ParameterKind kind, float value, char* text) {
    switch (kind) {
    case ParameterKind::DelayTime:
        std::snprintf(text, 16, " %1.3f",
                      kMaxDelayMilliseconds * static_cast<double>(value) * 0.001);
        return;
    case ParameterKind::Feedback:
    case ParameterKind::Filter:
    case ParameterKind::Mix:
        formatFloatText(value * 100.0f, text, kFormattedLength);
        break;
    case ParameterKind::Volume:
        formatDecibelsText(value, text, kFormattedLength);
        break;
    case ParameterKind::Pan:
        formatPan(value, text);
        return;
    case ParameterKind::TempoSync:
        text[0] = '\0';
        return;
    }
    text[kShortTextLength] = '\0';
}

// How far what `candidate` shows lies from the typed value, in the value's own terms.
double shownDistance(ParameterKind kind, float candidate, float typed) {
    char text[16] = {};
    shownText(kind, candidate, text);
    float shown = 0.0f;
    if (parseKind(kind, trimmed(text), false, shown) == Reading::Refused)
        return std::numeric_limits<double>::infinity();
    return std::fabs(static_cast<double>(shown) - static_cast<double>(typed));
}

// Of the values next to `typed`, the nearest one whose shown text reads back as closest to it:
// usually `typed` itself, or a step or two of float precision away when the shown text would
// have cut off the last typed digit.
float settleOnShownValue(ParameterKind kind, float typed) {
    float best = typed;
    double bestDistance = shownDistance(kind, typed, typed);
    float up = typed, down = typed;
    for (int step = 0; step < kNearbySteps && bestDistance > 0.0; ++step) {
        up = std::nextafter(up, 2.0f);
        down = std::nextafter(down, -1.0f);
        for (const float candidate : {up, down}) {
            if (candidate < 0.0f || candidate > 1.0f) continue;
            const double distance = shownDistance(kind, candidate, typed);
            if (distance < bestDistance) {
                best = candidate;
                bestDistance = distance;
            }
        }
    }
    return best;
}

bool parse(ParameterKind kind, const char* text, bool tempoSync, float& value) {
    if (!text) return false;
    float parsed = 0.0f;
    const Reading reading = parseKind(kind, trimmed(text), tempoSync, parsed);
    if (reading == Reading::Refused) return false;
    value = reading == Reading::Number ? settleOnShownValue(kind, parsed) : parsed;
    return true;
}

} // namespace

bool parseTagText(ParameterKind kind, const char* text, bool tempoSync, float& value) {
    if (kind == ParameterKind::TempoSync || kind == ParameterKind::Mix) return false;
    return parse(kind, text, tempoSync, value);
}

bool parseValueText(ParameterKind kind, const char* text, bool tempoSync, float& value) {
    return parse(kind, text, tempoSync, value);
}

} // namespace malvoree
