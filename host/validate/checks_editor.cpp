// Check 12: the editor, for plug-ins that report one. Its size, the calls a host makes to a
// closed editor, then open and close cycles: first on this thread with idle time, keys, the
// wheel and parameter changes in between, then again while another thread renders, writes
// parameters and changes programs. In every cycle the editor's window inside the host's window
// must have the size the editor reports, and be gone once it is closed. Over the cycles nothing
// may grow: the toolkit's live objects (the plug-in's answer to the toolkit query), the window
// system's GDI and USER objects where it reports them, and the resident memory.
#include "check_support.h"
#include "checkrandom.h"
#include "editorwindow.h"
#include "memory_usage.h"
#include "renderrig.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int32_t kLargestEditor = 8192;
constexpr int32_t kBlock = 256;
// Opened and closed before the first measurement: what an editor builds once and keeps (caches,
// fonts, the window class) is in place by then.
constexpr int kWarmUpCycles = 3;
// Resident memory wanders a little without any leak (heap pages, the window system's caches).
constexpr int64_t kResidentSlackBytes = 4 << 20;

struct EditorSize {
    int width = 0;
    int height = 0;
};

EditorSize reportedSize(CheckInstance& instance, const char* when) {
    EditorRect* rect = nullptr;
    if (instance.dispatch(EditorBoundsQuery, 0, 0, &rect) == 0 || rect == nullptr)
        failCheck(textf("FlagEditor is set but the editor reports no size (opcode 13, %s)", when));
    const EditorSize size{rect->right - rect->left, rect->bottom - rect->top};
    if (size.width <= 0 || size.height <= 0 || size.width > kLargestEditor ||
        size.height > kLargestEditor)
        failCheck(textf("the editor reports an implausible size %s: %d x %d", when, size.width,
                        size.height));
    return size;
}

// What hosts send to an editor that is not open: none of it may reach a missing frame.
void callClosedEditor(CheckInstance& instance) {
    instance.dispatch(EditorTick);
    instance.dispatch(EditorKeyPress, 'a', 0, nullptr, 0.0f);
    instance.dispatch(EditorKeyRelease, 'a', 0, nullptr, 0.0f);
    instance.dispatch(EditorKnobModeChange, 0, 0);
    instance.dispatch(VendorPrivateCall, kWheelVendorIndex, kWheelVendorValue, nullptr, 1.0f);
    instance.dispatch(EditorDetach);
}

// The open editor's window: one of the host window's children has the size the editor reports.
void checkOpenWindow(CheckInstance& instance, const EditorWindow& window, const char* when) {
    const EditorSize size = reportedSize(instance, when);
    const std::vector<EditorWindow::ChildWindow> children = window.childWindows();
    if (children.empty())
        failCheck(
            textf("the editor opened but made no window inside the host's window (%s)", when));
    for (const EditorWindow::ChildWindow& child : children)
        if (child.width == size.width && child.height == size.height) return;
    failCheck(textf("the editor's window is %d x %d, but its bounds (opcode 13) say %d x %d (%s)",
                    children.front().width, children.front().height, size.width, size.height,
                    when));
}

void checkClosedWindow(const EditorWindow& window, const char* when) {
    const size_t left = window.childWindows().size();
    if (left > 0)
        failCheck(textf("after the editor closed, %zu window%s of it remained in the host's "
                        "window (%s)",
                        left, left == 1 ? "" : "s", when));
}

