// Reference snapshots of an editor: committed PNG images written by `qxahost snapshot`, listed
// with the options they were written with in a manifest (snapshots.txt, one image a line:
// "FILE [--program N] [--set NAME=VALUE]..."), and the comparison of a fresh snapshot with one.
// scripts/make-editor-references.sh writes the images from the same manifest.
#pragma once

#include "editor_commands.h"
#include "editor_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct ReferenceSnapshot {
    std::string image;     // file name inside the reference folder
    std::string arguments; // the options as written in the manifest, for messages
    PluginSettings settings;
};

// The manifest `folder`/snapshots.txt; '#' starts a comment line. False with `error` for a
// missing file or an option it does not know.
bool readSnapshotManifest(const std::string& folder, std::vector<ReferenceSnapshot>& snapshots,
                          std::string& error);

// How far a snapshot may stray from its reference: pixels whose channels all lie within
// `channelTolerance` levels match; up to `strayPixels` others are forgiven (text edges that a
// font renderer places a little differently).
struct PixelTolerance {
    int channelTolerance = 6;
    int strayPixels = 40;
};

struct ImageComparison {
    bool matches = false;
    int differingPixels = 0; // beyond the channel tolerance
    // The pixel that differs most, by its largest channel difference.
    int worstX = -1;
    int worstY = -1;
    uint32_t worstExpected = 0;
    uint32_t worstActual = 0;
    int worstDifference = 0;
    // One paragraph saying what differs; empty when the images match.
    std::string report;
};

ImageComparison compareImages(const PngImage& expected, const PngImage& actual,
                              const PixelTolerance& tolerance);

// Exactly the same pixels (captures of one editor compared with each other).
::testing::AssertionResult samePixels(const PngImage& expected, const PngImage& actual);

// The reference snapshots of one editor, copied next to the test executable into
// reference/<folder> (the tests' CMakeLists copies them there).
//
// Each snapshot of the manifest, rendered afresh with qxahost snapshot's own code into
// snapshots/ next to the test, matches its reference image within the default tolerance, and
// the reference is width x height pixels. The snapshot command's report (the time to open the
// editor and to run one idle pass) is printed.
::testing::AssertionResult snapshotsMatchTheirReferences(const std::string& pluginName,
                                                         const std::string& folder, int width,
                                                         int height);
// The manifest's first snapshot rendered with `extraSet` (--set NAME=VALUE) as well no longer
// matches its reference: the comparison sees a change of one control.
::testing::AssertionResult aChangedSnapshotDiffers(const std::string& pluginName,
                                                   const std::string& folder,
                                                   const std::string& extraSet);
