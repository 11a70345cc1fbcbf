#include "text_query.h"

#include "validation.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kCanaryBytes = 256;
constexpr unsigned char kCanary = 0xA5;

} // namespace

TextReply queryText(CheckInstance& instance, int32_t opcode, int32_t index, intptr_t value,
                    size_t capacity) {
    std::vector<unsigned char> buffer(capacity + kCanaryBytes, kCanary);
    TextReply reply;
    reply.answer = instance.dispatch(opcode, index, value, buffer.data());

    // A refused query may leave the buffer as it was: no text, nothing to judge.
    if (std::all_of(buffer.begin(), buffer.end(), [](unsigned char c) { return c == kCanary; }))
        return reply;

    const void* terminator = std::memchr(buffer.data(), 0, buffer.size());
    const size_t length =
        terminator != nullptr
            ? static_cast<size_t>(static_cast<const unsigned char*>(terminator) - buffer.data())
            : buffer.size();
    reply.text.assign(reinterpret_cast<const char*>(buffer.data()), length);

    size_t lastWritten = 0; // one past the last byte beyond the buffer that changed
    for (size_t i = capacity; i < buffer.size(); ++i)
        if (buffer[i] != kCanary) lastWritten = i + 1;
    if (length >= capacity)
        reply.misfit =
            textf("has %zu characters, more than a %zu-byte buffer holds", length, capacity);
    else if (lastWritten > 0)
        reply.misfit = textf("wrote %zu bytes into a %zu-byte buffer", lastWritten, capacity);
    return reply;
}

std::string parameterLabel(CheckInstance& instance, int32_t index) {
    const TextReply title = queryText(instance, ParameterTitleQuery, index, 0, kGenerousTextBytes);
    if (title.text.empty() || !title.misfit.empty()) return textf("parameter %d", index);
    return textf("parameter %d (%s)", index, title.text.c_str());
}
