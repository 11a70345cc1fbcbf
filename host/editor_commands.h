// The work of `qxahost snapshot` and `qxahost edit`, callable without the command line (the
// commands and the tests use it). Each returns the exit code: 0 on success, 1 after printing a
// one-line error to `err`. Editors open only where qxahost has a window system (the Windows
// build, also under Wine); elsewhere both commands say so and answer 1.
#pragma once

#include "render_common.h"

#include <iosfwd>
#include <string>

struct SnapshotOptions {
    std::string plugin;
    std::string output; // PNG file
    PluginSettings settings;
    int idlePasses = 3;
};

// Opens the editor in a host window as a host does (size, open, then the program and values
// through the usual calls, then idle passes with the message pump between them), writes the
// editor's window as a PNG file of exactly the editor's size, and prints the path, the size
// and the time to open the editor and to run one idle pass.
int runSnapshot(const SnapshotOptions& options, std::ostream& out, std::ostream& err);

struct EditOptions {
    std::string plugin;
    int program = -1; // -1 = the plug-in's own
    int idleMilliseconds = 33;
};

// Opens the editor in a window of its own for a person to use, gives it idle time about 30 times
// a second and prints each parameter change and gesture it sends, one line each, until the
// window is closed; then closes the editor and shuts the plug-in down.
int runEdit(const EditOptions& options, std::ostream& out, std::ostream& err);
