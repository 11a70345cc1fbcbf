// AEffGUIEditor: an editor drawn with the QXAGUI toolkit. It connects the host's editor calls
// (idle, keys, wheel, knob mode, redraws) to the editor's CFrame, brackets gestures for the
// host, keeps the host alive while a control tracks the pointer in a loop of its own, and hands
// refreshes requested on other threads to the window's thread.
//
// Threads. Everything runs on the thread that owns the editor window, except requestRefresh,
// which any thread may call (the audio thread included): it is one atomic bit-or.
#pragma once

#include "aeffeditor.h"
#include "ccontrollistener.h"

#include <atomic>

class AudioEffect;
namespace QXAGUI {
class CBitmap;
class CFrame;
} // namespace QXAGUI

// One row of an editor's static control table; a negative tag ends the table.
enum ControlKind : int32_t {
    KindKnob = 0,
    KindOnOffButton = 1,
    KindTagDisplay = 2,
    KindVerticalSlider = 3,
};
struct ControlPlacement {
    int32_t tag;
    int32_t kind;
    int32_t x;
    int32_t y;
};

class AEffGUIEditor : public AEffEditor, public QXAGUI::QXAGUIEditorInterface {
public:
    // Attaches itself to the effect. OLE is the frame's business, on the window's thread: the
    // thread that builds the effect is often a host worker with its own apartment plans.
    explicit AEffGUIEditor(AudioEffect* effect);
    ~AEffGUIEditor() override;

    // --- AEffEditor -------------------------------------------------------------------------
    bool editorBounds(EditorRect** rect) override;
    void editorIdle() override;
    bool handleKeyDown(KeyRecord& key) override;
    bool handleKeyUp(KeyRecord& key) override;
    bool handleWheel(float distance) override;
    // Sets the knob style of every editor in the process.
    bool applyKnobMode(int32_t mode) override;
    virtual void noteParameterChange(int32_t index, float value);
    // Paints area (any corner order; null = the whole frame) at once.
    virtual void redrawEditor(EditorRect* area);

    // --- QXAGUIEditorInterface --------------------------------------------------------------
    // The modal idle: at most every 100 ms of real work, the editor's idle, one pending paint
    // message and the host's idle. Clock, pause and paint come through the frame.
    void runEditorIdle() override;
    int32_t knobStyle() override;
    void paramEditBegins(int32_t tag) override;
    void paramEditEnds(int32_t tag) override;
    void enterEditorCall() override;
    void leaveEditorCall() override;

    // Any thread: the controls of these parameters (bit i = parameter i) are to follow the
    // effect's values at the next idle pass.
    void requestRefresh(uint32_t parameters) {
        pendingParameters_.fetch_or(parameters, std::memory_order_release);
    }

    // Shutdown arrived while the editor is inside a window message (a modal loop asked the
    // host for idle time and the host shut the instance down): the effect is deleted when the
    // outermost call returns. True when the deletion is deferred like that.
    bool deferEffectDeletion() override;

    // Answers the host's toolkit query (live objects); 0 for any other vendor call.
    static intptr_t answerToolkitQuery(int32_t index, intptr_t value, void* pointer);

protected:
    // Plug-in editors: copy the effect's values of these parameters (bit i = parameter i)
    // into their controls, except a control the user is holding (window thread).
    virtual void refreshPendingControls(uint32_t /*parameters*/) {}
    // Plug-in editors call it first in closeEditor: true when the close has to wait until the
    // window message in progress returns (it then runs closeEditor again).
    bool deferCloseWhileBusy();
    // Drops the frame (the frame releases its views) and clears the host's window.
    void releaseFrame();
    // The editor's size: the background's, or the panel's own when it could not be loaded.
    void sizeFromBackground(const QXAGUI::CBitmap& background, int32_t width, int32_t height);
    // Opens a frame of the editor's size in window, with background as its backdrop, closing
    // an open one first, at once, even when that one's close was deferred (a host re-opening
    // from inside the idle of a click): the pending close is then void. Null, and the editor
    // left closed, when no window can be made.
    QXAGUI::CFrame* openFrame(void* window, QXAGUI::CBitmap* background);

    EditorRect rect_{};

private:
    // Runs a host-facing call as an editor call: a close or shutdown asked for inside it waits.
    template <typename Call>
    auto asEditorCall(Call call);

    uint32_t nextIdleTime_;
    bool inIdle_ = false;
    std::atomic<uint32_t> pendingParameters_{0};
    int32_t callDepth_ = 0;
    bool closePending_ = false;
    bool deletionPending_ = false;
    bool closingNow_ = false;
};
