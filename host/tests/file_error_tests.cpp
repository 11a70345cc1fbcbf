// qxahost's answers to files it cannot read or write, through its command line: one line on
// standard error, exit status 1, and no output file left behind, not even a partial one.
#include "binary_dir.h"
#include "test_files.h"
#include "wavfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <csignal>
#include <sys/resource.h>
#endif

using testing_paths::pluginPath;
using testing_paths::quoted;
using testing_paths::runTool;

namespace {

class QxahostFileErrors : public ::testing::Test {
protected:
    QxahostFileErrors() : dir_("qxa-file-errors"), input_(dir_.file("in.wav")) {
        WavAudio audio;
        audio.sampleRate = 44100;
        audio.channels.assign(1, std::vector<float>(4410, 0.25f));
        std::string error;
        EXPECT_TRUE(writeWavFile(input_, audio, WavSampleFormat::Float32, error)) << error;
    }

    // The input through the gain plug-in: refused with one line that holds `message`.
    void expectRefused(const std::string& command, const std::string& message) {
        const auto run = runTool("qxahost", command);
        EXPECT_EQ(run.exitCode, 1) << command << ":\n" << run.output;
        EXPECT_NE(run.output.find(message), std::string::npos) << command << ":\n" << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    }

    std::string process(const std::string& input, const std::string& output) const {
        return "process " + quoted(pluginPath("QxaTestPlugin")) + " --in " + quoted(input) +
               " --out " + quoted(output);
    }

    // What the scratch folder holds besides the input (and the folder made as one).
    std::vector<std::string> leftBehind() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.file("")))
            if (entry.path().filename() != "in.wav" && entry.path().filename() != "folder")
                names.push_back(entry.path().filename().string());
        return names;
    }

    testfiles::ScratchDirectory dir_;
    std::string input_;
};

TEST_F(QxahostFileErrors, FoldersAndMissingFoldersAreRefusedBeforeAnythingIsWritten) {
    std::filesystem::create_directory(dir_.file("folder"));
    expectRefused(process(dir_.file("folder"), dir_.file("out.wav")), "is a directory");
    expectRefused(process(input_, dir_.file("folder")), "is a directory");
    expectRefused(process(input_, dir_.file("none/out.wav")), "does not exist");
    expectRefused("render " + quoted(pluginPath("Oriv")) + " --midi " +
                      quoted(dir_.file("folder")) + " --out " + quoted(dir_.file("out.wav")),
                  "is a directory");
    EXPECT_EQ(leftBehind(), std::vector<std::string>{});
}

#if !defined(_WIN32)
TEST_F(QxahostFileErrors, ReadAndWriteErrorsAreReportedAndLeaveNoFile) {
    // Reading the process's own memory from address 0 fails at once with EIO.
    expectRefused(process("/proc/self/mem", dir_.file("out.wav")), "cannot read");
    expectRefused(process(input_, "/dev/full"), "cannot write: No space left on device");

    // A disk that fills up part of the way: the first 4 KiB are written, then EFBIG. The limit
    // and the ignored signal are inherited by qxahost, and lifted again at once.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = 4096;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    const auto run = runTool("qxahost", process(input_, dir_.file("out.wav")));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("cannot write: File too large"), std::string::npos) << run.output;
    EXPECT_EQ(leftBehind(), std::vector<std::string>{});
}
#endif

} // namespace
