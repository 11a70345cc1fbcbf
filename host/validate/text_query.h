// Text queries with a host buffer of a given size followed by a canary zone: a plug-in that
// writes past the buffer or leaves it unterminated is seen, not just survived.
#pragma once

#include "checkinstance.h"
#include "hosttextlimits.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The buffer a host of this interface gives for a text of at most maxLength characters (the
// limits are in hosttextlimits.h). Many hosts give more for names, and plug-ins whose bounded
// copies store their terminator at the limit count on that; the identity check holds names to
// these sizes from strictness 7.
constexpr size_t hostBufferBytes(int32_t maxLength) {
    return static_cast<size_t>(textBufferBytes(maxLength));
}
// A buffer larger than any text a plug-in should write.
constexpr size_t kGenerousTextBytes = 256;

struct TextReply {
    std::string text;    // up to the first NUL (or the whole buffer and canary zone)
    intptr_t answer = 0; // the dispatcher's answer
    // Why the text does not fit its buffer; empty when it does.
    std::string misfit;
};

// Dispatches `opcode` with a `capacity`-byte buffer as pointer.
TextReply queryText(CheckInstance& instance, int32_t opcode, int32_t index, intptr_t value,
                    size_t capacity);

// A parameter's name for messages: "parameter 3 (VcfCut)".
std::string parameterLabel(CheckInstance& instance, int32_t index);
