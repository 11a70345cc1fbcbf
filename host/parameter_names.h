// Parameters by the names people see: a plug-in's titles, and the captions printed on the
// editor panels of the plug-ins this project ships (with the head number where a panel has four
// heads: "Feedback 2"). Names match with letter case and every blank ignored; an unknown name
// gets the nearest known names as suggestions. Host-side only; allocates.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ParameterName {
    std::string name; // as a person writes it: a title, trimmed, or a caption
    int32_t index;
};

// The comparison key: lower case, every blank removed ("Pan  1" and "pan1" are both "pan1").
std::string parameterNameKey(const std::string& name);

// The editor captions that stand for parameters of the plug-in with this unique id (none for
// other plug-ins).
std::vector<ParameterName> captionNames(int32_t pluginId);

// The index of the parameter that `text` names: a decimal index below `count`, or a name whose
// key equals the text's key. -1 when none.
int32_t findParameterName(const std::vector<ParameterName>& names, int32_t count,
                          const std::string& text);

// Up to `limit` names nearest to `text` (by edit distance between keys, then by index), each
// named once per parameter; names that are far off are left out.
std::vector<std::string> nearestParameterNames(const std::vector<ParameterName>& names,
                                               const std::string& text, size_t limit = 3);
