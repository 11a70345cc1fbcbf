// Natively the probe editor has no window system: its window and resources are placeholders.
#include "probewindow.h"

struct ProbeWindow {};
struct ProbeResource {};

ProbeWindow* openProbeWindow(void*, int, int, ProbeWindowOwner&) {
    return new ProbeWindow;
}

void refreshProbeWindow(ProbeWindow*) {}

void closeProbeWindow(ProbeWindow* window, ProbeClose) {
    delete window;
}

ProbeResource* createProbeResource() {
    return new ProbeResource;
}

void releaseProbeResource(ProbeResource* resource) {
    delete resource;
}
