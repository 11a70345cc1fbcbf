// ProgramNames: the names of a plug-in's programs. The host renames and reads them from its
// threads and the editor shows them; no audio path reads them, so a small lock keeps a name
// from being read half-written.
#pragma once

#include "audioeffect.h"

#include <cstdio>
#include <cstring>
#include <mutex>

template <int32_t kCount, int32_t kBytes>
class ProgramNames {
public:
    // What a new program is called; the host sees it numbered ("Init 4" for program 3).
    static constexpr const char* kNewName = "Init";

    ProgramNames() {
        for (char* name : names_)
            copyBounded(name, kNewName, kBytes - 1);
    }

    // Programs outside 0..kCount-1 are ignored. A longer name is cut to kBytes - 1 characters.
    void rename(int32_t program, const char* name) {
        if (!isProgram(program) || !name) return;
        std::lock_guard<std::mutex> lock(mutex_);
        copyBounded(names_[program], name, kBytes - 1);
    }
    // The stored name, at most maxLength characters.
    void copy(int32_t program, char* buffer, int32_t maxLength) const {
        if (!isProgram(program) || !buffer) return;
        std::lock_guard<std::mutex> lock(mutex_);
        copyBounded(buffer, names_[program], maxLength);
    }
    // The name as the host lists the current program: a new program shows its number.
    void copyShown(int32_t program, char* buffer, int32_t maxLength) const {
        if (!isProgram(program) || !buffer) return;
        std::lock_guard<std::mutex> lock(mutex_);
        if (std::strcmp(names_[program], kNewName) == 0)
            std::snprintf(buffer, static_cast<size_t>(maxLength) + 1, "%s %d", kNewName,
                          program + 1);
        else
            copyBounded(buffer, names_[program], maxLength);
    }
    void copyName(int32_t from, int32_t to) {
        if (!isProgram(from) || !isProgram(to) || from == to) return;
        std::lock_guard<std::mutex> lock(mutex_);
        std::memcpy(names_[to], names_[from], kBytes);
    }

private:
    static constexpr bool isProgram(int32_t program) { return program >= 0 && program < kCount; }

    mutable std::mutex mutex_;
    char names_[kCount][kBytes] = {};
};