// Opens and closes the editor `cycles` times on this thread, with what a user does while it is
// open; `changeParameters` adds parameter writes, which the editor must show.
void openAndClose(CheckInstance& instance, EditorWindow& window, CheckRandom& random, int cycles,
                  bool changeParameters, const char* phase) {
    const int32_t parameters = instance.parameterCount();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const std::string when = textf("cycle %d of %d, %s", cycle + 1, cycles, phase);
        if (instance.dispatch(EditorAttach, 0, 0, window.handle()) == 0)
            failCheck("the editor did not open (" + when + ")");
        window.pumpMessages();
        checkOpenWindow(instance, window, when.c_str());
        for (int tick = 0; tick < 3; ++tick) {
            if (changeParameters && parameters > 0)
                instance.writeParameter(random.below(parameters), random.unit());
            instance.dispatch(EditorTick);
            window.pumpMessages();
        }
        instance.dispatch(EditorKeyPress, 'a', 0, nullptr, 0.0f);
        instance.dispatch(EditorKeyRelease, 'a', 0, nullptr, 0.0f);
        instance.dispatch(VendorPrivateCall, kWheelVendorIndex, kWheelVendorValue, nullptr,
                          random.bipolar());
        instance.dispatch(EditorDetach);
        window.pumpMessages();
        checkClosedWindow(window, when.c_str());
        instance.dispatch(EditorTick); // a late idle call after closing
    }
}

// What must not grow over the cycles; -1 where it is not known.
struct Footprint {
    int64_t liveObjects = -1;
    int64_t gdiObjects = -1;
    int64_t userObjects = -1;
    int64_t residentBytes = -1;
};

Footprint measureFootprint(CheckInstance& instance) {
    Footprint footprint;
    int32_t liveObjects = -1;
    if (instance.dispatch(VendorPrivateCall, kToolkitQueryIndex, kToolkitLiveObjectsValue,
                          &liveObjects) == 1 &&
        liveObjects >= 0)
        footprint.liveObjects = liveObjects;
    const EditorWindow::ObjectCounts objects = EditorWindow::objectCounts();
    footprint.gdiObjects = objects.gdiObjects;
    footprint.userObjects = objects.userObjects;
    const MemoryUsage memory = currentMemoryUsage();
    if (memory.residentIsMeaningful) footprint.residentBytes = memory.residentBytes;
    return footprint;
}

struct FootprintMeasure {
    const char* name;
    int64_t Footprint::*field;
    int64_t slack; // growth per half that is not yet a leak
};

constexpr FootprintMeasure kFootprintMeasures[] = {
    {"live toolkit objects", &Footprint::liveObjects, 0},
    {"GDI objects", &Footprint::gdiObjects, 0},
    {"USER objects", &Footprint::userObjects, 0},
    {"resident memory", &Footprint::residentBytes, kResidentSlackBytes},
};

std::string amountText(const FootprintMeasure& measure, int64_t value) {
    if (measure.field == &Footprint::residentBytes)
        return textf("%.1f MiB", static_cast<double>(value) / (1 << 20));
    return textf("%lld", static_cast<long long>(value));
}

// A leak grows a measure in both halves of the cycles; something built once, late, in one.
// Fails the check on a leak; otherwise describes what was measured and what could not be.
std::string judgeFootprints(const Footprint& start, const Footprint& middle, const Footprint& end,
                            int cycles) {
    std::string measured;
    for (const FootprintMeasure& measure : kFootprintMeasures) {
        const int64_t first = start.*measure.field;
        const int64_t second = middle.*measure.field;
        const int64_t last = end.*measure.field;
        if (first < 0 || second < 0 || last < 0) continue;
        const std::string path = amountText(measure, first) + " -> " + amountText(measure, second) +
                                 " -> " + amountText(measure, last);
        if (second - first > measure.slack && last - second > measure.slack)
            failCheck(textf("the editor leaks: %s grew over both halves of %d open/close cycles "
                            "(%s)",
                            measure.name, cycles, path.c_str()));
        measured += textf("%s%s %s", measured.empty() ? "" : ", ", measure.name, path.c_str());
    }
    std::string text =
        "nothing grew: " + (measured.empty() ? std::string("nothing measured") : measured);
    if (start.liveObjects < 0)
        text += "; live toolkit objects unknown (the plug-in does not answer the toolkit query)";
    if (start.gdiObjects < 0 && start.userObjects < 0)
        text += "; GDI and USER objects not reported by this system (Wine answers 0)";
    if (start.residentBytes < 0) text += "; resident memory not measured here";
    return text;
}

} // namespace

