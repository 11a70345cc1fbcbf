#include "validation.h"

#include "checkprocess.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

const std::vector<CheckDefinition>& checkBattery() {
    // Strictness 1 to 5 adds checks; above 5 the same checks run longer and judge harder
    // (subnormal output, higher sample rates, more cycles, wider index probes).
    static const std::vector<CheckDefinition> battery = {
        {"identity", 1, "entry function, record, names, versions, id, category, flags",
         runIdentityCheck},
        {"instantiation", 1, "cold and warm instance creation, create/shutdown cycles, memory",
         runInstantiationCheck},
        {"parameters", 2, "titles, units and texts fit; values read back; bad values survived",
         runParametersCheck},
        {"programs", 2, "program names fit; programs keep and restore their values",
         runProgramsCheck},
        {"audio-processing", 3, "every sample rate and block size: finite output",
         runAudioProcessingCheck},
        {"oversized-blocks", 3, "render calls of twice the announced size and of 0 frames",
         runOversizedBlocksCheck},
        {"automation", 4, "random parameter values between sub-blocks of 32 frames",
         runAutomationCheck},
        {"parameter-thread-safety", 5,
         "automation on the render thread; writes, program changes and names on another",
         runParameterThreadSafetyCheck},
        {"render-allocations", 5, "no allocation on the render thread (Linux)",
         runRenderAllocationsCheck},
        {"event-fuzz", 5, "random MIDI streams, then a clean note plays and ends (instruments)",
         runEventFuzzCheck},
        {"dispatcher", 4, "every opcode from -1 to 100 with neutral arguments", runDispatcherCheck},
        {"editor", 4, "open and close the editor, also while another thread renders",
         runEditorCheck},
    };
    return battery;
}

const CheckDefinition* findCheck(const std::string& name) {
    const auto& battery = checkBattery();
    const auto found =
        std::find_if(battery.begin(), battery.end(),
                     [&](const CheckDefinition& check) { return name == check.name; });
    return found == battery.end() ? nullptr : &*found;
}

uint64_t checkSeed(uint64_t runSeed, const std::string& checkName) {
    // FNV-1a over the name, mixed with the run seed by a SplitMix64 step.
    uint64_t hash = 0xCBF29CE484222325ull;
    for (const unsigned char c : checkName)
        hash = (hash ^ c) * 0x100000001B3ull;
    uint64_t z = runSeed + hash + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void failCheck(std::string reason) {
    // Into the report at once: cleaning up after a failure may itself crash the plug-in.
    writeCheckReport("fail " + singleLine(reason) + "\n");
    throw CheckFailure(std::move(reason));
}

std::string singleLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

CheckOutcome checkPassed(std::string reason) {
    return {CheckStatus::Pass, std::move(reason)};
}

CheckOutcome checkSkipped(std::string reason) {
    return {CheckStatus::Skip, std::move(reason)};
}

std::string textf(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    va_end(arguments);
    return text;
}

int scaledCount(const CheckSettings& settings, int atFive) {
    return std::max(1, atFive * settings.strictness / 5);
}
