// EditorWindow: a window of qxahost's own for a plug-in editor to open in (opcode 14), with the
// message pump a host runs, what the validator inspects of it (the editor's child windows, the
// process's window-system objects) and the capture that `qxahost snapshot` writes. Platform code
// lives in editorwindow_*.cpp; where qxahost has no window system, supported() says why.
// Every operation runs on the thread that created the window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class EditorWindow {
public:
    enum class Kind {
        Hidden,      // never shown: the validator's open and close cycles
        Capture,     // shown without a frame at the screen's top-left, above other windows
        Interactive, // a captioned top-level window for a person to use
    };

    // A window that the editor made inside this one, by its client size.
    struct ChildWindow {
        int width = 0;
        int height = 0;
    };

    // The window system's counts of this process's objects; -1 where it does not report them.
    struct ObjectCounts {
        int64_t gdiObjects = -1;
        int64_t userObjects = -1;
    };

    // False with `whyNot` where qxahost cannot show editors at all.
    static bool supported(std::string& whyNot);
    // A window whose client area is width x height. Null with `whyNot` where none can be made.
    static std::unique_ptr<EditorWindow> create(Kind kind, const std::string& title, int width,
                                                int height, std::string& whyNot);
    ~EditorWindow();
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // The native handle handed to the editor.
    void* handle() const;
    void setClientSize(int width, int height);
    void show();
    // Dispatches the messages waiting for this thread's windows, as a host's message loop does
    // (at most a few thousand, so that an editor that invalidates itself forever cannot hang it).
    void pumpMessages();
    // The editor's windows inside this one, topmost first.
    std::vector<ChildWindow> childWindows() const;
    // Paints what is still invalid, then writes width x height pixels of the editor's window (the
    // child window of that size, else the first child, else this window's client area) to a PNG
    // file. False with a one-line `error`.
    bool writePng(int width, int height, const std::string& path, std::string& error);
    // Interactive: runs the message loop until the person closes the window (or presses Ctrl+C
    // in the console), calling `tick` every `tickMilliseconds` and `wheel` with the distance of
    // each wheel turn the window receives. The window stays until destroyed, so that the editor
    // can be closed first.
    void runUntilClosed(int tickMilliseconds, const std::function<void()>& tick,
                        const std::function<void(float)>& wheel);

    static ObjectCounts objectCounts();

    struct Platform; // the platform's window state

private:
    explicit EditorWindow(std::unique_ptr<Platform> platform);
    std::unique_ptr<Platform> platform_;
};
