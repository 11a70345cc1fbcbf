// qxahost: a command-line QXA host. Loads a plug-in the way a host does and does real work
// with it: inspect it, render MIDI files through instruments, process WAV files through
// effects, validate it, and show or capture its editor.
#include "commands.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>

namespace {

// The parser's message for an option given too often names counts ("--midi: At Most 1 required
// but received 2"); say it plainly.
std::string plainMessage(const CLI::ParseError& failure) {
    std::string message = failure.what();
    const std::string tooMany = ": At Most 1 required but received ";
    const size_t at = message.find(tooMany);
    if (at != std::string::npos)
        return message.substr(0, at) + " may be given only once (it was given " +
               message.substr(at + tooMany.size()) + " times)";
    return message;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"qxahost: load QXA 2.4 plug-ins and work with them", "qxahost"};
    app.require_subcommand(1);
    // Only "-" and "--" start options, on Windows too: "/home/me/Oriv.dll" is a path (Wine
    // passes Unix paths unchanged). Subcommands copy this setting when they are added.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", "qxahost 1.0");
    addInfoCommand(app);
    addProcessCommand(app);
    addRenderCommand(app);
    addValidateCommand(app);
    addSnapshotCommand(app);
    addEditCommand(app);
    // CLI11 would only say that a command is required; name the unknown one instead.
    std::string known;
    bool isKnown = false;
    for (const CLI::App* command : app.get_subcommands({})) {
        known += (known.empty() ? "" : ", ") + command->get_name();
        isKnown = isKnown || (argc > 1 && command->get_name() == argv[1]);
    }
    if (argc > 1 && argv[1][0] != '-' && !isKnown) {
        std::fprintf(stderr, "qxahost: unknown command '%s' (commands: %s)\n", argv[1],
                     known.c_str());
        return 1;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::RuntimeError& failure) {
        return failure.get_exit_code();
    } catch (const CLI::ParseError& failure) {
        // Help and version answer 0; every usage error answers 1, as other bad input does.
        if (failure.get_exit_code() == 0) return app.exit(failure);
        std::fprintf(stderr, "qxahost: %s\nRun with --help for more information.\n",
                     plainMessage(failure).c_str());
        return 1;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "qxahost: %s\n", failure.what());
        return 1;
    } catch (...) {
        std::fprintf(stderr, "qxahost: unexpected failure\n");
        return 1;
    }
    return 0;
}
