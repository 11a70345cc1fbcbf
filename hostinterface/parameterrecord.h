// ParameterRecord: one parameter of one program, as both plug-ins keep it. The value is atomic:
// the host's threads and the editor write and read it without a lock, and the engine's owner
// reads it when it applies a change (EngineHandoff).
#pragma once

#include <atomic>
#include <cstdint>

// Bytes stored for a record's unit and title, terminator included.
constexpr int32_t kRecordTextBytes = 12;

struct ParameterRecord {
    std::atomic<float> value{0.0f};
    char unit[kRecordTextBytes] = {};
    char title[kRecordTextBytes] = {};
};
