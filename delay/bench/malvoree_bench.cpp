// Malvoree rendering stereo noise at 44.1 kHz in blocks of 512, all four heads active with
// feedback and damping (the default program), out of place as hosts usually call it.
//
//   malvoree_bench [Google Benchmark flags]   real-time factor (x_realtime, seconds of audio per
//                                             second of CPU)
//   malvoree_bench --callgrind [blocks]       renders `blocks` blocks between callgrind's start
//                                             and stop requests and prints the frame count
#include "malvoree.h"
#include "simdlevel_report.h"

#include <benchmark/benchmark.h>
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int32_t kBlock = 512;
constexpr float kSampleRate = 44100.0f;
constexpr int32_t kNoiseBlocks = 64;

intptr_t benchHost(DescriptorRecord*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == HostVersion ? kInterfaceVersion : 0;
}

class Rig {
public:
    Rig()
        : effect_(benchHost), left_(kBlock * kNoiseBlocks), right_(kBlock * kNoiseBlocks),
          outLeft_(kBlock), outRight_(kBlock) {
        std::mt19937 random(42);
        std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
        for (size_t i = 0; i < left_.size(); ++i) {
            left_[i] = sample(random);
            right_[i] = sample(random);
        }
        effect_.changeSampleRate(kSampleRate);
        effect_.changeBlockSize(kBlock);
        effect_.onResume();
        // Heads at different feedback amounts so every head keeps recirculating.
        for (int32_t h = 0; h < malvoree::kHeadCount; ++h)
            effect_.writeParameter(malvoree::headParameterIndex(h, malvoree::kHeadFeedback),
                                   0.55f + 0.1f * static_cast<float>(h));
        effect_.writeParameter(malvoree::kMixParameter, 0.6f);
        // Let the feedback glide settle and the tape fill.
        for (int32_t i = 0; i < 400; ++i)
            renderBlock(i);
    }

    void renderBlock(int32_t index) {
        const size_t at = static_cast<size_t>(index % kNoiseBlocks) * kBlock;
        float* in[2] = {left_.data() + at, right_.data() + at};
        float* out[2] = {outLeft_.data(), outRight_.data()};
        effect_.renderReplacing(in, out, kBlock);
    }

    float lastSample() const { return outLeft_[kBlock - 1]; }

private:
    Malvoree effect_;
    std::vector<float> left_, right_, outLeft_, outRight_;
};

void renderNoise(benchmark::State& state) {
    Rig rig;
    int32_t block = 0;
    for (auto _ : state) {
        rig.renderBlock(block++);
        benchmark::ClobberMemory();
    }
    const double frames = static_cast<double>(state.iterations()) * kBlock;
    state.counters["x_realtime"] =
        benchmark::Counter(frames / kSampleRate, benchmark::Counter::kIsRate);
    state.counters["frames"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}
BENCHMARK(renderNoise)->Name("malvoree_render_512_stereo");

int runForCallgrind(int32_t blocks) {
    Rig rig;
    CALLGRIND_START_INSTRUMENTATION;
    for (int32_t i = 0; i < blocks; ++i)
        rig.renderBlock(i);
    CALLGRIND_STOP_INSTRUMENTATION;
    std::printf("frames %lld\n", static_cast<long long>(blocks) * kBlock);
    // Keeps the output alive so the render loop cannot be dropped.
    return rig.lastSample() > 1e30f ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--simd-levels") == 0) return printSimdLevels();
    if (argc > 1 && std::strcmp(argv[1], "--callgrind") == 0)
        return runForCallgrind(argc > 2 ? std::atoi(argv[2]) : 2000);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
