// The two interfaces through which the toolkit reaches an editor: CControlListener hears about
// user changes of controls; QXAGUIEditorInterface gives the frame the editor's idle, knob style
// and gesture brackets.
#pragma once

#include "viewtypes.h"

#include <cstdint>

namespace QXAGUI {

class CControl;
class CFrame;

class CControlListener {
public:
    virtual ~CControlListener() = default;
    // The user changed the control's value.
    virtual void controlChanged(CControl* control) = 0;
    // A press with a modifier or a non-left button; non-zero consumes it.
    virtual int32_t controlModClicked(CControl* /*control*/, ButtonFlags /*buttons*/) { return 0; }
    virtual void controlEditOpens(CControl* /*control*/) {}
    virtual void controlEditCloses(CControl* /*control*/) {}
};

class QXAGUIEditorInterface {
public:
    // Keeps the host and the screen alive while a control tracks the pointer in a loop of its
    // own.
    virtual void runEditorIdle() {}
    // 2 makes knobs drag linearly; anything else circularly.
    virtual int32_t knobStyle() { return 0; }
    // A gesture on the parameter with this tag begins or ends.
    virtual void paramEditBegins(int32_t /*tag*/) {}
    virtual void paramEditEnds(int32_t /*tag*/) {}
    virtual ~QXAGUIEditorInterface() = default;

    // Around every window message the frame handles: a close (or shutdown) that the host asks
    // for while the editor is inside such a call waits until the outermost call returns, so
    // the frame, the tracking control and the editor outlive the tracking.
    virtual void enterEditorCall() {}
    virtual void leaveEditorCall() {}

    // The editor's frame; null while no frame exists.
    CFrame* editorFrame() const { return frame_; }

protected:
    CFrame* frame_ = nullptr;
};

} // namespace QXAGUI
