// The probe editor's window on Windows: a class of the plug-in's own module, registered while
// any of its windows exists, painted with solid GDI brushes.
#include "probewindow.h"

#include "audioeffect.h" // moduleHandle

#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

struct ProbeWindow {
    HWND handle = nullptr;
    ProbeWindowOwner* owner = nullptr;
    int width = 0;
    int height = 0;
    float paintedFraction = -1.0f;
};

struct ProbeResource {
    HBRUSH brush = nullptr;
};

namespace {

constexpr const char* kClassName = "QxaProbeEditor";
int windowsOfTheClass = 0; // the user-interface thread's only

void fill(HDC context, int left, int top, int right, int bottom, probe_pattern::Rgb colour) {
    const RECT rect{left, top, right, bottom};
    HBRUSH brush = CreateSolidBrush(RGB(colour.red, colour.green, colour.blue));
    FillRect(context, &rect, brush);
    DeleteObject(brush);
}

void paint(ProbeWindow& window) {
    PAINTSTRUCT paintInfo;
    HDC context = BeginPaint(window.handle, &paintInfo);
    const float fraction = std::clamp(window.owner->barFraction(), 0.0f, 1.0f);
    const int barWidth = static_cast<int>(std::lround(fraction * static_cast<float>(window.width)));
    using namespace probe_pattern;
    fill(context, 0, 0, window.width, window.height, kBackground);
    fill(context, 0, 0, barWidth, kBarHeight, kBar);
    fill(context, window.width - kCornerSize, window.height - kCornerSize, window.width,
         window.height, kCorner);
    window.paintedFraction = fraction;
    EndPaint(window.handle, &paintInfo);
}

LRESULT CALLBACK probeWindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        auto* window = static_cast<ProbeWindow*>(creation->lpCreateParams);
        window->handle = handle;
        SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
        ++windowsOfTheClass;
    }
    auto* window = reinterpret_cast<ProbeWindow*>(GetWindowLongPtrA(handle, GWLP_USERDATA));
    if (window == nullptr) return DefWindowProcA(handle, message, wParam, lParam);
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // painting covers every pixel
    case WM_PAINT:
        paint(*window);
        return 0;
    case WM_LBUTTONDOWN:
        window->owner->clickedAt(static_cast<float>(GET_X_LPARAM(lParam)) /
                                 static_cast<float>(window->width));
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
        --windowsOfTheClass;
        return 0;
    default:
        return DefWindowProcA(handle, message, wParam, lParam);
    }
}

bool registerClass() {
    if (windowsOfTheClass > 0) return true;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = probeWindowProc;
    windowClass.hInstance = static_cast<HINSTANCE>(moduleHandle);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The class goes with its last window, so that no class outlives the module it points into.
void unregisterClassIfUnused() {
    if (windowsOfTheClass == 0) UnregisterClassA(kClassName, static_cast<HINSTANCE>(moduleHandle));
}

} // namespace

ProbeWindow* openProbeWindow(void* parent, int width, int height, ProbeWindowOwner& owner) {
    if (parent == nullptr || !registerClass()) return nullptr;
    auto* window = new ProbeWindow;
    window->owner = &owner;
    window->width = width;
    window->height = height;
    if (CreateWindowExA(0, kClassName, "Probe editor", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0,
                        0, width, height, static_cast<HWND>(parent), nullptr,
                        static_cast<HINSTANCE>(moduleHandle), window) == nullptr) {
        delete window;
        unregisterClassIfUnused();
        return nullptr;
    }
    return window;
}

void refreshProbeWindow(ProbeWindow* window) {
    if (window->owner->barFraction() != window->paintedFraction)
        InvalidateRect(window->handle, nullptr, FALSE);
}

void closeProbeWindow(ProbeWindow* window, ProbeClose how) {
    if (how == ProbeClose::HideOnly) {
        ShowWindow(window->handle, SW_HIDE); // and the window's record stays with it
        return;
    }
    DestroyWindow(window->handle);
    delete window;
    unregisterClassIfUnused();
}

ProbeResource* createProbeResource() {
    auto* resource = new ProbeResource;
    resource->brush = CreateSolidBrush(RGB(0, 0, 0));
    return resource;
}

void releaseProbeResource(ProbeResource* resource) {
    DeleteObject(resource->brush);
    delete resource;
}
