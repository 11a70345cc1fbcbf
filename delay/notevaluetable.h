// NoteValueTable: the 14 note lengths a delay time selects when the delay follows the host
// tempo, with the names the editor shows for them. A constant table shared by every instance.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class NoteValueTable {
public:
    static constexpr int32_t kCount = 14;

    // The note index a delay amount (0..1) selects: trunc(amount x 14), limited to 0..13.
    // Any thread; no allocation.
    static int32_t indexForAmount(float amount);

    // Length of note `index` in quarter notes; index must lie in 0..13.
    static double beats(int32_t index) { return kBeats[static_cast<size_t>(index)]; }
    // Display name of note `index`, e.g. "1/8 *"; index must lie in 0..13.
    static const char* name(int32_t index) { return kNames[static_cast<size_t>(index)]; }

private:
    // The triplet entries are the truncated decimals, not exact thirds, so that tempo-following
    // delay lengths come out exactly as they always have.
    static constexpr std::array<double, kCount> kBeats{0.125,
                                                       0.1666666666666,
                                                       0.25,
                                                       0.3333333333333,
                                                       0.375,
                                                       0.5,
                                                       0.6666666666666,
                                                       0.75,
                                                       1.0,
                                                       1.333333333333,
                                                       1.5,
                                                       2.0,
                                                       3.0,
                                                       4.0};
    static constexpr std::array<const char*, kCount> kNames{
        "1/32",  "1/16 T", "1/16",  "1/8 T", "1/16 *", "1/8", "1/4 T",
        "1/8 *", "1/4",    "1/2 T", "1/4 *", "1/2",    "3/4", "1"};
};
