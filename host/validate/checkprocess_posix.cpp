// Linux: fork and exec of /proc/self/exe; a crash is a signal, reported by a handler that runs
// on its own stack (stack overflows included) and then hands over to the handler that was
// installed before, so that a sanitizer still prints its report. A sanitizer that stops the
// process on an error it found is reported through its death callback.
#include "checkprocess.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};
constexpr int kSignalSlots = 65;

int reportDescriptor = -1;
struct sigaction previousHandlers[kSignalSlots];
alignas(16) char alternateStack[64 * 1024];

void writeAll(int descriptor, const char* text, size_t length) {
    while (length > 0) {
        const ssize_t written = write(descriptor, text, length);
        if (written <= 0) return;
        text += written;
        length -= static_cast<size_t>(written);
    }
}

// Async-signal-safe: no formatting library.
void crashHandler(int signalNumber, siginfo_t* info, void* context) {
    char line[32] = "crash signal ";
    size_t length = std::strlen(line);
    char digits[12];
    int count = 0;
    for (int value = signalNumber; value > 0 && count < 11; value /= 10)
        digits[count++] = static_cast<char>('0' + value % 10);
    while (count > 0)
        line[length++] = digits[--count];
    line[length++] = '\n';
    if (reportDescriptor >= 0) writeAll(reportDescriptor, line, length);

    if (signalNumber > 0 && signalNumber < kSignalSlots) {
        const struct sigaction& previous = previousHandlers[signalNumber];
        sigaction(signalNumber, &previous, nullptr);
        if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr)
            previous.sa_sigaction(signalNumber, info, context);
        else if ((previous.sa_flags & SA_SIGINFO) == 0 && previous.sa_handler != SIG_DFL &&
                 previous.sa_handler != SIG_IGN)
            previous.sa_handler(signalNumber);
    }
    // Whatever handled it before returned: end by the signal itself.
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

#if defined(QXA_SANITIZED)
extern "C" void __sanitizer_set_death_callback(void (*callback)());

// A sanitizer that found an error ends the process with exit code 1 and no signal.
void sanitizerDeath() {
    const char line[] = "crash sanitizer\n";
    if (reportDescriptor >= 0) writeAll(reportDescriptor, line, sizeof(line) - 1);
}
#endif

std::string selfExecutable() {
    char path[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

std::string readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

const char* signalName(int signalNumber) {
    switch (signalNumber) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    case SIGABRT:
        return "SIGABRT";
    case SIGTRAP:
        return "SIGTRAP";
    case SIGSYS:
        return "SIGSYS";
    case SIGKILL:
        return "SIGKILL";
    default:
        return nullptr;
    }
}

} // namespace

CheckProcessResult runCheckProcess(const std::vector<std::string>& arguments,
                                   double timeoutSeconds) {
    CheckProcessResult result;
    const char* temporary = std::getenv("TMPDIR");
    std::string reportPath =
        std::string(temporary != nullptr && *temporary != '\0' ? temporary : "/tmp") +
        "/qxahost-validate-XXXXXX";
    const int descriptor = mkstemp(reportPath.data());
    if (descriptor < 0) {
        result.error = "cannot create a report file in the temporary directory";
        return result;
    }
    close(descriptor);

    const std::string executable = selfExecutable();
    std::vector<std::string> all = arguments;
    all.push_back("--result-file");
    all.push_back(reportPath);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (std::string& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child < 0) {
        unlink(reportPath.c_str());
        result.error = "fork failed";
        return result;
    }
    if (child == 0) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execv(executable.c_str(), argv.data());
        _exit(127);
    }

    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(timeoutSeconds));
    int status = 0;
    bool timedOut = false;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0) {
            status = 0;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    result.report = readWholeFile(reportPath);
    unlink(reportPath.c_str());
    if (timedOut) {
        result.end = CheckProcessResult::End::TimedOut;
    } else if (WIFSIGNALED(status)) {
        result.end = CheckProcessResult::End::Killed;
        result.crash = describeCrash("signal " + std::to_string(WTERMSIG(status)));
    } else {
        result.end = CheckProcessResult::End::Exited;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
        if (result.exitCode == 127 && result.report.empty())
            result.error = "could not run " + executable;
    }
    return result;
}

std::string describeCrash(const std::string& crashLine) {
    if (crashLine == "sanitizer")
        return "stopped by a sanitizer, whose report is on the error output";
    int signalNumber = 0;
    if (std::sscanf(crashLine.c_str(), "signal %d", &signalNumber) == 1) {
        if (const char* name = signalName(signalNumber))
            return "crashed with signal " + std::to_string(signalNumber) + " (" + name + ")";
    }
    return "crashed with " + crashLine;
}

bool openCheckReport(const std::string& path) {
    reportDescriptor = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (reportDescriptor < 0) return false;

    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof(alternateStack);
    sigaltstack(&stack, nullptr);
    for (const int signalNumber : kCrashSignals) {
        struct sigaction action {};
        action.sa_sigaction = crashHandler;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(signalNumber, &action, &previousHandlers[signalNumber]);
    }
#if defined(QXA_SANITIZED)
    __sanitizer_set_death_callback(sanitizerDeath);
    // GCC links the undefined-behaviour sanitizer as a library of its own, with its own
    // callback list.
    if (void* library = dlopen("libubsan.so.1", RTLD_NOW | RTLD_NOLOAD)) {
        using SetCallback = void (*)(void (*)());
        if (auto set =
                reinterpret_cast<SetCallback>(dlsym(library, "__sanitizer_set_death_callback")))
            set(sanitizerDeath);
        dlclose(library);
    }
#endif
    return true;
}

void writeCheckReport(const std::string& text) {
    if (reportDescriptor >= 0) writeAll(reportDescriptor, text.data(), text.size());
}

void endCheckProcess(int exitCode) {
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(exitCode);
}
