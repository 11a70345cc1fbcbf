// Host text limits: the longest text, in characters, that a host's buffer takes for each query.
// The buffer holds one byte more, for the terminating NUL (textBufferBytes). The plug-ins bound
// every copy into a host buffer by these, and qxahost validate sizes its buffers from them.
#pragma once

#include "qxa_abi.h"

#include <cstdint>

// clang-format off
constexpr int32_t kParameterTitleMaxLength = 8;  // ParameterTitleQuery
constexpr int32_t kParameterUnitMaxLength  = 8;  // ParameterUnitQuery
constexpr int32_t kParameterTextMaxLength  = 8;  // ParameterTextQuery
constexpr int32_t kProgramNameMaxLength    = 47; // ProgramNameQuery, IndexedProgramNameQuery
constexpr int32_t kEffectNameMaxLength     = 31; // EffectNameQuery
constexpr int32_t kProductNameMaxLength    = 63; // ProductNameQuery
constexpr int32_t kVendorNameMaxLength     = 63; // VendorNameQuery
constexpr int32_t kPinLabelMaxLength       = kPinLabelBytes - 1; // InputInfoQuery, OutputInfoQuery
// clang-format on

constexpr int32_t textBufferBytes(int32_t maxLength) {
    return maxLength + 1;
}
