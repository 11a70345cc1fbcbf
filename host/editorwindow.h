// EditorParentWindow: the host's window that a plug-in editor opens inside (opcode 14), never
// shown. Platform code lives in editorparentwindow_*.cpp.
#pragma once

#include <memory>
#include <string>

class EditorParentWindow {
public:
    // Null with `whyNot` set where qxahost has no window to offer.
    static std::unique_ptr<EditorParentWindow> create(std::string& whyNot);
    ~EditorParentWindow();
    EditorParentWindow(const EditorParentWindow&) = delete;
    EditorParentWindow& operator=(const EditorParentWindow&) = delete;

    // The native handle handed to the editor.
    void* handle() const { return handle_; }
    // Dispatches the messages waiting for this thread's windows, as a host's message loop does.
    void pumpMessages();

private:
    explicit EditorParentWindow(void* handle) : handle_(handle) {}
    void* handle_;
};
