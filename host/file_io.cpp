#include "file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Reads until the end of `file`, in pieces rather than trusting a size query, so pipes and
// growing files work too.
bool readAll(std::FILE* file, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    constexpr size_t kPiece = 1 << 16;
    for (;;) {
        const size_t used = bytes.size();
        bytes.resize(used + kPiece);
        const size_t got = std::fread(bytes.data() + used, 1, kPiece, file);
        bytes.resize(used + got);
        if (got < kPiece) break;
    }
    if (std::ferror(file)) {
        error = std::string("cannot read: ") + std::strerror(errno ? errno : EIO);
        return false;
    }
    return true;
}

} // namespace

void setBinaryMode(std::FILE* stream) {
#ifdef _WIN32
    _setmode(_fileno(stream), _O_BINARY);
#else
    (void)stream;
#endif
}

bool isStandardStream(const std::string& path) {
    return path == "-";
}

bool readFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    if (isStandardStream(path)) {
        setBinaryMode(stdin);
        errno = 0;
        return readAll(stdin, bytes, error);
    }
    std::error_code code;
    if (std::filesystem::is_directory(path, code)) {
        error = "is a directory, not a file";
        return false;
    }
    errno = 0;
    FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = std::string("cannot open: ") + std::strerror(errno ? errno : ENOENT);
        return false;
    }
    return readAll(file.get(), bytes, error);
}

bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string& error) {
    errno = 0;
    FileHandle file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = std::string("cannot create: ") + std::strerror(errno ? errno : EACCES);
        return false;
    }
    const bool written =
        bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        error = std::string("cannot write: ") + std::strerror(errno ? errno : EIO);
        // A partial file would pass for a result. Only a plain file: the output may be a device.
        std::error_code code;
        if (std::filesystem::is_regular_file(path, code)) std::filesystem::remove(path, code);
        return false;
    }
    return true;
}

bool canCreateFile(const std::string& path, std::string& error) {
    if (isStandardStream(path)) return true;
    std::error_code code;
    const std::filesystem::path file(path);
    if (std::filesystem::is_directory(file, code)) {
        error = "is a directory, not a file";
        return false;
    }
    const std::filesystem::path folder = file.parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder, code)) {
        error = "cannot create: the folder " + folder.string() + " does not exist";
        return false;
    }
    return true;
}

bool isSameFile(const std::string& a, const std::string& b) {
    if (isStandardStream(a) || isStandardStream(b)) return false;
    std::error_code code;
    const bool same = std::filesystem::equivalent(a, b, code);
    return !code && same;
}
