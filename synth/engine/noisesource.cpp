#include "noisesource.h"

#include <mutex>

namespace {

float white[NoiseSource::kLength];
float smoothed[NoiseSource::kLength];
std::once_flag noiseBuilt;

// The classic portable rand() recurrence (values 0..32767). A private generator keeps the
// host's own rand() sequence untouched and the tables equal on every platform.
class PortableRandom {
public:
    int32_t next() {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<int32_t>((state_ / 65536u) % 32768u);
    }

private:
    uint32_t state_ = 1;
};

void fillTables() {
    PortableRandom random;
    float running = 0.0f;
    for (int32_t i = 0; i < NoiseSource::kLength; ++i) {
        white[i] = static_cast<float>(random.next() * 2.0 / 32767.0 - 1.0);
        running = white[i] * 0.45f + running * 0.75f;
        smoothed[i] = running;
    }
}

} // namespace

void NoiseSource::build() {
    std::call_once(noiseBuilt, fillTables);
}

const float* NoiseSource::whiteTable() {
    return white;
}

const float* NoiseSource::smoothedTable() {
    return smoothed;
}

float NoiseSource::Reader::next() {
    const float value = reversed_ ? table_[kLength - 1 - index_] : table_[index_];
    if (--index_ < 0) {
        index_ = kLength - 1;
        reversed_ = !reversed_;
    }
    return value;
}
