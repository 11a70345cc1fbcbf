// EditorHost: the editor window tests' host. It loads a plug-in through the library boundary,
// builds one instance with a host callback that records what the editor tells the host, opens
// the editor in one of qxahost's host windows, and acts on the editor's window the way the
// window system does for a person: messages sent to the frame's child window.
//
// Everything runs on the test's thread, which owns the windows. Windows only.
#pragma once

#include "editor_test_support.h"
#include "editorwindow.h"
#include "pluginhost.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class EditorHost {
public:
    // One request of the kinds an editor sends: a parameter change (0), a gesture begin (43) or
    // end (44), or idle time (3).
    struct Request {
        int32_t opcode = 0;
        int32_t index = 0;
        float value = 0.0f;
    };

    // Loads `pluginName` from the test's binary folder and builds an instance, initialised and
    // switched on at 44.1 kHz. Null with `error`.
    static std::unique_ptr<EditorHost> load(const std::string& pluginName, std::string& error);
    // Closes the editor, shuts the instance down (unless it is already), destroys the host
    // window, then unloads the library.
    ~EditorHost();
    EditorHost(const EditorHost&) = delete;
    EditorHost& operator=(const EditorHost&) = delete;

    DescriptorRecord* record() const { return record_; }
    // The plug-in's module: its resources and window class belong to it.
    HMODULE module() const { return module_; }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0,
                      void* pointer = nullptr, float option = 0.0f);
    void writeParameter(int32_t index, float value);
    float readParameter(int32_t index);
    // Shutdown (opcode 1); afterwards nothing reaches the instance.
    void shutdown();
    bool isShutDown() const { return shutDown_; }
    // The toolkit's live objects through the vendor query ('QxGu'/'Live'); -1 unanswered.
    int32_t liveToolkitObjects();

    // --- the editor in the host window -----------------------------------------------------
    // The size the editor reports (opcode 13); zero when it reports none.
    SIZE editorSize();
    // Opcode 14 into the host window, which is made on first use (shown, borderless, at the
    // screen's top-left) and sized to the editor; then the host's message pump. False with
    // `error` when the editor does not open.
    bool openEditor(std::string& error);
    // Opcode 15, then the message pump.
    void closeEditor();
    // Opcode 19 `passes` times, each followed by the message pump.
    void idle(int passes = 1);
    void pumpMessages();
    HWND hostWindow() const;
    // Destroys the host window (and with it whatever the editor left in it).
    void destroyHostWindow();
    // "Plugin" and the plug-in module's handle in hex: the class of the editor's window.
    std::string frameClassName() const;
    // The editor's window: the host window's child of the frame's class named "Window"; null
    // when there is none.
    HWND editorWindow() const;
    // Every window inside the host window.
    int childWindowCount() const;
    // Wheel messages that reached the host window itself: those the editor passed on.
    int hostWindowWheelMessages() const { return hostWheelMessages_; }
    // Paints what is pending, then reads the editor window's pixels in `area` (client
    // coordinates; the whole client area when empty).
    PngImage capture(RECT area = {});

    // --- a person's actions, as messages to the editor's window ------------------------------
    // `keys` adds MK_CONTROL or MK_SHIFT to the button state the messages carry.
    LRESULT press(POINT point, WPARAM keys = 0);
    LRESULT moveTo(POINT point, WPARAM keys = 0);
    LRESULT release(POINT point, WPARAM keys = 0);
    void click(POINT point, WPARAM keys = 0);
    // A wheel turn of `notches` with the pointer at `point` (client coordinates; the message
    // carries screen coordinates). Answers what the window procedure answered.
    LRESULT wheelAt(POINT point, int notches);
    // Puts the system's pointer over `point` of the editor's window.
    void movePointerTo(POINT point);

    // --- what the editor told the host -------------------------------------------------------
    const std::vector<Request>& requests() const { return requests_; }
    void clearRequests() { requests_.clear(); }
    // The parameter changes and gestures in order, as "begin 0", "changed 0 0.5" (value with
    // %g) and "end 0".
    std::vector<std::string> edits() const;
    // The requests for idle time (opcode 3) since the last clear.
    int hostIdleRequests() const;
    // Run once, from inside the next request for idle time (the editor's modal idle).
    void onNextHostIdle(std::function<void()> action) { onNextHostIdle_ = std::move(action); }

private:
    EditorHost() = default;
    static intptr_t hostCallback(DescriptorRecord* effect, int32_t opcode, int32_t index,
                                 intptr_t value, void* pointer, float option);
    intptr_t answer(int32_t opcode, int32_t index, void* pointer, float option);
    LRESULT send(UINT message, WPARAM wParam, POINT point);
    static LRESULT CALLBACK countingHostProcedure(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam);

    std::unique_ptr<PluginLibrary> library_;
    HMODULE module_ = nullptr;
    DescriptorRecord* record_ = nullptr;
    bool shutDown_ = false;
    std::unique_ptr<EditorWindow> window_;
    WNDPROC hostProcedure_ = nullptr;
    int hostWheelMessages_ = 0;
    std::vector<Request> requests_;
    std::function<void()> onNextHostIdle_;
};
