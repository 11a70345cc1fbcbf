// Where the test executable lives: every plug-in and qxahost are built into the same folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testing_paths {

#if defined(_WIN32)
constexpr const char* kPluginSuffix = ".dll";
constexpr const char* kExecutableSuffix = ".exe";
constexpr char kSeparator = '\\';
#else
constexpr const char* kPluginSuffix = ".so";
constexpr const char* kExecutableSuffix = "";
constexpr char kSeparator = '/';
#endif

inline std::string binaryDir() {
    char path[4096] = {};
#if defined(_WIN32)
    GetModuleFileNameA(nullptr, path, sizeof(path) - 1);
#else
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length > 0) path[length] = '\0';
#endif
    std::string text = path;
    return text.substr(0, text.find_last_of("/\\"));
}

inline std::string pluginPath(const std::string& name) {
    return binaryDir() + kSeparator + name + kPluginSuffix;
}

// A path or argument in double quotes. Built by appending: GCC 12 at -O3 warns falsely
// (-Wrestrict) about `"literal" + std::string` temporaries.
inline std::string quoted(const std::string& text) {
    std::string result;
    result.reserve(text.size() + 2);
    result += '"';
    result += text;
    result += '"';
    return result;
}

struct CommandResult {
    int exitCode = -1;
    std::string output; // standard output and standard error together
};

// The exit status the test registration gives every sanitizer report (cmake/QxaTesting.cmake):
// the programs' own codes for bad input (1, 2) must not hide one.
constexpr int kSanitizerExitCode = 66;

// True when a child's output or exit status shows a sanitizer report. The output is searched too:
// a test executable run outside ctest does not have the exit status set.
inline bool sanitizerReported(const std::string& output, int exitCode) {
    if (exitCode == kSanitizerExitCode) return true;
    for (const char* marker : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                               "WARNING: ThreadSanitizer", ": runtime error: "})
        if (output.find(marker) != std::string::npos) return true;
    return false;
}

// Runs a program from the binary folder with the given arguments (already quoted as needed).
// A sanitizer report from the program fails the calling test, whatever the test expects of the
// exit status.
inline CommandResult runTool(const std::string& tool, const std::string& arguments) {
    static int counter = 0;
    const std::string outputPath =
        binaryDir() + kSeparator + "tool-output-" + std::to_string(++counter) + ".txt";
    std::string command = quoted(binaryDir() + kSeparator + tool + kExecutableSuffix);
    command += ' ';
    command += arguments;
    command += " > ";
    command += quoted(outputPath);
    command += " 2>&1";
#if defined(_WIN32)
    // cmd.exe strips the outer quotes of a command line that starts with one. Qualified: for a
    // non-const string, argument-dependent lookup prefers std::quoted where <iomanip> is seen.
    const int status = std::system(testing_paths::quoted(command).c_str());
    CommandResult result{status, {}};
#else
    const int status = std::system(command.c_str());
    CommandResult result{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), {}};
#endif
    std::ifstream file(outputPath, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    result.output = text.str();
    file.close();
    std::remove(outputPath.c_str());
    if (sanitizerReported(result.output, result.exitCode))
        ADD_FAILURE() << tool << ' ' << arguments << " ended with a sanitizer report (exit status "
                      << result.exitCode << "):\n"
                      << result.output;
    return result;
}

} // namespace testing_paths
