// Check 8: the host's two threads at once. The audio thread renders and plays back automation
// between blocks, while the user-interface thread writes parameters, switches, renames and
// reads programs and reads parameter texts and values, as hosts do when a user turns a knob of
// the generic editor, picks or names a preset during playback.
#include "check_support.h"
#include "checkrandom.h"
#include "heldnotes.h"
#include "renderrig.h"
#include "text_query.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

// A name of one letter repeated, so that a name read back half-written shows two letters.
std::string uniformName(CheckRandom& random) {
    const auto length = static_cast<size_t>(1 + random.below(kProgramNameMaxLength / 2));
    return std::string(length, static_cast<char>('A' + random.below(26)));
}

bool isUniform(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [&](char c) { return c == text.front(); });
}

} // namespace

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
                // Automation played back between blocks, on the render thread.
                if (parameters > 0)
                    for (int32_t write = renderRandom.below(3); write > 0; --write)
                        instance.writeParameter(renderRandom.below(parameters),
                                                renderRandom.unit());
                rig.render(kBlock, "44100 Hz, block 256, parameters changing on both threads");
                blocks.fetch_add(1, std::memory_order_relaxed);
            }
        } catch (const std::exception& failure) {
            renderFailure = failure.what();
        }
        stop.store(true, std::memory_order_release);
    });

    // The names the programs had; a name read later is one of these or one written here.
    std::vector<std::string> originalNames;
    for (int32_t program = 0; program < programs; ++program)
        originalNames.push_back(
            queryText(instance, IndexedProgramNameQuery, program, 0, kGenerousTextBytes).text);
    const auto isKnownName = [&](const std::string& text) {
        return isUniform(text) ||
               std::find(originalNames.begin(), originalNames.end(), text) != originalNames.end();
    };
    std::string nameFailure;

    int64_t writes = 0;
    int64_t programChanges = 0;
    int64_t renames = 0;
    int64_t reads = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!stop.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < deadline &&
           nameFailure.empty()) {
        const int32_t choice = random.below(20);
        if (choice < 12 && parameters > 0) {
            instance.writeParameter(random.below(parameters), random.unit());
            ++writes;
        } else if (choice < 14 && programs > 1) {
            instance.dispatch(ProgramSelect, 0, random.below(programs));
            ++programChanges;
        } else if (choice < 15 && programs > 0) {
            const std::string before =
                queryText(instance, ProgramNameQuery, 0, 0, kGenerousTextBytes).text;
            std::string name = uniformName(random);
            instance.dispatch(ProgramRename, 0, 0, name.data());
            const std::string shown =
                queryText(instance, ProgramNameQuery, 0, 0, kGenerousTextBytes).text;
            // A plug-in may cut or ignore a new name, but never mix it with another.
            if (shown != before && name.compare(0, shown.size(), shown) != 0)
                nameFailure = textf("program renamed \"%s\" reads back as \"%s\"", name.c_str(),
                                    shown.c_str());
            ++renames;
        } else if (choice < 16 && programs > 0) {
            const int32_t program = random.below(programs);
            const std::string name =
                queryText(instance, IndexedProgramNameQuery, program, 0, kGenerousTextBytes).text;
            if (!isKnownName(name))
                nameFailure = textf("program %d reads back as \"%s\", a name never written",
                                    program, name.c_str());
            (void)instance.dispatch(ProgramQuery);
            ++reads;
        } else if (parameters > 0) {
            const int32_t index = random.below(parameters);
            (void)instance.readParameter(index);
            (void)queryText(instance, ParameterTextQuery, index, 0, kGenerousTextBytes);
            ++reads;
        }
    }
    stop.store(true, std::memory_order_release);
    renderer.join();

    const std::string activity =
        textf("%lld parameter writes, %lld program changes, %lld renames and %lld reads on "
              "another thread",
              static_cast<long long>(writes), static_cast<long long>(programChanges),
              static_cast<long long>(renames), static_cast<long long>(reads));
    if (!renderFailure.empty()) failCheck(renderFailure + " during " + activity);
    if (!nameFailure.empty()) failCheck(nameFailure + " during " + activity);
    if (blocks.load() == 0) failCheck(textf("no block was rendered in %.1f s", seconds));
    return checkPassed(textf("%.1f s: %lld blocks rendered, with automation between them, "
                             "during %s; finite output",
                             seconds, static_cast<long long>(blocks.load()), activity.c_str()));
}
