// The battery of `qxahost validate`: what a check receives, how it answers, and the list of
// checks in the order they run. Every check runs in a process of its own (checkprocess.h), so
// a plug-in that crashes ends only the check that made it crash.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#if defined(__MINGW32__)
#define QXA_PRINTF_FORMAT(formatIndex, firstArgument)                                              \
    __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#else
#define QXA_PRINTF_FORMAT(formatIndex, firstArgument)                                              \
    __attribute__((format(printf, formatIndex, firstArgument)))
#endif

enum class CheckStatus { Pass, Fail, Skip };

struct CheckOutcome {
    CheckStatus status = CheckStatus::Pass;
    std::string reason; // one line: what was checked, or what went wrong
};

struct CheckSettings {
    std::string pluginPath;
    int strictness = 5; // 1..10
    uint64_t seed = 0;  // this check's own seed, derived from the run's seed and its name
};

struct CheckDefinition {
    const char* name;
    int strictness; // the lowest strictness that runs it
    const char* summary;
    CheckOutcome (*run)(const CheckSettings& settings);
};

// Every check, in the order they run.
const std::vector<CheckDefinition>& checkBattery();
// The check of that name, or null.
const CheckDefinition* findCheck(const std::string& name);
// A check's seed: the same run seed gives the same check seed whichever checks run with it,
// so `--only NAME --seed N` repeats exactly what the whole run did for that check.
uint64_t checkSeed(uint64_t runSeed, const std::string& checkName);

// Ends a check with FAIL. Thrown only from the validator's own code, never through a frame of
// the plug-in; the child process turns it into its result.
class CheckFailure : public std::exception {
public:
    explicit CheckFailure(std::string reason) : reason_(std::move(reason)) {}
    const char* what() const noexcept override { return reason_.c_str(); }

private:
    std::string reason_;
};

[[noreturn]] void failCheck(std::string reason);
CheckOutcome checkPassed(std::string reason);
CheckOutcome checkSkipped(std::string reason);

// The text with its line breaks turned into blanks.
std::string singleLine(std::string text);

// printf into a std::string.
std::string textf(const char* format, ...) QXA_PRINTF_FORMAT(1, 2);

// A count that grows with strictness: `atFive` at the default strictness 5, at least 1.
int scaledCount(const CheckSettings& settings, int atFive);

// The checks (one file per group).
CheckOutcome runIdentityCheck(const CheckSettings& settings);
CheckOutcome runInstantiationCheck(const CheckSettings& settings);
CheckOutcome runParametersCheck(const CheckSettings& settings);
CheckOutcome runProgramsCheck(const CheckSettings& settings);
CheckOutcome runAudioProcessingCheck(const CheckSettings& settings);
CheckOutcome runOversizedBlocksCheck(const CheckSettings& settings);
CheckOutcome runAutomationCheck(const CheckSettings& settings);
CheckOutcome runParameterThreadSafetyCheck(const CheckSettings& settings);
CheckOutcome runRenderAllocationsCheck(const CheckSettings& settings);
CheckOutcome runEventFuzzCheck(const CheckSettings& settings);
CheckOutcome runDispatcherCheck(const CheckSettings& settings);
CheckOutcome runEditorCheck(const CheckSettings& settings);
