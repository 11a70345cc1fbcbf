// Helpers of the Win32 back-end's tests: the graphics library kept running per test, pixels
// read back from images, and colour comparison with a tolerance where Wine's rasteriser may
// round differently from Windows'.
#pragma once

#include "cframe.h"
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace QXAGUI::testing {

// A captioned top-level window of its own class (registered with procedure on first use)
// whose client area is clientWidth x clientHeight: the host's window that frames open in.
inline HWND createHostWindow(const wchar_t* className, WNDPROC procedure, int x, int y,
                             int clientWidth, int clientHeight) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    if (!RegisterClassW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    RECT area{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&area, WS_OVERLAPPEDWINDOW, FALSE, 0);
    return CreateWindowExW(0, className, L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                           area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// A frame without an editor filling the client area of a host window of its own class; the
// frame and then the host window go after the test (a test may release the frame first).
class HostedFrameTest : public ::testing::Test {
protected:
    void openFrame(const wchar_t* hostClass, int width, int height) {
        host_ = createHostWindow(hostClass, DefWindowProcW, 100, 100, width, height);
        ASSERT_NE(host_, nullptr);
        frame_ = new CFrame(ViewRect(0, 0, width, height), host_, nullptr);
        window_ = static_cast<HWND>(frame_->systemWindow());
        ASSERT_NE(window_, nullptr);
        frame_->idleFrame(); // a host's first idle pass: the window takes drops from then on
    }
    void TearDown() override {
        if (frame_) frame_->release();
        frame_ = nullptr;
        if (host_ && IsWindow(host_)) DestroyWindow(host_);
    }

    HWND host_ = nullptr;
    HWND window_ = nullptr;
    CFrame* frame_ = nullptr;
};

// Starts GDI+ for the test's lifetime, as GDIPlusGlobals does for a plug-in.
class GraphicsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::startGraphics()); }
    void TearDown() override { platform::stopGraphics(); }
};

struct Argb {
    int a = 0, r = 0, g = 0, b = 0;
};

inline Argb pixelAt(Gdiplus::GpBitmap* bitmap, int x, int y) {
    Gdiplus::ARGB value = 0;
    Gdiplus::DllExports::GdipBitmapGetPixel(bitmap, x, y, &value);
    return {static_cast<int>(value >> 24), static_cast<int>((value >> 16) & 0xff),
            static_cast<int>((value >> 8) & 0xff), static_cast<int>(value & 0xff)};
}

inline Argb pixelAt(PlatformImage* image, int x, int y) {
    return pixelAt(image->bitmap(), x, y);
}

inline std::string describe(const Argb& c) {
    return "argb(" + std::to_string(c.a) + "," + std::to_string(c.r) + "," + std::to_string(c.g) +
           "," + std::to_string(c.b) + ")";
}

// Every channel within tolerance of the expected one.
inline ::testing::AssertionResult sameColour(const Argb& actual, const Argb& expected,
                                             int tolerance = 0) {
    if (std::abs(actual.a - expected.a) <= tolerance &&
        std::abs(actual.r - expected.r) <= tolerance &&
        std::abs(actual.g - expected.g) <= tolerance &&
        std::abs(actual.b - expected.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << describe(actual) << " is not within " << tolerance << " of " << describe(expected);
}

} // namespace QXAGUI::testing
