// Windows: CreateProcess of this executable; a crash is an unhandled exception, which the
// child's top-level filter writes into the report before the process ends with its code.
#include "checkprocess.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

HANDLE reportHandle = INVALID_HANDLE_VALUE;

std::string quoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
            quoted += '"';
        } else {
            quoted.append(backslashes, '\\');
            quoted += c;
        }
        backslashes = 0;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

std::string hexCode(DWORD code) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

// An exit code that is an exception code rather than a value the program chose.
bool isExceptionCode(DWORD code) {
    return code >= 0xC0000000u || code == EXCEPTION_BREAKPOINT;
}

const char* exceptionName(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
        return "access violation";
    case EXCEPTION_STACK_OVERFLOW:
        return "stack overflow";
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
        return "integer division by zero";
    case EXCEPTION_ILLEGAL_INSTRUCTION:
        return "illegal instruction";
    case EXCEPTION_PRIV_INSTRUCTION:
        return "privileged instruction";
    case EXCEPTION_BREAKPOINT:
        return "breakpoint";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        return "array bounds exceeded";
    case EXCEPTION_IN_PAGE_ERROR:
        return "in-page error";
    case 0xC0000374u:
        return "heap corruption";
    case 0xC0000409u:
        return "stack buffer overrun";
    case 0xE06D7363u:
        return "C++ exception";
    default:
        return nullptr;
    }
}

// No formatting library: the process may be in any state.
LONG WINAPI crashFilter(EXCEPTION_POINTERS* exception) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    char line[] = "crash exception 0x00000000\n";
    const char* hex = "0123456789ABCDEF";
    for (int i = 0; i < 8; ++i)
        line[18 + i] = hex[(code >> (28 - 4 * i)) & 0xF];
    if (reportHandle != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(reportHandle, line, sizeof(line) - 1, &written, nullptr);
    }
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

std::string readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

CheckProcessResult runCheckProcess(const std::vector<std::string>& arguments,
                                   double timeoutSeconds) {
    CheckProcessResult result;
    char directory[MAX_PATH + 1] = {};
    char reportPath[MAX_PATH + 1] = {};
    if (GetTempPathA(sizeof(directory), directory) == 0 ||
        GetTempFileNameA(directory, "qxv", 0, reportPath) == 0) {
        result.error = "cannot create a report file in the temporary directory";
        return result;
    }
    char executable[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, executable, MAX_PATH);

    std::string commandLine = quoteArgument(executable);
    // Appended piece by piece: `" " + text` trips GCC 12's false -Wrestrict warning.
    for (const std::string& argument : arguments) {
        commandLine += ' ';
        commandLine += quoteArgument(argument);
    }
    commandLine += " --result-file ";
    commandLine += quoteArgument(reportPath);

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    HANDLE errorOutput = GetStdHandle(STD_ERROR_HANDLE);
    if (errorOutput != nullptr && errorOutput != INVALID_HANDLE_VALUE) {
        SetHandleInformation(errorOutput, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = errorOutput;
        startup.hStdError = errorOutput;
    }
    PROCESS_INFORMATION process{};
    std::fflush(stdout);
    std::fflush(stderr);
    if (!CreateProcessA(executable, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        DeleteFileA(reportPath);
        result.error = "cannot start " + std::string(executable) + " (error " +
                       std::to_string(GetLastError()) + ")";
        return result;
    }
    CloseHandle(process.hThread);

    const DWORD waited =
        WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutSeconds * 1000.0));
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        result.end = CheckProcessResult::End::TimedOut;
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);

    result.report = readWholeFile(reportPath);
    DeleteFileA(reportPath);
    if (result.end == CheckProcessResult::End::TimedOut) return result;
    if (isExceptionCode(exitCode)) {
        result.end = CheckProcessResult::End::Killed;
        result.crash = describeCrash("exception " + hexCode(exitCode));
    } else {
        result.end = CheckProcessResult::End::Exited;
        result.exitCode = static_cast<int>(exitCode);
    }
    return result;
}

std::string describeCrash(const std::string& crashLine) {
    unsigned long code = 0;
    if (std::sscanf(crashLine.c_str(), "exception 0x%lx", &code) == 1) {
        if (const char* name = exceptionName(static_cast<DWORD>(code)))
            return "crashed with exception " + hexCode(static_cast<DWORD>(code)) + " (" + name +
                   ")";
        return "crashed with exception " + hexCode(static_cast<DWORD>(code));
    }
    return "crashed with " + crashLine;
}

bool openCheckReport(const std::string& path) {
    reportHandle = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (reportHandle == INVALID_HANDLE_VALUE) return false;
    // No dialog boxes: a crash ends the process and is reported by the parent.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(crashFilter);
    return true;
}

void writeCheckReport(const std::string& text) {
    if (reportHandle == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(reportHandle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void endCheckProcess(int exitCode) {
    std::fflush(stdout);
    std::fflush(stderr);
    if (reportHandle != INVALID_HANDLE_VALUE) CloseHandle(reportHandle);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
    std::_Exit(exitCode);
}
