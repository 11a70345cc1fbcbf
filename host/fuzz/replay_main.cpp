// Runs a fuzz target over files, as libFuzzer would replay them, for builds without libFuzzer
// (the sanitizer builds of g++): make test replays the committed corpora this way.
//   usage: <replay> FILE_OR_DIRECTORY ...   (a directory: every file in it, in name order)
// Exits 0 once every input has run; a broken check aborts, a sanitizer stops the process, and
// finding no input at all is an error.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool collect(const std::filesystem::path& path, std::vector<std::filesystem::path>& inputs) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(path, error))
            if (entry.is_regular_file()) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        inputs.insert(inputs.end(), files.begin(), files.end());
        return !error;
    }
    if (!std::filesystem::is_regular_file(path, error)) return false;
    inputs.push_back(path);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE_OR_DIRECTORY ...\n", argv[0]);
        return 2;
    }
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!collect(argv[i], inputs)) {
            std::fprintf(stderr, "%s: cannot read '%s'\n", argv[0], argv[i]);
            return 1;
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "%s: no input files\n", argv[0]);
        return 1;
    }
    for (const auto& input : inputs) {
        std::ifstream file(input, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
        if (!file.is_open() || file.bad()) {
            std::fprintf(stderr, "%s: cannot read '%s'\n", argv[0], input.string().c_str());
            return 1;
        }
        // Named first, so that a crash report says which input it was.
        std::fprintf(stderr, "%s\n", input.string().c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
