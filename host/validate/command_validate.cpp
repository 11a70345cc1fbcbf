// qxahost validate: loads a plug-in the way a host does and runs a battery of named checks on
// it, each in a process of its own, printing one line per check and a summary. The same
// command, with the hidden --run-one-check option, is the child that runs one check.
#include "checkprocess.h"
#include "command_options.h"
#include "commands.h"
#include "validation.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kDefaultCheckTimeoutSeconds = 300.0;

struct ValidateOptions {
    std::string pluginPath;
    int strictness = 5;
    uint64_t seed = 0;
    bool json = false;
    std::vector<std::string> only;
    std::vector<std::string> skip;
    // "SECONDS" for every check, or "CHECK=SECONDS" for one: a bound on hangs only.
    std::vector<std::string> checkTimeouts;
    std::string reportPath;
    // Child side.
    std::string runOneCheck;
    std::string resultFile;
};

struct CheckRecord {
    std::string name;
    CheckStatus status = CheckStatus::Fail;
    std::string reason;
    double seconds = 0.0;
};

const char* statusWord(CheckStatus status) {
    switch (status) {
    case CheckStatus::Pass:
        return "PASS";
    case CheckStatus::Skip:
        return "SKIP";
    default:
        return "FAIL";
    }
}

std::string checkNames() {
    std::string names;
    for (const CheckDefinition& check : checkBattery())
        names += (names.empty() ? "" : ", ") + std::string(check.name);
    return names;
}

std::string helpFooter() {
    std::string footer = "Checks (the strictness that adds them; higher strictness runs them "
                         "longer and judges harder):\n";
    for (const CheckDefinition& check : checkBattery())
        footer += textf("  %-24s %2d  %s\n", check.name, check.strictness, check.summary);
    footer += "\nEach check runs in a process of its own: a crash is that check's failure. The "
              "seed is printed;\n--seed with --only repeats one check exactly. Exit status: 0 "
              "when no check fails.";
    return footer;
}

std::string xmlEscaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// The results in the JUnit XML form that GoogleTest writes, one test case per check, so that a
// test runner counts each check, and a skipped one as skipped rather than passed.
bool writeJUnitReport(const std::string& path, const std::string& pluginPath,
                      const std::vector<CheckRecord>& records, int failed, int skipped) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    double total = 0.0;
    for (const CheckRecord& record : records)
        total += record.seconds;
    const std::string suite = xmlEscaped(std::filesystem::path(pluginPath).filename().string());
    std::fprintf(file,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<testsuites tests=\"%zu\" failures=\"%d\" disabled=\"0\" errors=\"0\" "
                 "time=\"%.3f\" name=\"qxahost validate\">\n"
                 "  <testsuite name=\"%s\" tests=\"%zu\" failures=\"%d\" disabled=\"0\" "
                 "skipped=\"%d\" errors=\"0\" time=\"%.3f\">\n",
                 records.size(), failed, total, suite.c_str(), records.size(), failed, skipped,
                 total);
    for (const CheckRecord& record : records) {
        const std::string reason = xmlEscaped(singleLine(record.reason));
        std::fprintf(file,
                     "    <testcase name=\"%s\" status=\"run\" result=\"%s\" time=\"%.3f\" "
                     "classname=\"%s\">\n",
                     record.name.c_str(),
                     record.status == CheckStatus::Skip ? "skipped" : "completed", record.seconds,
                     suite.c_str());
        if (record.status == CheckStatus::Fail)
            std::fprintf(file, "      <failure message=\"%s\" type=\"\"/>\n", reason.c_str());
        if (record.status == CheckStatus::Skip)
            std::fprintf(file, "      <skipped message=\"%s\"/>\n", reason.c_str());
        std::fprintf(file, "    </testcase>\n");
    }
    std::fprintf(file, "  </testsuite>\n</testsuites>\n");
    const bool written = std::ferror(file) == 0;
    return std::fclose(file) == 0 && written;
}

// --- child side -----------------------------------------------------------------------------

[[noreturn]] void runOneCheck(const ValidateOptions& options) {
    if (!openCheckReport(options.resultFile)) {
        std::fprintf(stderr, "qxahost validate: cannot write the report file %s\n",
                     options.resultFile.c_str());
        endCheckProcess(2);
    }
    const CheckDefinition* check = findCheck(options.runOneCheck);
    CheckOutcome outcome;
    if (check == nullptr) {
        outcome = {CheckStatus::Fail, "no check named " + options.runOneCheck};
    } else {
        const CheckSettings settings{options.pluginPath, options.strictness,
                                     checkSeed(options.seed, check->name)};
        try {
            outcome = check->run(settings);
        } catch (const CheckFailure& failure) {
            outcome = {CheckStatus::Fail, failure.what()};
        } catch (const std::exception& failure) {
            outcome = {CheckStatus::Fail,
                       std::string("an exception reached the host: ") + failure.what()};
        } catch (...) {
            outcome = {CheckStatus::Fail, "an exception came out of the plug-in"};
        }
    }
    writeCheckReport(std::string("status ") + statusWord(outcome.status) + "\nreason " +
                     singleLine(outcome.reason) + "\n");
    endCheckProcess(outcome.status == CheckStatus::Fail ? 1 : 0);
}

