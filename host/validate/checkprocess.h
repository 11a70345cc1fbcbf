// Each check runs in a child process of qxahost itself (fork/exec on Linux, CreateProcess on
// Windows), so that a plug-in that crashes or hangs ends that check alone. The child writes
// its report into a file the parent names; a crash handler in the child adds a line for the
// signal or exception that ended it. Platform code lives in checkprocess_*.cpp.
//
// Report lines, one fact each:
//   fail <reason>     written the moment a check fails, before anything is cleaned up
//   crash <what>      written by the crash handler: "signal 11", "exception 0xC0000005", or
//                     "sanitizer" when a sanitizer stopped the process
//   status PASS|FAIL|SKIP and reason <text>: the check's outcome, written last
#pragma once

#include <string>
#include <vector>

struct CheckProcessResult {
    enum class End { Exited, Killed, TimedOut, NotStarted };
    End end = End::NotStarted;
    int exitCode = 0;   // End::Exited
    std::string crash;  // End::Killed (or an exception's exit code), described by describeCrash
    std::string report; // the report file's contents
    std::string error;  // End::NotStarted
};

// Parent: runs this executable with `arguments` and "--result-file PATH" appended, and waits
// at most `timeoutSeconds` before killing it. The child's standard output goes to the parent's
// standard error, so that only the parent's report reaches standard output.
CheckProcessResult runCheckProcess(const std::vector<std::string>& arguments,
                                   double timeoutSeconds);

// A crash as the report's "crash" line says it, named: "crashed with signal 11 (SIGSEGV)".
std::string describeCrash(const std::string& crashLine);

// Child: opens the report file and installs the crash handler. False when the file cannot be
// opened.
bool openCheckReport(const std::string& path);
// Child: appends text to the report file (nothing before openCheckReport).
void writeCheckReport(const std::string& text);
// Child: flushes the standard streams and ends the process at once, without running the
// process's exit handlers (the plug-in's libraries are unloaded by then).
[[noreturn]] void endCheckProcess(int exitCode);
