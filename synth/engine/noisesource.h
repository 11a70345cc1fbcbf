// NoiseSource: two process-wide noise tables (white, and a smoothed copy) and a reader that
// walks them back and forth. Voices use it for random panning.
#pragma once

#include <cstdint>

class NoiseSource {
public:
    static constexpr int32_t kLength = 16384;

    // Fills both tables once per process; later and concurrent calls wait for that one.
    static void build();
    // Valid once build() has returned.
    static const float* whiteTable();
    static const float* smoothedTable();

    // A reader starts at the last entry and walks down; each time it passes the first entry it
    // turns round and reads the table mirrored.
    class Reader {
    public:
        explicit Reader(const float* table) : table_(table) {}
        float next();

    private:
        const float* table_;
        int32_t index_ = kLength - 1;
        bool reversed_ = false;
    };
};
