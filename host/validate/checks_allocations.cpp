// Check 9: nothing allocated or released on the render thread while it delivers events,
// renders, or writes automation. Any allocation there can wait on a lock that another thread
// holds, and the host's audio deadline passes meanwhile.
#include "allocation_counter.h"
#include "check_support.h"
#include "checkrandom.h"
#include "heldnotes.h"
#include "renderrig.h"

#include <vector>

namespace {

struct Configuration {
    float sampleRate;
    int32_t blockSize;
};

// What a sequencer sends a synthesizer within a few blocks: chords that outnumber the voices,
// releases, pitch bend, modulation, volume, sustain, a program change and all-notes-off.
void addInstrumentTraffic(EventList& events, HeldNotes& notes, CheckRandom& random,
                          int32_t blockSize, int64_t block) {
    const auto when = [&] { return random.below(blockSize); };
    if (block % 8 == 0) {
        const int32_t chord = random.between(1, 6);
        for (int32_t i = 0; i < chord; ++i)
            notes.press(events, random, when());
    }
    if (notes.size() > 12 || random.chance(0.2f)) notes.releaseOldest(events, when());
    switch (random.below(16)) {
    case 0:
        events.add(when(), 0xE0, static_cast<uint8_t>(random.below(128)),
                   static_cast<uint8_t>(random.below(128)));
        break;
    case 1:
        events.controller(when(), 0, 1, random.below(128));
        break;
    case 2:
        events.controller(when(), 0, 7, random.between(64, 127));
        break;
    case 3:
        events.controller(when(), 0, 64, random.chance(0.5f) ? 127 : 0);
        break;
    case 4:
        events.controller(when(), 0, 74, random.below(128));
        break;
    case 5:
        events.add(when(), 0xC0, static_cast<uint8_t>(random.below(16)), 0);
        break;
    case 6:
        if (random.chance(0.2f)) events.controller(when(), 0, 123, 0);
        break;
    default:
        break;
    }
}

} // namespace

CheckOutcome runRenderAllocationsCheck(const CheckSettings& settings) {
    if (!allocation_counter::available())
        return checkSkipped(allocation_counter::unavailableReason());
    CheckSubject subject = openSubject(settings);
    CheckInstance& instance = *subject.instance;
    CheckRandom random(settings.seed);
    const bool instrument = instance.isInstrument();
    const int32_t parameters = instance.parameterCount();

    std::vector<Configuration> configurations = {{44100.0f, 512}, {48000.0f, 64}, {96000.0f, 1024}};
    if (settings.strictness >= 6) {
        configurations.push_back({44100.0f, 1});
        configurations.push_back({192000.0f, 4096});
    }
    const double seconds = 0.1 * settings.strictness;

    RenderRig rig(instance, 4096, random.next());
    rig.setInputLevel(instrument ? 0.0f : 0.5f);
    HeldNotes notes;
    const int64_t allocationsBefore = allocation_counter::allocations();
    const int64_t releasesBefore = allocation_counter::releases();
    std::string firstWrite;
    int64_t writes = 0;

    for (const Configuration& configuration : configurations) {
        // Preparing may allocate: it is not counted.
        rig.setCountAllocations(false);
        instance.prepare(configuration.sampleRate, configuration.blockSize);
        rig.setCountAllocations(true);
        const std::string situation =
            textf("%.0f Hz, block %d", static_cast<double>(configuration.sampleRate),
                  configuration.blockSize);
        const int64_t blocks = std::max<int64_t>(
            8, static_cast<int64_t>(seconds * configuration.sampleRate) / configuration.blockSize);
        for (int64_t block = 0; block < blocks; ++block) {
            if (instrument)
                addInstrumentTraffic(rig.events(), notes, random, configuration.blockSize, block);
            // Automation arrives on the render thread between blocks.
            if (parameters > 0 && random.chance(0.3f)) {
                const int32_t index = random.below(parameters);
                const float value = random.unit();
                const int64_t before =
                    allocation_counter::allocations() + allocation_counter::releases();
                {
                    allocation_counter::Armed armed;
                    instance.writeParameter(index, value);
                }
                ++writes;
                if (firstWrite.empty() && rig.firstAllocation().empty() &&
                    allocation_counter::allocations() + allocation_counter::releases() != before)
                    firstWrite = textf("first during a write of parameter %d before render call "
                                       "%lld (%s)",
                                       index, static_cast<long long>(rig.renderCalls() + 1),
                                       situation.c_str());
            }
            rig.render(configuration.blockSize, situation.c_str());
        }
        notes.releaseAll(rig.events(), 0);
        rig.render(configuration.blockSize, situation.c_str());
    }

    const int64_t allocations = allocation_counter::allocations() - allocationsBefore;
    const int64_t releases = allocation_counter::releases() - releasesBefore;
    if (allocations != 0 || releases != 0) {
        const std::string& where = !firstWrite.empty() ? firstWrite : rig.firstAllocation();
        failCheck(textf("%lld allocations and %lld releases on the render thread; %s",
                        static_cast<long long>(allocations), static_cast<long long>(releases),
                        where.c_str()));
    }
    return checkPassed(textf("%lld render calls%s and %lld automation writes in %zu "
                             "configurations: no allocation, no release",
                             static_cast<long long>(rig.renderCalls()),
                             instrument ? " with event delivery" : "",
                             static_cast<long long>(writes), configurations.size()));
}
