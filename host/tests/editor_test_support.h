// What the editor command tests need of the window system: reading a PNG file back and acting
// on a window as a person would. Windows only (editor_test_support_windows.cpp); elsewhere every
// call answers false.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PngImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0xRRGGBB, row by row from the top

    uint32_t at(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

// Reads a PNG file (with GDI+). False with `error`.
bool readPngFile(const std::string& path, PngImage& image, std::string& error);

// Finds the shown top-level window titled `title` that holds a child window and posts a left
// click at (x, y) of that child and, after it, a close request to the window. False when there
// is no such window. The caller waits for the window first (no clock is involved here).
bool clickThenClose(const std::string& title, int x, int y);
