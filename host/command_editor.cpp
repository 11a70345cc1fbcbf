// qxahost snapshot and qxahost edit: a plug-in's editor in a window of qxahost's own, captured
// to a PNG file or left for a person to use.
#include "command_options.h"
#include "commands.h"
#include "editor_commands.h"
#include "editorwindow.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Editors larger than this are taken for a broken size record.
constexpr int kLargestEditor = 8192;

int fail(std::ostream& err, const char* command, const std::string& message) {
    err << "qxahost " << command << ": " << message << '\n';
    return 1;
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string formatMilliseconds(double milliseconds) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.2f ms", milliseconds);
    return text;
}

// Rounds of each automation measurement: enough for a steady median, short enough for CI.
constexpr int kSingleWriteRounds = 60;
constexpr int kAllWritesRounds = 20;

// The median and the longest of a series of timings.
struct TimingSpread {
    double median = 0.0;
    double longest = 0.0;
};

TimingSpread spreadOf(std::vector<double> timings) {
    TimingSpread spread;
    if (timings.empty()) return spread;
    std::sort(timings.begin(), timings.end());
    const size_t middle = timings.size() / 2;
    spread.median =
        timings.size() % 2 ? timings[middle] : (timings[middle - 1] + timings[middle]) / 2.0;
    spread.longest = timings.back();
    return spread;
}

// A value far enough from `value` that every control and text of the parameter changes.
float movedValue(float value) {
    return value < 0.5f ? value + 0.37f : value - 0.37f;
}

// What a sequencer's playback costs the editor: host writes (opcode-level, as automation
// arrives), then one idle call with the paint messages it caused. `perRound` parameters are
// written in each round, cycling through them.
TimingSpread measureAutomation(PluginInstance& plugin, EditorWindow& window, int rounds,
                               int32_t perRound) {
    const int32_t count = plugin.parameterCount();
    std::vector<double> timings;
    if (count <= 0) return {};
    int32_t next = 0;
    for (int round = 0; round < rounds; ++round) {
        const Clock::time_point start = Clock::now();
        for (int32_t written = 0; written < perRound; ++written) {
            plugin.setParameter(next, movedValue(plugin.parameterValue(next)));
            next = (next + 1) % count;
        }
        plugin.dispatch(EditorTick);
        window.pumpMessages();
        timings.push_back(millisecondsSince(start));
    }
    return spreadOf(std::move(timings));
}

std::string formatSpread(const TimingSpread& spread) {
    return "median " + formatMilliseconds(spread.median) + ", at most " +
           formatMilliseconds(spread.longest);
}

// The editor's size from opcode 13; false with `error` when it reports none or an absurd one.
bool readEditorSize(PluginInstance& plugin, int& width, int& height, std::string& error) {
    EditorRect* rect = nullptr;
    if (plugin.dispatch(EditorBoundsQuery, 0, 0, &rect) == 0 || rect == nullptr) {
        error = "the plug-in reports an editor but no editor size (opcode 13 answered 0)";
        return false;
    }
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
    if (width <= 0 || height <= 0 || width > kLargestEditor || height > kLargestEditor) {
        error = "the editor reports an impossible size: " + std::to_string(width) + " x " +
                std::to_string(height) + " pixels";
        return false;
    }
    return true;
}

// A loaded, started plug-in with an editor, its settings checked, and the editor's size.
struct EditorSubject {
    std::unique_ptr<PluginInstance> plugin;
    ResolvedSettings settings;
    int width = 0;
    int height = 0;
};

bool prepareEditorSubject(const std::string& path, const PluginSettings& settings,
                          EditorSubject& subject, std::string& error) {
    if (!EditorWindow::supported(error)) return false;
    if (!checkSettingTexts(settings, error)) return false;
    subject.plugin = PluginInstance::load(path, error);
    if (!subject.plugin) return false;
    if ((subject.plugin->record()->flagBits & FlagEditor) == 0) {
        error = path + " has no editor (its flags do not include Editor)";
        return false;
    }
    if (!resolveSettings(*subject.plugin, path, settings, subject.settings, error)) return false;
    subject.plugin->start(44100.0f, 512);
    return readEditorSize(*subject.plugin, subject.width, subject.height, error);
}

// The editor open in `window`; closed (opcode 15) when this goes, before the window does.
class OpenEditor {
public:
    OpenEditor(PluginInstance& plugin, EditorWindow& window) : plugin_(plugin), window_(window) {}
    ~OpenEditor() {
        plugin_.dispatch(EditorDetach);
        window_.pumpMessages();
    }
    OpenEditor(const OpenEditor&) = delete;
    OpenEditor& operator=(const OpenEditor&) = delete;

private:
    PluginInstance& plugin_;
    EditorWindow& window_;
};

