// Test doubles for the toolkit's native tests: an editor interface and a control listener that
// record what reaches them, and a fixture that resets the headless platform. For the
// controls: an editor and a listener that record into one ordered log, and a frame to which
// tests append controls, with bitmaps, painting and pointer helpers.
#pragma once

#include "cbitmap.h"
#include "ccontrol.h"
#include "cdrawcontext.h"
#include "cframe.h"
#include "platform/headless/headless.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace QXAGUI::testing {

// Any non-null pointer stands for the host's window: the headless platform makes a recording
// frame window inside it.
inline void* const kHostWindow = reinterpret_cast<void*>(0x1000);

class RecordingEditor : public QXAGUIEditorInterface {
public:
    void runEditorIdle() override { events.push_back("idle"); }
    int32_t knobStyle() override { return style; }
    void paramEditBegins(int32_t tag) override { events.push_back("begin " + std::to_string(tag)); }
    void paramEditEnds(int32_t tag) override { events.push_back("end " + std::to_string(tag)); }

    int32_t style = 0;
    std::vector<std::string> events;
};

class RecordingListener : public CControlListener {
public:
    void controlChanged(CControl* control) override {
        events.push_back("changed " + std::to_string(control->id()));
        values.push_back(control->value());
    }
    int32_t controlModClicked(CControl* control, ButtonFlags buttons) override {
        events.push_back("modClicked " + std::to_string(control->id()) + " " +
                         std::to_string(buttons));
        return consumeModClicks ? 1 : 0;
    }
    void controlEditOpens(CControl* control) override {
        events.push_back("opens " + std::to_string(control->id()));
    }
    void controlEditCloses(CControl* control) override {
        events.push_back("closes " + std::to_string(control->id()));
    }

    bool consumeModClicks = false;
    std::vector<std::string> events;
    std::vector<float> values;
};

// Every test starts from a fresh headless platform and a 500 x 200 frame in a host window.
class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        frame = new CFrame({0, 0, 500, 200}, kHostWindow, &editor);
    }
    void TearDown() override {
        if (frame) frame->release();
    }

    headless::WindowRecord& window() { return *headless::windowOf(*frame); }

    RecordingEditor editor;
    RecordingListener listener;
    CFrame* frame = nullptr;
};

// --- controls -----------------------------------------------------------------------------

// What an editor hears, in order: "opens T", "begin T", "changed T V", "end T", "closes T",
// "modclick T B" (T the control's tag, V its value with four significant digits).
struct EventLog {
    std::vector<std::string> events;

    void add(const std::string& event) { events.push_back(event); }
    void clear() { events.clear(); }
    int count(const std::string& prefix) const {
        int found = 0;
        for (const std::string& event : events)
            if (event.compare(0, prefix.size(), prefix) == 0) ++found;
        return found;
    }
};

inline std::string valueText(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", static_cast<double>(value));
    return text;
}

// The editor side of the frame: gesture brackets, the knob style, the modal idle.
class LoggingEditor : public QXAGUIEditorInterface {
public:
    explicit LoggingEditor(EventLog& log) : log_(log) {}
    void runEditorIdle() override {
        ++idleCalls;
        if (onIdle) onIdle();
    }
    int32_t knobStyle() override { return knobStyleSetting; }
    void paramEditBegins(int32_t tag) override { log_.add("begin " + std::to_string(tag)); }
    void paramEditEnds(int32_t tag) override { log_.add("end " + std::to_string(tag)); }

    int32_t knobStyleSetting = 0;
    int idleCalls = 0;
    std::function<void()> onIdle;

private:
    EventLog& log_;
};

class LoggingListener : public CControlListener {
public:
    explicit LoggingListener(EventLog& log) : log_(log) {}
    void controlChanged(CControl* control) override {
        ++changes;
        lastValue = control->value();
        log_.add("changed " + std::to_string(control->id()) + " " + valueText(control->value()));
    }
    int32_t controlModClicked(CControl* control, ButtonFlags buttons) override {
        log_.add("modclick " + std::to_string(control->id()) + " " + std::to_string(buttons));
        return consumeModClicks;
    }
    void controlEditOpens(CControl* control) override {
        log_.add("opens " + std::to_string(control->id()));
    }
    void controlEditCloses(CControl* control) override {
        log_.add("closes " + std::to_string(control->id()));
    }

    int changes = 0;
    float lastValue = 0.0f;
    int32_t consumeModClicks = 0;

private:
    EventLog& log_;
};

// A 500 x 170 frame with a recording editor, on a recording window. Controls appended with
// add() belong to the frame; bitmaps made with makeBitmap() are released at the end. The
// fixture checks that every toolkit object made during the test is gone afterwards.
class ControlFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::reset();
        headless::clearResources();
        liveAtStart_ = CBaseObject::liveObjectCount();
        frame = new CFrame(ViewRect(0, 0, 500, 170), kHostWindow, &editor);
    }
    void TearDown() override {
        if (frame) frame->release();
        for (CBitmap* bitmap : bitmaps_)
            bitmap->release();
        EXPECT_EQ(CBaseObject::liveObjectCount(), liveAtStart_) << "toolkit objects leaked";
    }

    template <typename T>
    T* add(T* control) {
        frame->appendChild(control);
        return control;
    }

    // A bitmap of a "DATA" resource of that name and size.
    CBitmap* makeBitmap(const char* name, int32_t width, int32_t height) {
        headless::addResource(headless::ResourceType::Data, name, width, height);
        auto* bitmap = new CBitmap(ResourceRef::byName(name));
        bitmaps_.push_back(bitmap);
        return bitmap;
    }

    // What the frame's window recorded.
    headless::WindowRecord& window() { return *headless::windowOf(*frame); }
    std::vector<std::string> drawn(const std::string& prefix) {
        return window().drawing.matching(prefix);
    }
    // Paints view alone on a context of the frame's window; the log then holds only that.
    void paintAlone(CView* view) {
        CDrawContext context(frame, nullptr, frame->systemWindow());
        window().drawing.clear();
        view->paint(&context);
    }

    // A press, moves and a release through the frame, as the frame's window sends them.
    PointerReply press(ViewPoint point, ButtonFlags buttons = ButtonLeft) {
        return frame->pointerDown(point, buttons);
    }
    PointerReply moveTo(ViewPoint point, ButtonFlags buttons = ButtonLeft) {
        return frame->pointerMoved(point, buttons);
    }
    PointerReply release(ViewPoint point, ButtonFlags buttons = 0) {
        return frame->pointerUp(point, buttons);
    }

    EventLog log;
    LoggingEditor editor{log};
    LoggingListener listener{log};
    CFrame* frame = nullptr;

private:
    std::vector<CBitmap*> bitmaps_;
    int32_t liveAtStart_ = 0;
};

} // namespace QXAGUI::testing
