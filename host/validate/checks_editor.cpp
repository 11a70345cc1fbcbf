// Check 12: the editor, for plug-ins that report one. Its size, the calls a host makes to a
// closed editor, then open and close cycles with idle time, keys, the wheel and parameter
// changes in between, and the same cycles while another thread renders.
#include "check_support.h"
#include "checkrandom.h"
#include "editorparentwindow.h"
#include "renderrig.h"

#include <atomic>
#include <thread>

namespace {

constexpr int32_t kLargestEditor = 8192;

// What hosts send to an editor that is not open: none of it may reach a missing frame.
void callClosedEditor(CheckInstance& instance) {
    instance.dispatch(EditorTick);
    instance.dispatch(EditorKeyPress, 'a', 0, nullptr, 0.0f);
    instance.dispatch(EditorKeyRelease, 'a', 0, nullptr, 0.0f);
    instance.dispatch(EditorKnobModeChange, 0, 0);
    instance.dispatch(VendorPrivateCall, kWheelVendorIndex, kWheelVendorValue, nullptr, 1.0f);
    instance.dispatch(EditorDetach);
}

// Opens and closes the editor `cycles` times on this thread, with what a user does while it is
// open; `changeParameters` adds parameter writes, which the editor must show.
void openAndClose(CheckInstance& instance, EditorParentWindow& window, CheckRandom& random,
                  int cycles, bool changeParameters) {
    const int32_t parameters = instance.parameterCount();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        if (instance.dispatch(EditorAttach, 0, 0, window.handle()) == 0)
            failCheck(textf("the editor did not open (cycle %d of %d)", cycle + 1, cycles));
        window.pumpMessages();
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
        instance.dispatch(EditorTick); // a late idle call after closing
    }
}

} // namespace

CheckOutcome runEditorCheck(const CheckSettings& settings) {
    CheckSubject subject = openSubject(settings);
    CheckInstance& instance = *subject.instance;
    if ((instance.record().flagBits & FlagEditor) == 0)
        return checkSkipped("the plug-in reports no editor");
    CheckRandom random(settings.seed);

    EditorRect* rect = nullptr;
    if (instance.dispatch(EditorBoundsQuery, 0, 0, &rect) == 0 || rect == nullptr)
        failCheck("FlagEditor is set but the editor reports no size (opcode 13)");
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;
    if (width <= 0 || height <= 0 || width > kLargestEditor || height > kLargestEditor)
        failCheck(textf("the editor reports an implausible size: %d x %d", width, height));
    callClosedEditor(instance);

    std::string whyNot;
    auto window = EditorParentWindow::create(whyNot);
    if (!window)
        return checkPassed(textf("editor %d x %d; calls to the closed editor survived; not "
                                 "opened: %s",
                                 width, height, whyNot.c_str()));

    const int cycles = std::min(100, scaledCount(settings, 100));
    openAndClose(instance, *window, random, cycles, true);

    // The same while the audio thread renders.
    instance.prepare(44100.0f, 256);
    std::atomic<bool> stop{false};
    std::atomic<int64_t> blocks{0};
    std::string renderFailure; // written by the render thread only, read after it is joined
    const uint64_t renderSeed = random.next();
    std::thread renderer([&] {
        try {
            RenderRig rig(instance, 256, renderSeed);
            rig.setInputLevel(instance.isInstrument() ? 0.0f : 0.5f);
            if (instance.isInstrument()) rig.events().noteOn(0, 0, 60, 100);
            while (!stop.load(std::memory_order_acquire)) {
                rig.render(256, "44100 Hz, block 256, editor opening and closing");
                blocks.fetch_add(1, std::memory_order_relaxed);
            }
        } catch (const std::exception& failure) {
            renderFailure = failure.what();
        }
        stop.store(true, std::memory_order_release);
    });
    try {
        openAndClose(instance, *window, random, cycles, false);
    } catch (...) {
        stop.store(true, std::memory_order_release);
        renderer.join();
        throw;
    }
    stop.store(true, std::memory_order_release);
    renderer.join();
    if (!renderFailure.empty())
        failCheck(renderFailure + " while the editor opened and closed on another thread");

    return checkPassed(textf("editor %d x %d: %d open/close cycles, then %d more while %lld "
                             "blocks rendered on another thread",
                             width, height, cycles, cycles, static_cast<long long>(blocks.load())));
}