// --- parent side ----------------------------------------------------------------------------

// What the child's report says, judged against how the child ended.
CheckRecord judge(const std::string& name, const CheckProcessResult& process,
                  double timeoutSeconds) {
    CheckRecord record;
    record.name = name;
    std::string status;
    std::string reason;
    std::string failure;
    std::string crash;
    std::istringstream lines(process.report);
    for (std::string line; std::getline(lines, line);) {
        const auto space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "status") status = value;
        if (key == "reason") reason = value;
        if (key == "fail") failure = value;
        // The first one: a signal, before the sanitizer that handled it stopped the process.
        if (key == "crash" && crash.empty()) crash = describeCrash(value);
    }
    if (crash.empty()) crash = process.crash;
    const std::string failed = failure.empty() ? "" : failure + "; then ";

    using End = CheckProcessResult::End;
    if (process.end == End::NotStarted || !process.error.empty()) {
        record.reason = "the check process did not run: " + process.error;
    } else if (process.end == End::TimedOut) {
        record.reason = failed + textf("did not finish within %.0f s (the plug-in hangs or "
                                       "deadlocks)",
                                       timeoutSeconds);
    } else if (!crash.empty()) {
        record.reason = failed + crash;
    } else if (!status.empty()) {
        const int expectedExit = status == "FAIL" ? 1 : 0;
        if (process.exitCode == expectedExit) {
            record.status = status == "PASS"   ? CheckStatus::Pass
                            : status == "SKIP" ? CheckStatus::Skip
                                               : CheckStatus::Fail;
            record.reason = reason;
        } else {
            record.reason = textf("reported %s (%s), then ended with exit code %d", status.c_str(),
                                  reason.c_str(), process.exitCode);
        }
    } else {
        record.reason = failed + textf("ended with exit code %d before reporting (a sanitizer or "
                                       "the runtime says why above)",
                                       process.exitCode);
    }
    return record;
}

// Seconds a check may take before it counts as hung; the last matching entry wins.
double checkTimeout(const ValidateOptions& options, const std::string& name) {
    double seconds = kDefaultCheckTimeoutSeconds;
    for (const std::string& entry : options.checkTimeouts) {
        const auto equals = entry.find('=');
        if (equals != std::string::npos && entry.substr(0, equals) != name) continue;
        const std::string value = equals == std::string::npos ? entry : entry.substr(equals + 1);
        char* end = nullptr;
        const double parsed = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !(parsed > 0.0)) {
            std::fprintf(stderr,
                         "qxahost validate: --check-timeout '%s' is not SECONDS or "
                         "CHECK=SECONDS\n",
                         entry.c_str());
            throw CLI::RuntimeError(2);
        }
        seconds = parsed;
    }
    return seconds;
}

std::vector<const CheckDefinition*> selectChecks(const ValidateOptions& options) {
    for (const auto* names : {&options.only, &options.skip})
        for (const std::string& name : *names)
            if (findCheck(name) == nullptr) {
                std::fprintf(stderr, "qxahost validate: unknown check '%s' (checks: %s)\n",
                             name.c_str(), checkNames().c_str());
                throw CLI::RuntimeError(2);
            }
    const auto listed = [](const std::vector<std::string>& names, const char* name) {
        for (const std::string& listedName : names)
            if (listedName == name) return true;
        return false;
    };
    std::vector<const CheckDefinition*> selected;
    for (const CheckDefinition& check : checkBattery()) {
        // --only names checks to run whatever the strictness; the strictness still sets how
        // hard they judge.
        const bool wanted = options.only.empty() ? check.strictness <= options.strictness
                                                 : listed(options.only, check.name);
        if (wanted && !listed(options.skip, check.name)) selected.push_back(&check);
    }
    // Passing nothing is no verdict: a selection that leaves no check is a usage error.
    if (selected.empty()) {
        std::fprintf(stderr,
                     "qxahost validate: --only and --skip leave no check to run; give at least "
                     "one check that --skip does not name\n");
        throw CLI::RuntimeError(2);
    }
    return selected;
}

