// Checks 5, 6 and 7: rendering at every rate and block size, render calls the plug-in was not
// told about (larger than announced, empty, before any set-up), and parameter changes between
// small sub-blocks.
#include "check_support.h"
#include "checkrandom.h"
#include "heldnotes.h"
#include "renderrig.h"
#include "validation.h"

#include <algorithm>

CheckOutcome runAudioProcessingCheck(const CheckSettings& settings) {
    CheckSubject subject = openSubject(settings);
    CheckInstance* instance = subject.instance.get();
    CheckRandom random(settings.seed);
    const bool instrument = instance->isInstrument();

    std::vector<float> rates = {44100.0f, 48000.0f, 96000.0f};
    if (settings.strictness >= 7) rates.push_back(192000.0f);
    const int32_t blockSizes[] = {1, 32, 64, 128, 256, 512, 1024, 4096};
    const bool rejectSubnormals = settings.strictness >= 6;
    // Sound for the first half, then silence: decaying state is where subnormals appear, so
    // higher strictness listens longer to the decay.
    const double seconds = 0.15 + 0.02 * settings.strictness;
    const double tailSeconds = settings.strictness >= 6 ? 0.4 * (settings.strictness - 5) : 0.0;
    const bool changePrograms = settings.strictness >= 6 && instance->programCount() > 1;

    RenderRig rig(*instance, 4096, random.next());
    rig.setRejectSubnormals(rejectSubnormals);
    int configurations = 0;
    for (const float rate : rates) {
        for (const int32_t block : blockSizes) {
            ++configurations;
            std::string program;
            if (changePrograms) {
                const int32_t chosen = random.below(instance->programCount());
                instance->dispatch(ProgramSelect, 0, chosen);
                program = textf(", program %d", chosen);
            }
            instance->prepare(rate, block);
            const bool inPlace = !instrument && random.chance(0.5f);
            rig.setInPlace(inPlace);
            rig.setInputLevel(instrument ? 0.0f : 0.5f);

            const int64_t soundFrames =
                std::max<int64_t>(4 * block, static_cast<int64_t>(seconds * rate)) / 2;
            const int64_t totalFrames = 2 * soundFrames + static_cast<int64_t>(tailSeconds * rate);
            const int32_t note = random.between(36, 84);
            const int32_t velocity = random.between(1, 127);
            std::string situation = textf("%.0f Hz, block %d%s%s", static_cast<double>(rate), block,
                                          inPlace ? ", in place" : "", program.c_str());
            if (instrument) {
                rig.events().noteOn(random.below(block), 0, note, velocity);
                situation += textf(", note %d velocity %d", note, velocity);
            }

            float peak = 0.0f;
            bool soundEnded = false;
            for (int64_t done = 0; done < totalFrames; done += block) {
                if (done >= soundFrames && !soundEnded) {
                    soundEnded = true;
                    if (instrument)
                        rig.events().noteOff(random.below(block), 0, note);
                    else
                        rig.setInputLevel(0.0f);
                }
                rig.render(block, situation.c_str());
                peak = std::max(peak, rig.lastPeak());
            }
            if (instrument && peak == 0.0f)
                failCheck(textf("a note made no sound (%s)", situation.c_str()));
        }
    }
    return checkPassed(textf("%zu sample rates x %zu block sizes (%d configurations, %lld render "
                             "calls): every sample written and finite%s",
                             rates.size(), std::size(blockSizes), configurations,
                             static_cast<long long>(rig.renderCalls()),
                             rejectSubnormals ? ", no subnormal" : ""));
}

