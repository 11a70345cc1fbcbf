#include "parameter_names.h"

#include <algorithm>
#include <cctype>
#include <numeric>

namespace {

constexpr int32_t fourCharCode(char a, char b, char c, char d) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned char>(a)) << 24 |
                                static_cast<uint32_t>(static_cast<unsigned char>(b)) << 16 |
                                static_cast<uint32_t>(static_cast<unsigned char>(c)) << 8 |
                                static_cast<uint32_t>(static_cast<unsigned char>(d)));
}

constexpr int32_t kOrivId = fourCharCode('a', 'M', 'i', 'S');
constexpr int32_t kMalvoreeId = fourCharCode('M', 'a', 'V', 'o');

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> previous(b.size() + 1), current(b.size() + 1);
    std::iota(previous.begin(), previous.end(), size_t{0});
    for (size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (size_t j = 1; j <= b.size(); ++j)
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1,
                                   previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        std::swap(previous, current);
    }
    return previous[b.size()];
}

} // namespace

std::string parameterNameKey(const std::string& name) {
    std::string key;
    for (const unsigned char c : name)
        if (!std::isspace(c)) key += static_cast<char>(std::tolower(c));
    return key;
}

std::vector<ParameterName> captionNames(int32_t pluginId) {
    std::vector<ParameterName> names;
    if (pluginId == kOrivId) {
        // The panel: range and waveform selectors, detune and LFO knobs, then the filter's and
        // the amplifier's sections, each with attack, decay, sustain and release.
        names = {
            {"Range", 0},        {"Wave", 1},           {"Detune", 2},         {"LFO", 3},
            {"Cutoff", 4},       {"Reso", 5},           {"Resonance", 5},      {"Filter Attack", 6},
            {"Filter Decay", 7}, {"Filter Sustain", 8}, {"Filter Release", 9}, {"Amp Attack", 10},
            {"Amp Decay", 11},   {"Amp Sustain", 12},   {"Amp Release", 13}};
    } else if (pluginId == kMalvoreeId) {
        // Each head's block: Delay above, then Volume, Damp, Pan and Feedback; SYNC; the Wet/Dry
        // slider, whose parameter is Mix.
        const char* const headCaptions[] = {"Delay", "Feedback", "Damp", "Volume", "Pan"};
        for (int32_t head = 0; head < 4; ++head)
            for (int32_t part = 0; part < 5; ++part)
                names.push_back({std::string(headCaptions[part]) + " " + std::to_string(head + 1),
                                 head * 5 + part});
        names.push_back({"Sync", 20});
        names.push_back({"Wet", 21});
    }
    return names;
}

int32_t findParameterName(const std::vector<ParameterName>& names, int32_t count,
                          const std::string& text) {
    const std::string key = parameterNameKey(text);
    if (key.empty()) return -1;
    if (std::all_of(key.begin(), key.end(), [](unsigned char c) { return std::isdigit(c); })) {
        if (key.size() > 6) return -1;
        const int32_t index = std::stoi(key);
        return index < count ? index : -1;
    }
    for (const ParameterName& name : names)
        if (parameterNameKey(name.name) == key) return name.index;
    return -1;
}

std::vector<std::string> nearestParameterNames(const std::vector<ParameterName>& names,
                                               const std::string& text, size_t limit) {
    const std::string key = parameterNameKey(text);
    struct Candidate {
        size_t distance;
        size_t order;
        const ParameterName* name;
    };
    std::vector<Candidate> candidates;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string candidate = parameterNameKey(names[i].name);
        // In half steps: a name that only adds to what was typed ("volume" for "Volume 2": the
        // head number left out) is nearer than one with a letter changed.
        size_t distance = 2 * editDistance(key, candidate);
        if (candidate.size() > key.size() && candidate.compare(0, key.size(), key) == 0)
            distance = std::min(distance, size_t{1});
        // Further than half the longer name is no longer a likely slip of the fingers.
        if (distance > std::max(key.size(), candidate.size())) continue;
        candidates.push_back({distance, i, &names[i]});
    }
    std::stable_sort(
        candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
            return a.distance != b.distance ? a.distance < b.distance : a.order < b.order;
        });
    std::vector<std::string> result;
    std::vector<int32_t> named;
    for (const Candidate& candidate : candidates) {
        if (result.size() >= limit) break;
        if (std::find(named.begin(), named.end(), candidate.name->index) != named.end()) continue;
        named.push_back(candidate.name->index);
        result.push_back(candidate.name->name);
    }
    return result;
}