void validate(const ValidateOptions& options) {
    if (std::FILE* file = std::fopen(options.pluginPath.c_str(), "rb")) {
        std::fclose(file);
    } else {
        std::fprintf(stderr, "qxahost validate: no such file: %s\n", options.pluginPath.c_str());
        throw CLI::RuntimeError(1);
    }
    const std::vector<const CheckDefinition*> checks = selectChecks(options);

#if defined(QXA_THREAD_SANITIZER)
    // A data race must end the check that found it: by default ThreadSanitizer only reports at
    // exit, and a check process ends without running exit handlers.
    const char* existing = std::getenv("TSAN_OPTIONS");
    const std::string tsanOptions =
        std::string("halt_on_error=1") + (existing != nullptr ? std::string(":") + existing : "");
    setenv("TSAN_OPTIONS", tsanOptions.c_str(), 1);
#endif

    if (!options.json)
        std::printf("qxahost validate %s: strictness %d, seed %llu, %zu checks\n",
                    options.pluginPath.c_str(), options.strictness,
                    static_cast<unsigned long long>(options.seed), checks.size());
    std::vector<CheckRecord> records;
    int passed = 0;
    int failed = 0;
    int skipped = 0;
    for (const CheckDefinition* check : checks) {
        const std::vector<std::string> arguments = {
            "validate",        options.pluginPath,
            "--run-one-check", check->name,
            "--strictness",    std::to_string(options.strictness),
            "--seed",          std::to_string(options.seed)};
        const auto start = std::chrono::steady_clock::now();
        const double timeout = checkTimeout(options, check->name);
        const CheckProcessResult process = runCheckProcess(arguments, timeout);
        CheckRecord record = judge(check->name, process, timeout);
        record.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        passed += record.status == CheckStatus::Pass;
        failed += record.status == CheckStatus::Fail;
        skipped += record.status == CheckStatus::Skip;
        if (!options.json) {
            std::printf("%s %-24s %s\n", statusWord(record.status), record.name.c_str(),
                        record.reason.c_str());
            if (record.status == CheckStatus::Fail)
                std::printf("     repeat with: qxahost validate %s --strictness %d --seed %llu "
                            "--only %s\n",
                            options.pluginPath.c_str(), options.strictness,
                            static_cast<unsigned long long>(options.seed), record.name.c_str());
            std::fflush(stdout);
        }
        records.push_back(std::move(record));
    }

    if (options.json) {
        nlohmann::ordered_json report;
        report["plugin"] = options.pluginPath;
        report["strictness"] = options.strictness;
        report["seed"] = options.seed;
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const CheckRecord& record : records) {
            nlohmann::ordered_json entry;
            entry["name"] = record.name;
            entry["status"] = record.status == CheckStatus::Pass   ? "pass"
                              : record.status == CheckStatus::Skip ? "skip"
                                                                   : "fail";
            entry["reason"] = record.reason;
            entry["seconds"] = record.seconds;
            list.push_back(entry);
        }
        report["checks"] = list;
        report["passed"] = passed;
        report["failed"] = failed;
        report["skipped"] = skipped;
        std::printf(
            "%s\n",
            report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
    } else {
        std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
    }
    std::fflush(stdout);
    if (!options.reportPath.empty() &&
        !writeJUnitReport(options.reportPath, options.pluginPath, records, failed, skipped)) {
        std::fprintf(stderr, "qxahost validate: cannot write the report %s\n",
                     options.reportPath.c_str());
        throw CLI::RuntimeError(1);
    }
    if (failed > 0) throw CLI::RuntimeError(1);
}

} // namespace

void addValidateCommand(CLI::App& app) {
    auto* command = app.add_subcommand(
        "validate", "Run a battery of checks on a plug-in, each in a process of its own");
    // Paths such as /work/Oriv.dll under Wine are plug-ins, not Windows-style options.
    command->allow_windows_style_options(false);
    auto options = std::make_shared<ValidateOptions>();
    command
        ->add_option("PLUGIN", options->pluginPath,
                     "Plug-in library (.dll on Windows, .so on Linux)")
        ->type_name("")
        ->required();
    command
        ->add_option("--strictness", options->strictness,
                     "1 to 10: which checks run and how hard they judge (default 5)")
        ->type_name("N")
        ->check(wholeNumberFrom(1, 10, "a strictness"));
    command
        ->add_option("--seed", options->seed,
                     "Seed of every random choice (default: a new one, printed)")
        ->type_name("N");
    command->add_flag("--json", options->json, "Print the results as JSON");
    command
        ->add_option("--only", options->only,
                     "Run only these checks (repeat or separate with commas)")
        ->type_name("CHECKS")
        ->delimiter(',');
    command
        ->add_option("--skip", options->skip,
                     "Leave these checks out (repeat or separate with commas)")
        ->type_name("CHECKS")
        ->delimiter(',');
    command->add_option("--report", options->reportPath,
                        "Also write the results to this file as a JUnit XML report (each check a "
                        "test case)");
    command
        ->add_option("--check-timeout", options->checkTimeouts,
                     "Seconds a check may take before it counts as hung: SECONDS for every "
                     "check, CHECK=SECONDS for one")
        ->delimiter(',')
        ->group("");
    command->add_option("--run-one-check", options->runOneCheck)->group("");
    command->add_option("--result-file", options->resultFile)->group("");
    command->footer(helpFooter());
    command->callback([options, command]() {
        if (!options->runOneCheck.empty()) runOneCheck(*options);
        if (command->count("--seed") == 0) {
            std::random_device device;
            options->seed =
                (static_cast<uint64_t>(device()) << 32) ^ device() ^
                static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        }
        validate(*options);
    });
}