CheckOutcome runOversizedBlocksCheck(const CheckSettings& settings) {
    CheckSubject subject = openSubject(settings);
    CheckInstance* instance = subject.instance.get();
    CheckRandom random(settings.seed);
    const bool instrument = instance->isInstrument();

    // Hosts that forget: render calls before any sample rate, block size or power-on. The
    // plug-in has only its defaults to go by.
    {
        RenderRig early(*instance, 256, random.next());
        early.setInputLevel(instrument ? 0.0f : 0.5f);
        early.render(256, "before the host sent a sample rate, a block size or power-on");
        early.setInPlace(true);
        early.render(256, "in place, before the host sent a sample rate, a block size or power-on");
    }

    std::vector<int32_t> announced = {512};
    if (settings.strictness >= 6) announced = {64, 512, 2048};
    const int rounds = scaledCount(settings, 8);
    RenderRig rig(*instance, 2 * announced.back(), random.next());
    rig.setInputLevel(instrument ? 0.0f : 0.5f);
    HeldNotes notes;
    for (const int32_t block : announced) {
        instance->prepare(44100.0f, block);
        // Twice the announced size and empty calls, between calls of the announced size.
        const int32_t pattern[] = {block, 2 * block, 0, 2 * block, block / 2, 0, 2 * block};
        for (int round = 0; round < rounds; ++round) {
            const bool inPlace = !instrument && round % 2 == 1;
            rig.setInPlace(inPlace);
            const std::string situation =
                textf("44100 Hz, announced block %d%s", block, inPlace ? ", in place" : "");
            for (const int32_t frames : pattern) {
                if (instrument && frames > 0) {
                    // Notes also start and end beyond the announced block.
                    if (random.chance(0.5f))
                        notes.press(rig.events(), random, random.below(frames));
                    if (notes.size() > 3 || random.chance(0.2f))
                        notes.releaseOldest(rig.events(), random.below(frames));
                }
                rig.render(frames, situation.c_str());
            }
        }
        notes.releaseAll(rig.events(), 0);
        rig.render(block, "44100 Hz, after the oversized calls");
    }
    return checkPassed(textf("%lld render calls of up to twice the announced block size (%s), "
                             "of 0 frames and before any set-up: finite output, nothing written "
                             "outside the block",
                             static_cast<long long>(rig.renderCalls()),
                             settings.strictness >= 6 ? "64, 512 and 2048" : "512"));
}

CheckOutcome runAutomationCheck(const CheckSettings& settings) {
    CheckSubject subject = openSubject(settings);
    CheckInstance* instance = subject.instance.get();
    CheckRandom random(settings.seed);
    const bool instrument = instance->isInstrument();
    const int32_t parameters = instance->parameterCount();

    constexpr int32_t kSubBlock = 32;
    constexpr float kRate = 44100.0f;
    instance->prepare(kRate, 512);
    RenderRig rig(*instance, kSubBlock, random.next());
    rig.setInputLevel(instrument ? 0.0f : 0.5f);
    const double seconds = 0.4 * settings.strictness;
    const int64_t subBlocks = static_cast<int64_t>(seconds * kRate) / kSubBlock;
    const int64_t chordEvery = static_cast<int64_t>(0.25 * kRate) / kSubBlock;
    HeldNotes notes;
    int64_t writes = 0;
    const char* situation = "44100 Hz, 32-frame sub-blocks, parameters changed between them";
    for (int64_t n = 0; n < subBlocks; ++n) {
        if (instrument && n % chordEvery == 0) {
            notes.releaseAll(rig.events(), 0);
            const int32_t chord = random.between(1, 3);
            for (int32_t i = 0; i < chord; ++i)
                notes.press(rig.events(), random, random.below(kSubBlock));
        }
        if (parameters > 0) {
            const int32_t changes = random.between(1, 3);
            for (int32_t i = 0; i < changes; ++i, ++writes)
                instance->writeParameter(random.below(parameters), random.unit());
        }
        rig.render(kSubBlock, situation);
    }
    return checkPassed(textf("%.1f s in %lld sub-blocks of %d frames with %lld parameter changes "
                             "between them: finite output",
                             seconds, static_cast<long long>(subBlocks), kSubBlock,
                             static_cast<long long>(writes)));
}
