// The toolkit's plain value types: points, rectangles, colours, pointer and key input, and the
// message strings views send each other. Everything here is copied freely.
#pragma once

#include <cstdint>

namespace QXAGUI {

// A position in pixels. Which coordinates it is in (a parent's, a container's own, the frame's)
// depends on who hands it over.
struct ViewPoint {
    int32_t x = 0;
    int32_t y = 0;

    constexpr ViewPoint() = default;
    constexpr ViewPoint(int32_t xIn, int32_t yIn) : x(xIn), y(yIn) {}
    constexpr ViewPoint& moveBy(int32_t dx, int32_t dy) {
        x += dx;
        y += dy;
        return *this;
    }
    constexpr bool operator==(const ViewPoint&) const = default;
};

// A rectangle in pixels: left and top inside, right and bottom one past the last column and
// row for the rectangle's own point test (`pointInside`). Views test their pointer area
// inclusively instead (CView::containsPoint).
struct ViewRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    constexpr ViewRect() = default;
    constexpr ViewRect(int32_t l, int32_t t, int32_t r, int32_t b)
        : left(l), top(t), right(r), bottom(b) {}
    static constexpr ViewRect fromSize(ViewPoint origin, int32_t width, int32_t height) {
        return {origin.x, origin.y, origin.x + width, origin.y + height};
    }

    constexpr int32_t width() const { return right - left; }
    constexpr int32_t height() const { return bottom - top; }
    constexpr ViewPoint topLeft() const { return {left, top}; }
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }

    constexpr ViewRect& moveBy(int32_t dx, int32_t dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    constexpr ViewRect& moveTo(int32_t x, int32_t y) { return moveBy(x - left, y - top); }

    // Intersection: left/top clamp up, right/bottom clamp down, and an empty result keeps zero
    // width or height rather than a negative one.
    constexpr ViewRect& bound(const ViewRect& other) {
        if (left < other.left) left = other.left;
        if (top < other.top) top = other.top;
        if (right > other.right) right = other.right;
        if (bottom > other.bottom) bottom = other.bottom;
        if (right < left) right = left;
        if (bottom < top) bottom = top;
        return *this;
    }
    // Left <= right and top <= bottom, corners swapped where needed.
    constexpr ViewRect normalized() const {
        return {left < right ? left : right, top < bottom ? top : bottom,
                left < right ? right : left, top < bottom ? bottom : top};
    }

    // Half-open: the right column and bottom row are outside.
    constexpr bool pointInside(ViewPoint p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    // Inclusive on all four edges (how views test their pointer area).
    constexpr bool pointWithinEdges(ViewPoint p) const {
        return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
    }
    // Inclusive overlap: rectangles that only share an edge touch.
    constexpr bool touches(const ViewRect& other) const {
        return left <= other.right && other.left <= right && top <= other.bottom &&
               other.top <= bottom;
    }
    constexpr bool operator==(const ViewRect&) const = default;
};

// Red, green, blue and alpha bytes in that order; alpha 255 is opaque. The window system's
// colour value is the low three bytes as 0x00BBGGRR.
struct ViewColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;

    constexpr bool operator==(const ViewColor&) const = default;
    constexpr uint32_t systemColor() const {
        return static_cast<uint32_t>(red) | (static_cast<uint32_t>(green) << 8) |
               (static_cast<uint32_t>(blue) << 16);
    }
};

inline constexpr ViewColor kTransparentColor{255, 255, 255, 0};
inline constexpr ViewColor kBlackColor{0, 0, 0, 255};
inline constexpr ViewColor kWhiteColor{255, 255, 255, 255};
inline constexpr ViewColor kGreyColor{127, 127, 127, 255};
inline constexpr ViewColor kRedColor{255, 0, 0, 255};
inline constexpr ViewColor kGreenColor{0, 255, 0, 255};
inline constexpr ViewColor kBlueColor{0, 0, 255, 255};
inline constexpr ViewColor kYellowColor{255, 255, 0, 255};
inline constexpr ViewColor kMagentaColor{255, 0, 255, 255};
inline constexpr ViewColor kCyanColor{0, 255, 255, 255};

// Mouse buttons and modifier keys of one pointer event. Bit 0x01 is never set.
using ButtonFlags = uint32_t;
enum : ButtonFlags {
    ButtonLeft = 0x02,
    ButtonMiddle = 0x04,
    ButtonRight = 0x08,
    ModShift = 0x10,
    ModControl = 0x20,
    ModAlt = 0x40,
    ButtonExtra1 = 0x100,
    ButtonExtra2 = 0x200,
    ClickDouble = 0x400,
};
// The buttons alone, without modifiers or the double-click mark.
inline constexpr ButtonFlags kAnyMouseButton =
    ButtonLeft | ButtonMiddle | ButtonRight | ButtonExtra1 | ButtonExtra2;

// What a view answers to a pointer event.
enum PointerReply : int32_t {
    Legacy = 0,          // not handled by the event protocol: the caller runs legacyTrack
    Taken = 1,           // handled; moves and the release follow to this view
    Passed = 2,          // not handled
    TakenNoTracking = 3, // handled; no moves or release wanted
};

// A key as the host hands it over: character, virtual key code (2 is Tab; 11..14 are the arrow
// keys left, right, up, down in the order 11 left, 12 up, 13 right, 14 down) and modifier bits
// (bit 0 Shift). Key handlers answer 1 (handled) or -1 (not handled).
struct KeyRecord {
    int32_t character = 0;
    uint8_t virtualKey = 0;
    uint8_t modifiers = 0;
};
inline constexpr uint8_t kKeyTab = 2;
inline constexpr uint8_t kKeyLeft = 11;
inline constexpr uint8_t kKeyUp = 12;
inline constexpr uint8_t kKeyRight = 13;
inline constexpr uint8_t kKeyDown = 14;
inline constexpr uint8_t kKeyModifierShift = 0x01;

// How a child follows its container's size changes.
using ResizeFlags = uint32_t;
enum : ResizeFlags {
    FollowLeft = 1,
    FollowTop = 2,
    FollowRight = 4,
    FollowBottom = 8,
    SpreadColumns = 16,
    SpreadRows = 32,
};

// Shape drawing: outline, fill, or both.
enum DrawStyle : int32_t { DrawOutline = 0, DrawFilled = 1, DrawFilledAndOutline = 2 };
// Text alignment inside a rectangle.
enum TextAlign : int32_t { AlignLeft = 0, AlignCenter = 1, AlignRight = 2 };

// Messages between views. Receivers compare the pointer, never the text, so every sender must
// pass one of these very objects.
extern const char* const kMsgCheckIfViewContainer;
extern const char* const kMsgNewFocusView;
extern const char* const kMsgOldFocusView;
extern const char* const kMsgLooseFocus;

} // namespace QXAGUI
