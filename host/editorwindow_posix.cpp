// Linux: qxahost speaks to no window system, so there is no window to open an editor in.
#include "editorwindow.h"

struct EditorWindow::Platform {};

bool EditorWindow::supported(std::string& whyNot) {
    whyNot = "editors open only in the Windows build of qxahost (qxahost.exe, also under Wine); "
             "this build has no window system to show them in";
    return false;
}

std::unique_ptr<EditorWindow> EditorWindow::create(Kind, const std::string&, int, int,
                                                   std::string& whyNot) {
    supported(whyNot);
    return nullptr;
}

EditorWindow::EditorWindow(std::unique_ptr<Platform> platform) : platform_(std::move(platform)) {}
EditorWindow::~EditorWindow() = default;

void* EditorWindow::handle() const {
    return nullptr;
}
void EditorWindow::setClientSize(int, int) {}
void EditorWindow::show() {}
void EditorWindow::pumpMessages() {}
std::vector<EditorWindow::ChildWindow> EditorWindow::childWindows() const {
    return {};
}
bool EditorWindow::writePng(int, int, const std::string&, std::string& error) {
    supported(error);
    return false;
}
void EditorWindow::runUntilClosed(int, const std::function<void()>&,
                                  const std::function<void(float)>&) {}
EditorWindow::ObjectCounts EditorWindow::objectCounts() {
    return {};
}