CheckOutcome runEditorCheck(const CheckSettings& settings) {
    CheckSubject subject = openSubject(settings);
    CheckInstance& instance = *subject.instance;
    if ((instance.record().flagBits & FlagEditor) == 0)
        return checkSkipped("the plug-in reports no editor");
    CheckRandom random(settings.seed);

    const EditorSize size = reportedSize(instance, "before opening");
    callClosedEditor(instance);

    std::string whyNot;
    auto window = EditorWindow::create(EditorWindow::Kind::Hidden, "qxahost validate", size.width,
                                       size.height, whyNot);
    if (!window)
        return checkPassed(textf("editor %d x %d; calls to the closed editor survived; not "
                                 "opened: %s",
                                 size.width, size.height, whyNot.c_str()));

    const int cycles = std::min(100, scaledCount(settings, 100));
    openAndClose(instance, *window, random, kWarmUpCycles, true, "warming up");
    const Footprint start = measureFootprint(instance);
    openAndClose(instance, *window, random, cycles, true, "parameters written between idle calls");
    const Footprint middle = measureFootprint(instance);

    // The same while the audio thread renders and automates: parameter writes and program
    // changes arrive from there while the editor opens and closes.
    instance.prepare(44100.0f, kBlock);
    const int32_t parameters = instance.parameterCount();
    const int32_t programs = instance.programCount();
    std::atomic<bool> stop{false};
    std::atomic<int64_t> blocks{0};
    std::atomic<int64_t> writes{0};
    std::atomic<int64_t> programChanges{0};
    std::string renderFailure; // written by the render thread only, read after it is joined
    const uint64_t renderSeed = random.next();
    std::thread renderer([&] {
        try {
            CheckRandom automation(renderSeed);
            RenderRig rig(instance, kBlock, automation.next());
            rig.setInputLevel(instance.isInstrument() ? 0.0f : 0.5f);
            if (instance.isInstrument()) rig.events().noteOn(0, 0, 60, 100);
            while (!stop.load(std::memory_order_acquire)) {
                for (int32_t n = parameters > 0 ? automation.below(4) : 0; n > 0; --n) {
                    instance.writeParameter(automation.below(parameters), automation.unit());
                    writes.fetch_add(1, std::memory_order_relaxed);
                }
                if (programs > 1 && automation.chance(1.0f / 16.0f)) {
                    instance.dispatch(ProgramSelect, 0, automation.below(programs));
                    programChanges.fetch_add(1, std::memory_order_relaxed);
                }
                rig.render(kBlock, "44100 Hz, block 256, editor opening and closing");
                blocks.fetch_add(1, std::memory_order_relaxed);
            }
        } catch (const std::exception& failure) {
            renderFailure = failure.what();
        }
        stop.store(true, std::memory_order_release);
    });
    try {
        openAndClose(instance, *window, random, cycles, false,
                     "while another thread renders and automates");
    } catch (...) {
        stop.store(true, std::memory_order_release);
        renderer.join();
        throw;
    }
    stop.store(true, std::memory_order_release);
    renderer.join();
    if (!renderFailure.empty())
        failCheck(renderFailure + " while the editor opened and closed on another thread");
    const Footprint end = measureFootprint(instance);

    const std::string footprints = judgeFootprints(start, middle, end, 2 * cycles);
    return checkPassed(textf(
        "editor %d x %d: %d open/close cycles, then %d more while %lld blocks rendered with "
        "%lld parameter writes and %lld program changes on another thread; its window matched "
        "its bounds and was gone after each close; %s",
        size.width, size.height, kWarmUpCycles + cycles, cycles,
        static_cast<long long>(blocks.load()), static_cast<long long>(writes.load()),
        static_cast<long long>(programChanges.load()), footprints.c_str()));
}
