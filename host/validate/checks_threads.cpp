// Check 8: the host's two threads at once. The audio thread renders while the user-interface
// thread writes parameters, switches programs and reads parameter texts, as hosts do when a
// user turns a knob of the generic editor or picks a preset during playback.
#include "check_support.h"
#include "checkrandom.h"
#include "heldnotes.h"
#include "renderrig.h"
#include "text_query.h"

#include <atomic>
#include <chrono>
#include <thread>

CheckOutcome runParameterThreadSafetyCheck(const CheckSettings& settings) {
    CheckSubject subject = openSubject(settings);
    CheckInstance& instance = *subject.instance;
    CheckRandom random(settings.seed);
    const bool instrument = instance.isInstrument();
    const int32_t parameters = instance.parameterCount();
    const int32_t programs = instance.programCount();
    const double seconds = settings.strictness <= 5 ? 0.4 * settings.strictness
                                                    : 2.0 + 0.6 * (settings.strictness - 5);

    constexpr int32_t kBlock = 256;
    instance.prepare(44100.0f, kBlock);
    std::atomic<bool> stop{false};
    std::atomic<int64_t> blocks{0};
    std::string renderFailure; // written by the render thread only, read after it is joined
    const uint64_t renderSeed = random.next();

    std::thread renderer([&] {
        try {
            CheckRandom renderRandom(renderSeed);
            RenderRig rig(instance, kBlock, renderRandom.next());
            rig.setInputLevel(instrument ? 0.0f : 0.5f);
            HeldNotes notes;
            for (int64_t block = 0; !stop.load(std::memory_order_acquire); ++block) {
                if (instrument && block % 32 == 0) {
                    if (notes.size() >= 3) notes.releaseOldest(rig.events(), 0);
                    notes.press(rig.events(), renderRandom, renderRandom.below(kBlock));
                }
                rig.render(kBlock, "44100 Hz, block 256, parameters changing on another thread");
                blocks.fetch_add(1, std::memory_order_relaxed);
            }
        } catch (const std::exception& failure) {
            renderFailure = failure.what();
        }
        stop.store(true, std::memory_order_release);
    });

    int64_t writes = 0;
    int64_t programChanges = 0;
    int64_t reads = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!stop.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < deadline) {
        const int32_t choice = random.below(10);
        if (choice < 7 && parameters > 0) {
            instance.writeParameter(random.below(parameters), random.unit());
            ++writes;
        } else if (choice < 8 && programs > 1) {
            instance.dispatch(ProgramSelect, 0, random.below(programs));
            ++programChanges;
        } else if (parameters > 0) {
            const int32_t index = random.below(parameters);
            (void)instance.readParameter(index);
            (void)queryText(instance, ParameterTextQuery, index, 0, 64);
            ++reads;
        }
    }
    stop.store(true, std::memory_order_release);
    renderer.join();

    const std::string activity =
        textf("%lld parameter writes, %lld program changes and %lld text "
              "reads on another thread",
              static_cast<long long>(writes), static_cast<long long>(programChanges),
              static_cast<long long>(reads));
    if (!renderFailure.empty()) failCheck(renderFailure + " during " + activity);
    if (blocks.load() == 0) failCheck(textf("no block was rendered in %.1f s", seconds));
    return checkPassed(textf("%.1f s: %lld blocks rendered during %s; finite output", seconds,
                             static_cast<long long>(blocks.load()), activity.c_str()));
}