// Opens the editor in `window` and sizes the window to what the editor reports once open.
bool openEditor(EditorSubject& subject, EditorWindow& window, std::string& error) {
    if (subject.plugin->dispatch(EditorAttach, 0, 0, window.handle()) == 0) {
        error = "the editor did not open (opcode 14 answered 0)";
        return false;
    }
    const int width = subject.width;
    const int height = subject.height;
    if (!readEditorSize(*subject.plugin, subject.width, subject.height, error)) return false;
    if (subject.width != width || subject.height != height)
        window.setClientSize(subject.width, subject.height);
    return true;
}

std::string windowTitle(PluginInstance& plugin, const std::string& path) {
    for (const std::string& name : {plugin.effectName(), plugin.productName()})
        if (!name.empty()) return name;
    return std::filesystem::path(path).stem().string();
}

// Prints what the editor tells the host: parameter changes (request 0) and gestures (43, 44).
class EditReporter final : public HostRequestListener {
public:
    EditReporter(PluginInstance& plugin, std::ostream& out) : plugin_(plugin), out_(out) {
        for (int32_t i = 0; i < plugin.parameterCount(); ++i)
            titles_.push_back(plugin.parameterTitle(i));
    }

    void hostRequest(int32_t opcode, int32_t index, intptr_t, float option) override {
        if (opcode != ParameterChanged && opcode != GestureBegin && opcode != GestureEnd) return;
        const bool known = index >= 0 && index < static_cast<int32_t>(titles_.size());
        char line[256];
        const char* title =
            known ? titles_[static_cast<size_t>(index)].c_str() : "(no such parameter)";
        if (opcode == ParameterChanged) {
            ++changes_;
            // The value is already stored when the plug-in reports it: its text is current.
            const std::string text = known ? plugin_.parameterText(index) : "";
            std::snprintf(line, sizeof(line), "change  %3d %-10s = %.4f \"%s\"", index, title,
                          static_cast<double>(option), text.c_str());
        } else {
            ++gestures_;
            std::snprintf(line, sizeof(line), "%-7s %3d %s",
                          opcode == GestureBegin ? "begin" : "end", index, title);
        }
        out_ << line << '\n';
        out_.flush();
    }

    int changes() const { return changes_; }
    int gestures() const { return gestures_; }

private:
    PluginInstance& plugin_;
    std::ostream& out_;
    std::vector<std::string> titles_;
    int changes_ = 0;
    int gestures_ = 0;
};

} // namespace

int runSnapshot(const SnapshotOptions& options, std::ostream& out, std::ostream& err) {
    const char* command = "snapshot";
    std::string error;
    if (options.idlePasses < 1) return fail(err, command, "--idle must be at least 1");
    if (!EditorWindow::supported(error)) return fail(err, command, error);
    if (isSameFile(options.output, options.plugin))
        return fail(err, command, "refusing to write over the plug-in '" + options.output + "'");
    if (!canCreateFile(options.output, error))
        return fail(err, command, options.output + ": " + error);

    EditorSubject subject;
    if (!prepareEditorSubject(options.plugin, options.settings, subject, error))
        return fail(err, command, error);
    PluginInstance& plugin = *subject.plugin;
    auto window =
        EditorWindow::create(EditorWindow::Kind::Capture, windowTitle(plugin, options.plugin),
                             subject.width, subject.height, error);
    if (!window) return fail(err, command, error);

    const Clock::time_point openStart = Clock::now();
    if (!openEditor(subject, *window, error)) {
        plugin.dispatch(EditorDetach);
        return fail(err, command, error);
    }
    OpenEditor editor(plugin, *window);
    const double openCallMs = millisecondsSince(openStart);
    window->show();
    window->pumpMessages();
    const double openMs = millisecondsSince(openStart);

    // What a user changes comes after the editor is open, through the usual host calls; the
    // idle passes bring it to the screen.
    applySettings(plugin, subject.settings);
    double idleTotalMs = 0.0;
    double idleLongestMs = 0.0;
    for (int pass = 0; pass < options.idlePasses; ++pass) {
        const Clock::time_point idleStart = Clock::now();
        plugin.dispatch(EditorTick);
        window->pumpMessages();
        const double idleMs = millisecondsSince(idleStart);
        idleTotalMs += idleMs;
        idleLongestMs = std::max(idleLongestMs, idleMs);
    }

    if (!window->writePng(subject.width, subject.height, options.output, error))
        return fail(err, command, error);
    // After the capture: automation changes what the editor shows.
    const TimingSpread oneWrite = measureAutomation(plugin, *window, kSingleWriteRounds, 1);
    const TimingSpread allWrites =
        measureAutomation(plugin, *window, kAllWritesRounds, plugin.parameterCount());
    out << options.output << ": " << subject.width << " x " << subject.height << " pixels\n"
        << "editor opened in " << formatMilliseconds(openMs) << " (open call "
        << formatMilliseconds(openCallMs) << ", then its first paint); one idle pass "
        << formatMilliseconds(idleTotalMs / options.idlePasses) << " on average, "
        << formatMilliseconds(idleLongestMs) << " at most (" << options.idlePasses
        << " passes, each with the paint messages it caused)\n"
        << "one host write, then one idle pass: " << formatSpread(oneWrite) << " ("
        << kSingleWriteRounds
        << " rounds); every parameter written, then one idle pass: " << formatSpread(allWrites)
        << " (" << kAllWritesRounds << " rounds)\n";
    return 0;
}

