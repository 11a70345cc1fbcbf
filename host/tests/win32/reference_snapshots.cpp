#include "reference_snapshots.h"

#include "binary_dir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

bool readSnapshotManifest(const std::string& folder, std::vector<ReferenceSnapshot>& snapshots,
                          std::string& error) {
    const std::string path = folder + "/snapshots.txt";
    std::ifstream file(path);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    int lineNumber = 0;
    for (std::string line; std::getline(file, line);) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        ReferenceSnapshot snapshot;
        if (!(words >> snapshot.image) || snapshot.image[0] == '#') continue;
        const std::string where = path + ":" + std::to_string(lineNumber) + ": ";
        std::string option;
        while (words >> option) {
            std::string value;
            if (!(words >> value)) {
                error = where + option + " needs a value";
                return false;
            }
            if (option == "--program") {
                char* end = nullptr;
                snapshot.settings.program = static_cast<int>(std::strtol(value.c_str(), &end, 10));
                if (*end != '\0') {
                    error = where + "--program takes a number, not '" + value + "'";
                    return false;
                }
            } else if (option == "--set") {
                snapshot.settings.sets.push_back(value);
            } else {
                error = where + "unknown option '" + option + "' (--program and --set serve)";
                return false;
            }
            snapshot.arguments += (snapshot.arguments.empty() ? "" : " ") + option + " " + value;
        }
        snapshots.push_back(snapshot);
    }
    if (snapshots.empty()) {
        error = path + " lists no snapshot";
        return false;
    }
    return true;
}

namespace {

int channelDifference(uint32_t a, uint32_t b) {
    int largest = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int difference =
            std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        largest = std::max(largest, difference);
    }
    return largest;
}

std::string hexColour(uint32_t colour) {
    char text[16];
    std::snprintf(text, sizeof(text), "#%06X", static_cast<unsigned>(colour));
    return text;
}

} // namespace

ImageComparison compareImages(const PngImage& expected, const PngImage& actual,
                              const PixelTolerance& tolerance) {
    ImageComparison result;
    if (expected.width != actual.width || expected.height != actual.height ||
        expected.pixels.size() != actual.pixels.size()) {
        result.report = "the sizes differ: expected " + std::to_string(expected.width) + " x " +
                        std::to_string(expected.height) + ", got " + std::to_string(actual.width) +
                        " x " + std::to_string(actual.height);
        return result;
    }
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x) {
            const int difference = channelDifference(expected.at(x, y), actual.at(x, y));
            if (difference <= tolerance.channelTolerance) continue;
            ++result.differingPixels;
            if (difference > result.worstDifference) {
                result.worstDifference = difference;
                result.worstX = x;
                result.worstY = y;
                result.worstExpected = expected.at(x, y);
                result.worstActual = actual.at(x, y);
            }
        }
    result.matches = result.differingPixels <= tolerance.strayPixels;
    if (!result.matches)
        result.report =
            std::to_string(result.differingPixels) + " of " +
            std::to_string(expected.width * expected.height) + " pixels differ by more than " +
            std::to_string(tolerance.channelTolerance) + " levels (at most " +
            std::to_string(tolerance.strayPixels) + " may); the worst at (" +
            std::to_string(result.worstX) + ", " + std::to_string(result.worstY) + "): expected " +
            hexColour(result.worstExpected) + ", got " + hexColour(result.worstActual) + ", " +
            std::to_string(result.worstDifference) + " levels apart";
    return result;
}

::testing::AssertionResult samePixels(const PngImage& expected, const PngImage& actual) {
    if (expected.pixels.empty()) return ::testing::AssertionFailure() << "nothing was captured";
    const ImageComparison comparison = compareImages(expected, actual, {0, 0});
    if (comparison.matches) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << comparison.report;
}

namespace {

std::string inBinaryDir(const std::string& first, const std::string& second) {
    return testing_paths::binaryDir() + testing_paths::kSeparator + first +
           testing_paths::kSeparator + second;
}

std::string referenceFolder(const std::string& folder) {
    return inBinaryDir("reference", folder);
}

// qxahost snapshot's work for `settings`, read back; false with `error`.
bool renderSnapshot(const std::string& pluginName, const PluginSettings& settings,
                    const std::string& imageName, PngImage& image, std::string& error) {
    SnapshotOptions options;
    options.plugin = testing_paths::pluginPath(pluginName);
    options.output = inBinaryDir("snapshots", imageName);
    options.settings = settings;
    std::filesystem::create_directories(inBinaryDir("snapshots", ""));
    std::ostringstream out, err;
    if (runSnapshot(options, out, err) != 0) {
        error = err.str();
        return false;
    }
    std::cout << out.str();
    return readPngFile(options.output, image, error);
}

} // namespace

::testing::AssertionResult snapshotsMatchTheirReferences(const std::string& pluginName,
                                                         const std::string& folder, int width,
                                                         int height) {
    std::vector<ReferenceSnapshot> snapshots;
    std::string error;
    if (!readSnapshotManifest(referenceFolder(folder), snapshots, error))
        return ::testing::AssertionFailure() << error;
    std::string mismatches;
    for (const ReferenceSnapshot& snapshot : snapshots) {
        const std::string name =
            snapshot.image + (snapshot.arguments.empty() ? "" : " ") + snapshot.arguments;
        const std::string referencePath =
            referenceFolder(folder) + testing_paths::kSeparator + snapshot.image;
        PngImage expected;
        PngImage actual;
        if (!readPngFile(referencePath, expected, error) ||
            !renderSnapshot(pluginName, snapshot.settings, snapshot.image, actual, error))
            return ::testing::AssertionFailure() << name << ": " << error;
        if (expected.width != width || expected.height != height)
            return ::testing::AssertionFailure()
                   << referencePath << " is " << expected.width << " x " << expected.height
                   << " pixels, not the editor's " << width << " x " << height;
        const ImageComparison comparison = compareImages(expected, actual, PixelTolerance{});
        if (!comparison.matches)
            mismatches += "\n" + name + ": " + comparison.report +
                          "\n  reference: " + referencePath +
                          "\n  snapshot:  " + inBinaryDir("snapshots", snapshot.image);
    }
    if (!mismatches.empty()) return ::testing::AssertionFailure() << mismatches;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult aChangedSnapshotDiffers(const std::string& pluginName,
                                                   const std::string& folder,
                                                   const std::string& extraSet) {
    std::vector<ReferenceSnapshot> snapshots;
    std::string error;
    if (!readSnapshotManifest(referenceFolder(folder), snapshots, error))
        return ::testing::AssertionFailure() << error;
    const ReferenceSnapshot& snapshot = snapshots.front();
    PluginSettings changed = snapshot.settings;
    changed.sets.push_back(extraSet);
    PngImage expected;
    PngImage actual;
    if (!readPngFile(referenceFolder(folder) + testing_paths::kSeparator + snapshot.image, expected,
                     error) ||
        !renderSnapshot(pluginName, changed, "changed-" + snapshot.image, actual, error))
        return ::testing::AssertionFailure() << error;
    const ImageComparison comparison = compareImages(expected, actual, PixelTolerance{});
    if (comparison.matches)
        return ::testing::AssertionFailure()
               << "--set " << extraSet << " went unnoticed: only " << comparison.differingPixels
               << " pixels differ from " << snapshot.image;
    return ::testing::AssertionSuccess();
}
