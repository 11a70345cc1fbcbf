#include "synth_test_support.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

namespace oriv_test {

namespace {
std::mutex requestMutex;
std::map<int32_t, int32_t> requests;
} // namespace

intptr_t hostCallback(DescriptorRecord*, int32_t opcode, int32_t, intptr_t, void*, float) {
    std::lock_guard<std::mutex> lock(requestMutex);
    ++requests[opcode];
    return opcode == HostVersion ? kInterfaceVersion : 0;
}

int32_t hostRequestCount(int32_t opcode) {
    std::lock_guard<std::mutex> lock(requestMutex);
    return requests[opcode];
}

void resetHostRequests() {
    std::lock_guard<std::mutex> lock(requestMutex);
    requests.clear();
}

EventList& EventList::add(int32_t delta, uint8_t status, uint8_t data1, uint8_t data2) {
    MidiEventRecord record{};
    record.type = kMidiEventType;
    record.byteSize = sizeof(MidiEventRecord);
    record.deltaFrames = delta;
    record.midiData[0] = status;
    record.midiData[1] = data1;
    record.midiData[2] = data2;
    records_.push_back(record);
    return *this;
}

EventBlock* EventList::block() {
    storage_.assign(2 + records_.size(), nullptr);
    auto* block = reinterpret_cast<EventBlock*>(storage_.data());
    block->count = static_cast<int32_t>(records_.size());
    for (size_t i = 0; i < records_.size(); ++i)
        block->events[i] = reinterpret_cast<EventHeader*>(&records_[i]);
    return block;
}

SynthRig::SynthRig(float sampleRate, int32_t blockSize)
    : synth_(std::make_unique<MicroSynth>(hostCallback)) {
    synth_->changeSampleRate(sampleRate);
    synth_->changeBlockSize(blockSize);
    synth_->onResume();
}

void SynthRig::render(int32_t frames, EventList* events) {
    if (events && !events->empty()) synth_->handleEvents(events->block());
    const size_t at = left_.size();
    left_.resize(at + static_cast<size_t>(frames), -99.0f);
    right_.resize(at + static_cast<size_t>(frames), -99.0f);
    float* outputs[2] = {left_.data() + at, right_.data() + at};
    synth_->renderReplacing(nullptr, outputs, frames);
}

int64_t SynthRig::firstSound() const {
    const auto it = std::find_if(left_.begin(), left_.end(), [](float v) { return v != 0.0f; });
    return it == left_.end() ? -1 : it - left_.begin();
}

FakeSynth::FakeSynth(double rate) : sampleRate(rate) {
    for (const SynthParameterInfo& info : kSynthParameters)
        values[info.index] = info.initValue;
}

double zeroCrossingFrequency(const std::vector<float>& signal, size_t begin, size_t end,
                             double sampleRate) {
    double first = -1.0;
    double last = -1.0;
    int32_t crossings = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if (signal[i - 1] < 0.0f && signal[i] >= 0.0f) {
            // Interpolated crossing position.
            const double at = static_cast<double>(i - 1) +
                              signal[i - 1] / static_cast<double>(signal[i - 1] - signal[i]);
            if (first < 0.0)
                first = at;
            else
                ++crossings;
            last = at;
        }
    }
    return crossings > 0 ? crossings * sampleRate / (last - first) : 0.0;
}

double powerAt(const std::vector<float>& signal, size_t begin, size_t end, double hz,
               double sampleRate) {
    const double twoPi = 2.0 * 3.14159265358979323846;
    const double coefficient = 2.0 * std::cos(twoPi * hz / sampleRate);
    const double length = static_cast<double>(end - begin);
    double previous = 0.0;
    double older = 0.0;
    double windowSum = 0.0;
    for (size_t i = begin; i < end; ++i) {
        const double window = 0.5 - 0.5 * std::cos(twoPi * static_cast<double>(i - begin) / length);
        windowSum += window;
        const double current = window * signal[i] + coefficient * previous - older;
        older = previous;
        previous = current;
    }
    const double magnitude = previous * previous + older * older - coefficient * previous * older;
    return windowSum > 0.0 ? 4.0 * magnitude / (windowSum * windowSum) : 0.0;
}

double rootMeanSquare(const std::vector<float>& signal, size_t begin, size_t end) {
    double sum = 0.0;
    for (size_t i = begin; i < end; ++i)
        sum += static_cast<double>(signal[i]) * signal[i];
    return end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0.0;
}

} // namespace oriv_test
