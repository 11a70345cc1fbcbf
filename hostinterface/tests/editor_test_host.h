// A host for the editors' native tests: it records what an effect tells it (parameter changes,
// gesture brackets, idle requests) and can act from inside the idle request, as a host may;
// the fixture builds the effect on the toolkit's headless back-end and checks at the end that
// no toolkit object outlived it.
#pragma once

#include "aeffguieditor.h"
#include "audioeffect.h"
#include "cframe.h"
#include "platform/headless/headless.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace editor_test {

// What the host heard, in order: "changed 4 0.25", "begin 4", "end 4", "idle".
struct HostLog {
    std::vector<std::string> requests;
    // Run (once) when the plug-in next asks the host for idle time.
    std::function<void()> onIdle;
};

inline HostLog*& currentLog() {
    static HostLog* log = nullptr;
    return log;
}

inline intptr_t recordingHost(DescriptorRecord* /*effect*/, int32_t opcode, int32_t index,
                              intptr_t /*value*/, void* /*pointer*/, float option) {
    if (opcode == HostVersion) return kInterfaceVersion;
    HostLog* log = currentLog();
    if (!log) return 0;
    char text[64];
    switch (opcode) {
    case ParameterChanged:
        std::snprintf(text, sizeof text, "changed %d %g", index, static_cast<double>(option));
        log->requests.emplace_back(text);
        break;
    case GestureBegin:
        log->requests.push_back("begin " + std::to_string(index));
        break;
    case GestureEnd:
        log->requests.push_back("end " + std::to_string(index));
        break;
    case GiveTime:
        log->requests.emplace_back("idle");
        if (log->onIdle) {
            auto action = std::move(log->onIdle);
            log->onIdle = nullptr;
            action();
        }
        break;
    default:
        break;
    }
    return 0;
}

// Effect: the editor-owning effect class; Editor: its editor class.
template <typename Effect, typename Editor>
class EditorHostTest : public ::testing::Test {
protected:
    static inline void* const kHostWindow = reinterpret_cast<void*>(0x2000);

    // Registers the module resources the editor loads.
    virtual void addResources() = 0;
    // Fails the test unless every control of the open editor shows the effect's current value.
    virtual void expectControlsShowTheEffect() = 0;

    void SetUp() override {
        QXAGUI::headless::reset();
        QXAGUI::headless::clearResources();
        addResources();
        baselineObjects = QXAGUI::CBaseObject::liveObjectCount();
        currentLog() = &log;
        effect = new Effect(recordingHost);
    }
    void TearDown() override {
        if (effect) dispatch(Shutdown);
        currentLog() = nullptr;
        EXPECT_EQ(QXAGUI::CBaseObject::liveObjectCount(), baselineObjects)
            << "toolkit objects leaked";
    }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0,
                      void* pointer = nullptr, float option = 0.0f) {
        DescriptorRecord* record = effect->descriptorRecord();
        const intptr_t answer = record->dispatchFn(record, opcode, index, value, pointer, option);
        if (opcode == Shutdown) effect = nullptr;
        return answer;
    }
    Editor& editor() { return *static_cast<Editor*>(effect->editorObject()); }
    QXAGUI::CFrame* frame() { return editor().editorFrame(); }
    void open() { ASSERT_EQ(dispatch(EditorAttach, 0, 0, kHostWindow), 1); }

    // As the platform's window procedure handles a message: the frame held, the editor told.
    template <typename Handler>
    void windowMessage(Handler handler) {
        QXAGUI::CFrame* held = frame();
        if (!held) return;
        held->retain();
        QXAGUI::QXAGUIEditorInterface& editorInterface = editor();
        editorInterface.enterEditorCall();
        handler(*held);
        editorInterface.leaveEditorCall();
        held->release();
    }

    // Opens, idles, paints and closes the editor `cycles` times while another thread writes
    // every parameter as fast as it can, as automation on the audio thread does; then keeps it
    // open under the same writes. Once the writes stop, one idle pass shows every value the
    // effect holds: no write's refresh was lost. Races it makes, AddressSanitizer and
    // ThreadSanitizer catch.
    void cycleWhileAnotherThreadWrites(int cycles) {
        const int32_t parameters = effect->descriptorRecord()->parameterCount;
        std::atomic<bool> stop{false};
        std::atomic<uint32_t> writes{0};
        std::thread writer([&] {
            uint32_t step = 0;
            while (!stop.load(std::memory_order_relaxed)) {
                effect->writeParameter(static_cast<int32_t>(step % parameters),
                                       static_cast<float>(step % 101) / 100.0f);
                writes.store(++step, std::memory_order_relaxed);
            }
        });
        for (int cycle = 0; cycle < cycles; ++cycle) {
            open();
            dispatch(EditorTick);
            frame()->paintArea(nullptr, frame()->bounds());
            dispatch(EditorTick);
            dispatch(EditorDetach);
        }
        open();
        // Idle passes while the writer goes on, until it has written every parameter a few
        // times more: a handshake on its count, not a clock.
        const uint32_t until = writes.load() + 4 * static_cast<uint32_t>(parameters);
        while (writes.load(std::memory_order_relaxed) < until)
            dispatch(EditorTick);
        stop.store(true);
        writer.join();
        dispatch(EditorTick);
        expectControlsShowTheEffect();
        dispatch(EditorDetach);
    }

    int32_t baselineObjects = 0;
    HostLog log;
    Effect* effect = nullptr;
};

} // namespace editor_test
