// Windows: top-level windows of a class of our own, the message pump, and a capture written
// with the GDI+ PNG encoder.
//
// Capturing: the editor's window is read back with BitBlt from its own device context once
// every pending paint has run (RedrawWindow with RDW_UPDATENOW). The capture window is shown,
// borderless and topmost at the screen's top-left: under Wine a window that was never shown
// has no surface and BitBlt fails, and on Windows an uncovered window reads back exactly what
// it painted. PrintWindow does not serve: it asks the window to paint into another device
// context (WM_PRINTCLIENT), which windows that paint only on WM_PAINT ignore; under Wine it
// reads back black.
#include "editorwindow.h"

#include <windows.h>

#include <gdiplus.h>

#include <atomic>
#include <cwchar>

struct EditorWindow::Platform {
    HWND window = nullptr;
    Kind kind = Kind::Hidden;
    DWORD style = 0;
    DWORD extendedStyle = 0;
    bool closeRequested = false;
    std::function<void()> tick;
    std::function<void(float)> wheel;
};

namespace {

constexpr const char* kClassName = "QxahostEditorHost";
constexpr UINT_PTR kTickTimer = 1;
constexpr int kMessagesPerPump = 5000;

// The interactive window that Ctrl+C in the console closes.
std::atomic<HWND> interactiveWindow{nullptr};

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* platform =
        reinterpret_cast<EditorWindow::Platform*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (platform != nullptr) {
        switch (message) {
        case WM_CLOSE:
            // The command closes the editor before the window goes.
            platform->closeRequested = true;
            return 0;
        case WM_TIMER:
            if (wParam == kTickTimer && platform->tick) platform->tick();
            return 0;
        case WM_MOUSEWHEEL:
            if (platform->wheel)
                platform->wheel(static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA);
            return 0;
        default:
            break;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool registerWindowClass() {
    static const bool registered = [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = hostWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        return RegisterClassExA(&windowClass) != 0;
    }();
    return registered;
}

BOOL WINAPI closeOnConsoleBreak(DWORD event) {
    const HWND window = interactiveWindow.load();
    if (window == nullptr || (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)) return FALSE;
    PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

SIZE outerSize(DWORD style, DWORD extendedStyle, int width, int height) {
    RECT rect{0, 0, width, height};
    AdjustWindowRectEx(&rect, style, FALSE, extendedStyle);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

SIZE clientSize(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

// GDI+ for the length of one capture.
class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (started_) Gdiplus::GdiplusShutdown(token_);
    }
    bool started() const { return started_; }

private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

bool findPngEncoder(CLSID& encoder) {
    UINT count = 0;
    UINT bytes = 0;
    if (Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0)
        return false;
    std::vector<unsigned char> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::DllExports::GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i)
        if (codecs[i].MimeType != nullptr && std::wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            encoder = codecs[i].Clsid;
            return true;
        }
    return false;
}

std::wstring widePath(const std::string& path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
    return wide;
}

// The window to read: the editor's child window of the captured size, else its first child.
HWND captureSource(HWND window, int width, int height) {
    HWND first = GetWindow(window, GW_CHILD);
    for (HWND child = first; child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const SIZE size = clientSize(child);
        if (size.cx == width && size.cy == height) return child;
    }
    return first != nullptr ? first : window;
}

// A device-dependent bitmap holding width x height pixels of `source`'s client area.
HBITMAP copyWindowPixels(HWND source, int width, int height) {
    HDC sourceContext = GetDC(source);
    if (sourceContext == nullptr) return nullptr;
    HDC memoryContext = CreateCompatibleDC(sourceContext);
    HBITMAP bitmap = CreateCompatibleBitmap(sourceContext, width, height);
    bool copied = false;
    if (memoryContext != nullptr && bitmap != nullptr) {
        const HGDIOBJ previous = SelectObject(memoryContext, bitmap);
        copied = BitBlt(memoryContext, 0, 0, width, height, sourceContext, 0, 0, SRCCOPY) != 0;
        SelectObject(memoryContext, previous);
    }
    if (memoryContext != nullptr) DeleteDC(memoryContext);
    ReleaseDC(source, sourceContext);
    if (!copied && bitmap != nullptr) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    return bitmap;
}

} // namespace

bool EditorWindow::supported(std::string& /*whyNot*/) {
    return true;
}

std::unique_ptr<EditorWindow> EditorWindow::create(Kind kind, const std::string& title, int width,
                                                   int height, std::string& whyNot) {
    if (!registerWindowClass()) {
        whyNot = "the host window class could not be registered (error " +
                 std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    auto platform = std::make_unique<Platform>();
    platform->kind = kind;
    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    switch (kind) {
    case Kind::Hidden:
        platform->style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
        break;
    case Kind::Capture:
        platform->style = WS_POPUP | WS_CLIPCHILDREN;
        platform->extendedStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
        x = 0;
        y = 0;
        break;
    case Kind::Interactive:
        // Editors here have a fixed size: no sizing border, no maximise box.
        platform->style =
            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
        break;
    }
    const SIZE outer = outerSize(platform->style, platform->extendedStyle, width, height);
    HWND window =
        CreateWindowExA(platform->extendedStyle, kClassName, title.c_str(), platform->style, x, y,
                        outer.cx, outer.cy, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) {
        whyNot = "no host window could be created (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    platform->window = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(platform.get()));
    return std::unique_ptr<EditorWindow>(new EditorWindow(std::move(platform)));
}

EditorWindow::EditorWindow(std::unique_ptr<Platform> platform) : platform_(std::move(platform)) {}

EditorWindow::~EditorWindow() {
    if (interactiveWindow.load() == platform_->window) interactiveWindow.store(nullptr);
    SetWindowLongPtrA(platform_->window, GWLP_USERDATA, 0);
    DestroyWindow(platform_->window);
    pumpMessages();
}

void* EditorWindow::handle() const {
    return platform_->window;
}

void EditorWindow::setClientSize(int width, int height) {
    const SIZE outer = outerSize(platform_->style, platform_->extendedStyle, width, height);
    SetWindowPos(platform_->window, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void EditorWindow::show() {
    ShowWindow(platform_->window,
               platform_->kind == Kind::Capture ? SW_SHOWNOACTIVATE : SW_SHOWNORMAL);
    UpdateWindow(platform_->window);
}

void EditorWindow::pumpMessages() {
    MSG message;
    for (int i = 0; i < kMessagesPerPump && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

std::vector<EditorWindow::ChildWindow> EditorWindow::childWindows() const {
    std::vector<ChildWindow> children;
    for (HWND child = GetWindow(platform_->window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const SIZE size = clientSize(child);
        children.push_back({size.cx, size.cy});
    }
    return children;
}

bool EditorWindow::writePng(int width, int height, const std::string& path, std::string& error) {
    RedrawWindow(platform_->window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
    HBITMAP pixels =
        copyWindowPixels(captureSource(platform_->window, width, height), width, height);
    if (pixels == nullptr) {
        error = "the window system gave no pixels of the editor's window (is it on a screen?)";
        return false;
    }
    GdiplusSession gdiplus;
    CLSID encoder{};
    Gdiplus::GpBitmap* image = nullptr;
    Gdiplus::GpStatus status = Gdiplus::GenericError;
    if (!gdiplus.started()) {
        error = "GDI+ did not start";
    } else if (!findPngEncoder(encoder)) {
        error = "GDI+ offers no PNG encoder";
    } else if ((status = Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(pixels, nullptr,
                                                                          &image)) != Gdiplus::Ok) {
        error = "GDI+ could not take the captured pixels (status " + std::to_string(status) + ")";
    } else if ((status = Gdiplus::DllExports::GdipSaveImageToFile(
                    image, widePath(path).c_str(), &encoder, nullptr)) != Gdiplus::Ok) {
        error = "cannot write " + path + " (GDI+ status " + std::to_string(status) + ")";
    }
    if (image != nullptr) Gdiplus::DllExports::GdipDisposeImage(image);
    DeleteObject(pixels);
    return error.empty();
}

void EditorWindow::runUntilClosed(int tickMilliseconds, const std::function<void()>& tick,
                                  const std::function<void(float)>& wheel) {
    platform_->tick = tick;
    platform_->wheel = wheel;
    platform_->closeRequested = false;
    interactiveWindow.store(platform_->window);
    SetConsoleCtrlHandler(closeOnConsoleBreak, TRUE);
    SetTimer(platform_->window, kTickTimer, static_cast<UINT>(tickMilliseconds), nullptr);
    MSG message;
    while (!platform_->closeRequested && GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    KillTimer(platform_->window, kTickTimer);
    SetConsoleCtrlHandler(closeOnConsoleBreak, FALSE);
    interactiveWindow.store(nullptr);
    platform_->tick = nullptr;
    platform_->wheel = nullptr;
}

EditorWindow::ObjectCounts EditorWindow::objectCounts() {
    // A process with a window owns GDI and USER objects: an answer of 0 means not reported (Wine).
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    ObjectCounts counts;
    if (gdi > 0) counts.gdiObjects = gdi;
    if (user > 0) counts.userObjects = user;
    return counts;
}
