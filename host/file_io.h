// Whole-file reading and writing for qxahost's audio and MIDI files, with errors as one-line
// messages. Host-side only; allocates.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads the whole file. False with `error` ("cannot open: <reason>", "is a directory", ...).
bool readFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Creates or replaces the file with `bytes`. False with `error` when it cannot be written; a
// partially written file is removed.
bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// False with `error` when `path` cannot become a file: its folder is missing, or it names a
// folder. Checked before long work whose result goes there.
bool canCreateFile(const std::string& path, std::string& error);

// True when both paths name the same existing file (also through links or other spellings).
bool isSameFile(const std::string& a, const std::string& b);