int runEdit(const EditOptions& options, std::ostream& out, std::ostream& err) {
    const char* command = "edit";
    std::string error;
    PluginSettings settings;
    settings.program = options.program;
    EditorSubject subject;
    if (!prepareEditorSubject(options.plugin, settings, subject, error))
        return fail(err, command, error);
    PluginInstance& plugin = *subject.plugin;
    // The chosen program is in place before the editor first shows.
    applySettings(plugin, subject.settings);
    const std::string title = windowTitle(plugin, options.plugin);
    auto window = EditorWindow::create(EditorWindow::Kind::Interactive, title, subject.width,
                                       subject.height, error);
    if (!window) return fail(err, command, error);

    EditReporter reporter(plugin, out);
    plugin.setRequestListener(&reporter);
    if (!openEditor(subject, *window, error)) {
        plugin.dispatch(EditorDetach);
        plugin.setRequestListener(nullptr);
        return fail(err, command, error);
    }
    {
        OpenEditor editor(plugin, *window);
        window->show();
        out << "editing " << title << " (" << subject.width << " x " << subject.height
            << " pixels); changes and gestures follow, one a line; close the window to end\n";
        out.flush();
        window->runUntilClosed(
            options.idleMilliseconds, [&plugin] { plugin.dispatch(EditorTick); },
            [&plugin](float distance) {
                plugin.dispatch(VendorPrivateCall, kWheelVendorIndex, kWheelVendorValue, nullptr,
                                distance);
            });
    }
    // A gesture that the closing editor ends is still reported.
    plugin.setRequestListener(nullptr);
    window.reset();
    out << "closed " << title << ": " << reporter.changes() << " parameter changes, "
        << reporter.gestures() << " gesture messages\n";
    return 0;
}

void addSnapshotCommand(CLI::App& app) {
    auto options = std::make_shared<SnapshotOptions>();
    CLI::App* command = app.add_subcommand(
        "snapshot", "Open a plug-in's editor as a host does and write it as a PNG image "
                    "(Windows build)");
    command->add_option("PLUGIN", options->plugin, "The plug-in (.dll)")->type_name("")->required();
    command->add_option("--out", options->output, "The PNG file to write")
        ->type_name("FILE.png")
        ->required()
        ->check(CLI::Validator(
            [](std::string& path) -> std::string {
                std::string error;
                return checkOutputName(path, ".png", "PNG images", error) ? std::string() : error;
            },
            "", "PNG name"));
    addSettingsOptions(*command, options->settings, "", "");
    command
        ->add_option("--idle", options->idlePasses,
                     "Idle calls (opcode 19) after the settings, each followed by the host's "
                     "message pump; 1 to 10000")
        ->type_name("N")
        ->default_val(3)
        ->check(wholeNumberFrom(1, 10000, "a number of idle passes"));
    // What it prints is status, not data: standard error, as for every command.
    command->callback([options]() {
        const int code = runSnapshot(*options, std::cerr, std::cerr);
        if (code != 0) throw CLI::RuntimeError(code);
    });
}

void addEditCommand(CLI::App& app) {
    auto options = std::make_shared<EditOptions>();
    CLI::App* command = app.add_subcommand(
        "edit", "Open a plug-in's editor in a window for a person to use and print the parameter "
                "changes and gestures it sends (Windows build)");
    command->add_option("PLUGIN", options->plugin, "The plug-in (.dll)")->type_name("")->required();
    command->add_option("--program", options->program, "Program to select before opening")
        ->type_name("N")
        ->check(wholeNumberFrom(0, 1000000, "a program number"));
    command->callback([options]() {
        const int code = runEdit(*options, std::cout, std::cerr);
        if (code != 0) throw CLI::RuntimeError(code);
    });
}
