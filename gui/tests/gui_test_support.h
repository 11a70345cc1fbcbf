// Test doubles for the toolkit's native tests: an editor interface and a control listener that
// record what reaches them, and a fixture that resets the headless platform.
#pragma once

#include "ccontrol.h"
#include "cframe.h"
#include "platform/headless/headless.h"

#include <gtest/gtest.h>

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

} // namespace QXAGUI::testing
