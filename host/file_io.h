// Whole-file reading and writing for qxahost's audio and MIDI files, with errors as one-line
// messages. Host-side only; allocates.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// "-" names standard input where a file is read and standard output where one is written.
bool isStandardStream(const std::string& path);

// Audio and MIDI data pass a standard stream unchanged: no newline translation on Windows.
void setBinaryMode(std::FILE* stream);

// Reads the whole file (standard input for "-"). False with `error` ("cannot open: <reason>",
// "is a directory", ...).
bool readFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Creates or replaces the file with `bytes`. False with `error` when it cannot be written; a
// partially written file is removed.
bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// False with `error` when `path` cannot become a file: its folder is missing, or it names a
// folder. Checked before long work whose result goes there. "-" can always be written.
bool canCreateFile(const std::string& path, std::string& error);

// True when both paths name the same existing file (also through links or other spellings);
// "-" is never the same file as another path.
bool isSameFile(const std::string& a, const std::string& b);
