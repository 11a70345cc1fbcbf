// Linux: qxahost speaks to no window system, so there is no window to open an editor in.
#include "editorparentwindow.h"

std::unique_ptr<EditorParentWindow> EditorParentWindow::create(std::string& whyNot) {
    whyNot = "qxahost has no window system to open editors in on this platform";
    return nullptr;
}

EditorParentWindow::~EditorParentWindow() = default;

void EditorParentWindow::pumpMessages() {}
