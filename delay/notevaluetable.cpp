#include "notevaluetable.h"

int32_t NoteValueTable::indexForAmount(float amount) {
    // Compared as doubles before the conversion so that NaN and out-of-range amounts cannot
    // reach an undefined float-to-int conversion.
    const double scaled = static_cast<double>(amount) * 14.0;
    if (!(scaled >= 0.0)) return 0;
    if (scaled >= kCount) return kCount - 1;
    return static_cast<int32_t>(scaled);
}
