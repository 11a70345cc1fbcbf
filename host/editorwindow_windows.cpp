// Windows: an overlapped top-level window of a class of our own, created hidden.
#include "editorparentwindow.h"

#include <windows.h>

namespace {

constexpr const char* kClassName = "QxahostValidateEditorParent";

bool registerWindowClass() {
    static const bool registered = [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kClassName;
        return RegisterClassExA(&windowClass) != 0;
    }();
    return registered;
}

} // namespace

std::unique_ptr<EditorParentWindow> EditorParentWindow::create(std::string& whyNot) {
    if (!registerWindowClass()) {
        whyNot = "the parent window class could not be registered (error " +
                 std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    HWND window = CreateWindowExA(
        0, kClassName, "qxahost validate", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
        CW_USEDEFAULT, 1024, 768, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) {
        whyNot = "no parent window could be created (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    return std::unique_ptr<EditorParentWindow>(new EditorParentWindow(window));
}

EditorParentWindow::~EditorParentWindow() {
    DestroyWindow(static_cast<HWND>(handle_));
    pumpMessages();
}

void EditorParentWindow::pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
