// The probe editor's window (test code): a child window of the editor's size inside the host's
// window, painted with plain GDI in a fixed pattern that snapshot tests check pixel by pixel.
// Natively there is no window system and the window is a placeholder. Everything here runs on
// the host's user-interface thread.
#pragma once

#include <cstdint>

namespace probe_pattern {

struct Rgb {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

// The whole window, then a bar along the top edge from the left, as wide as Gain x the width,
// then a square in the bottom-right corner.
constexpr Rgb kBackground{24, 64, 128};
constexpr Rgb kBar{232, 176, 32};
constexpr int kBarHeight = 40;
constexpr Rgb kCorner{208, 32, 32};
constexpr int kCornerSize = 16;

} // namespace probe_pattern

class ProbeWindowOwner {
public:
    // The fraction of the width that the bar fills.
    virtual float barFraction() = 0;
    // The left button went down at `fraction` of the width.
    virtual void clickedAt(float fraction) = 0;

protected:
    ~ProbeWindowOwner() = default;
};

struct ProbeWindow;

// A window of width x height at the top-left of `parent`; null when none could be made.
ProbeWindow* openProbeWindow(void* parent, int width, int height, ProbeWindowOwner& owner);
// Repaints the window when the owner's bar differs from what it last painted.
void refreshProbeWindow(ProbeWindow* window);

enum class ProbeClose {
    Destroy,
    HideOnly, // a fault: the window stays in the host's window, hidden
};
void closeProbeWindow(ProbeWindow* window, ProbeClose how);

// What a toolkit object of the editor holds from the window system (a GDI brush on Windows).
struct ProbeResource;
ProbeResource* createProbeResource();
void releaseProbeResource(ProbeResource* resource);
