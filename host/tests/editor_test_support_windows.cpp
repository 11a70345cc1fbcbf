// Windows: PNG files read back with GDI+, windows driven with posted messages.
#include "editor_test_support.h"

#include <windows.h>

#include <gdiplus.h>

bool readPngFile(const std::string& path, PngImage& image, std::string& error) {
    using namespace Gdiplus;
    using namespace Gdiplus::DllExports;
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        error = "GDI+ did not start";
        return false;
    }
    const std::wstring widePath(path.begin(), path.end());
    GpBitmap* bitmap = nullptr;
    UINT width = 0;
    UINT height = 0;
    if (GdipCreateBitmapFromFile(widePath.c_str(), &bitmap) != Ok ||
        GdipGetImageWidth(bitmap, &width) != Ok || GdipGetImageHeight(bitmap, &height) != Ok) {
        error = "GDI+ cannot read " + path;
    } else {
        image.width = static_cast<int>(width);
        image.height = static_cast<int>(height);
        image.pixels.assign(static_cast<size_t>(width) * height, 0);
        for (UINT y = 0; y < height && error.empty(); ++y)
            for (UINT x = 0; x < width; ++x) {
                ARGB colour = 0;
                if (GdipBitmapGetPixel(bitmap, static_cast<INT>(x), static_cast<INT>(y), &colour) !=
                    Ok) {
                    error = "GDI+ cannot read the pixels of " + path;
                    break;
                }
                image.pixels[static_cast<size_t>(y) * width + x] = colour & 0xFFFFFFu;
            }
    }
    if (bitmap != nullptr) GdipDisposeImage(bitmap);
    GdiplusShutdown(token);
    return error.empty();
}

bool clickThenClose(const std::string& title, int x, int y) {
    HWND window = FindWindowA(nullptr, title.c_str());
    HWND child = window != nullptr ? GetWindow(window, GW_CHILD) : nullptr;
    if (child == nullptr || !IsWindowVisible(window)) return false;
    PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(child, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    PostMessageA(window, WM_CLOSE, 0, 0);
    return true;
}
