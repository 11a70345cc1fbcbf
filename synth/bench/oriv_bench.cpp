// Oriv speed: ten voices rendering at 44.1 kHz in blocks of 512 frames, a held ten-note chord,
// and the creation of a second instance.
//
// Counters: x_realtime is seconds of sound per second of computing; ns_per_voice_sample is the
// computing time of one voice for one sample.
//
// Why two render scenarios: the voice manager lets at most half the pool (5 voices) hold notes;
// from the sixth overlapping note on, each new note fades the oldest held voice out in 0.049 s.
// A held ten-note chord therefore sounds with ten voices only for its first 50 ms and then
// with five. "TenVoices" keeps all ten voices sounding in every block by striking two new
// notes per block: five voices hold their notes while five are in the fade-out of stolen
// voices. "HeldChord" measures the five voices a held ten-note chord settles to.
//
// With --callgrind=SCENARIO (tenvoices or heldchord) the program instead renders that
// scenario for a few seconds of sound with callgrind instrumentation switched on around the
// render loop only, and prints the number of voice-samples rendered; run it under
// valgrind --tool=callgrind --instr-atstart=no.
#include "engine/microsynthvoicer.h"
#include "microsynth.h"
#include "simdlevel_report.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#if defined(ORIV_HAVE_CALLGRIND)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

namespace {

constexpr float kSampleRate = 44100.0f;
constexpr int32_t kBlock = 512;

intptr_t benchHost(DescriptorRecord*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == HostVersion ? kInterfaceVersion : 0;
}

// A block's worth of MIDI events in the host's format.
class EventList {
public:
    void add(int32_t delta, uint8_t status, uint8_t data1, uint8_t data2) {
        MidiEventRecord record{};
        record.type = kMidiEventType;
        record.byteSize = sizeof(MidiEventRecord);
        record.deltaFrames = delta;
        record.midiData[0] = status;
        record.midiData[1] = data1;
        record.midiData[2] = data2;
        records_.push_back(record);
    }
    EventBlock* block() {
        storage_.assign(2 + records_.size(), nullptr);
        auto* header = reinterpret_cast<EventBlock*>(storage_.data());
        header->count = static_cast<int32_t>(records_.size());
        header->reserved = 0;
        for (size_t i = 0; i < records_.size(); ++i)
            header->events[i] = reinterpret_cast<EventHeader*>(&records_[i]);
        return header;
    }
    void clear() { records_.clear(); }

private:
    std::vector<MidiEventRecord> records_;
    std::vector<void*> storage_;
};

class Rig {
public:
    Rig() : synth_(std::make_unique<MicroSynth>(benchHost)), left_(kBlock), right_(kBlock) {
        synth_->changeSampleRate(kSampleRate);
        synth_->changeBlockSize(kBlock);
        synth_->onResume();
        synth_->selectProgram(0); // Basic Patch
    }
    void render(EventBlock* events) {
        if (events) synth_->handleEvents(events);
        float* outputs[2] = {left_.data(), right_.data()};
        synth_->renderReplacing(nullptr, outputs, kBlock);
    }
    int32_t soundingVoices() { return synth_->voicer().playingCount(); }

private:
    std::unique_ptr<MicroSynth> synth_;
    std::vector<float> left_;
    std::vector<float> right_;
};

// Two new notes per block keep the pool of ten full: five hold, five fade out.
class TenVoices {
public:
    explicit TenVoices(Rig& rig) : rig_(rig) {
        for (int32_t i = 0; i < 200; ++i) // two seconds: every voice has been reused
            step();
    }
    void step() {
        events_.clear();
        for (int32_t delta : {0, kBlock / 2}) {
            events_.add(delta, 0x90, kNotes[next_ % kNoteCount], 100);
            ++next_;
        }
        rig_.render(events_.block());
    }

private:
    static constexpr uint8_t kNotes[] = {48, 52, 55, 60, 64, 67, 72, 76, 79, 84, 43, 47, 50};
    static constexpr int32_t kNoteCount = sizeof kNotes;
    Rig& rig_;
    EventList events_;
    int32_t next_ = 0;
};

// A ten-note chord, held; after the stolen voices have faded, five voices sustain.
class HeldChord {
public:
    explicit HeldChord(Rig& rig) : rig_(rig) {
        EventList chord;
        for (uint8_t note : {36, 43, 48, 52, 55, 60, 64, 67, 72, 76})
            chord.add(0, 0x90, note, 100);
        rig_.render(chord.block());
        for (int32_t i = 0; i < 100; ++i)
            rig_.render(nullptr);
    }
    void step() { rig_.render(nullptr); }

private:
    Rig& rig_;
};

template <class Scenario>
void renderScenario(benchmark::State& state) {
    Rig rig;
    Scenario scenario(rig);
    const int32_t voices = rig.soundingVoices();
    for (auto _ : state)
        scenario.step();
    state.counters["voices"] = voices;
    state.counters["x_realtime"] =
        benchmark::Counter(kBlock / kSampleRate, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["ns_per_voice_sample"] =
        benchmark::Counter(1e-9 * kBlock * voices, benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

void BM_OrivTenVoices(benchmark::State& state) {
    renderScenario<TenVoices>(state);
}
void BM_OrivHeldChord(benchmark::State& state) {
    renderScenario<HeldChord>(state);
}

// The process-wide tables exist once the first instance has been built; this is the cost of
// every further instance (construction only).
void BM_OrivSecondInstance(benchmark::State& state) {
    auto first = std::make_unique<MicroSynth>(benchHost);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto second = std::make_unique<MicroSynth>(benchHost);
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(second.get());
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

BENCHMARK(BM_OrivTenVoices)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OrivHeldChord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OrivSecondInstance)->UseManualTime()->Unit(benchmark::kMicrosecond);

template <class Scenario>
int countInstructions() {
    constexpr int32_t kBlocks = 431; // five seconds of sound
    Rig rig;
    Scenario scenario(rig);
    int64_t voiceSamples = 0;
    CALLGRIND_START_INSTRUMENTATION;
    for (int32_t i = 0; i < kBlocks; ++i) {
        voiceSamples += int64_t{rig.soundingVoices()} * kBlock;
        scenario.step();
    }
    CALLGRIND_STOP_INSTRUMENTATION;
    std::printf("voice_samples %lld frames %d\n", static_cast<long long>(voiceSamples),
                kBlocks * kBlock);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--simd-levels") return printSimdLevels();
        if (argument == "--callgrind=tenvoices") return countInstructions<TenVoices>();
        if (argument == "--callgrind=heldchord") return countInstructions<HeldChord>();
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
