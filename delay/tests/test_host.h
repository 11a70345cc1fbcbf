// A minimal host for in-process tests: answers the interface version and, when a tempo is set,
// the transport information with a valid tempo.
#pragma once

#include "qxa_abi.h"

#include <cstdint>

namespace test_host {

// The host callback to construct effects with.
intptr_t callback(DescriptorRecord* effect, int32_t opcode, int32_t index, intptr_t value,
                  void* pointer, float option);

// Tempo reported through TransportInfo; 0 or less answers without the tempo-valid flag, NaN
// is reported as valid (a broken host). Not thread-safe: set it before rendering starts.
void setTempo(double beatsPerMinute);
// Stop answering TransportInfo at all (null record).
void setNoTransport();

} // namespace test_host
