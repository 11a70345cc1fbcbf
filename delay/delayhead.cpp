#include "delayhead.h"

#include "notevaluetable.h"

#include <algorithm>
#include <new>

DelayHead::DelayHead(int32_t maxMilliseconds) {
    sizeHeadBuffer(maxMilliseconds == 0 ? kDefaultMaxMilliseconds : maxMilliseconds);
}

void DelayHead::sizeHeadBuffer(int32_t milliseconds) {
    maxMilliseconds_ = milliseconds;
    buffer_.reset();
    bufferLength_ = 0;
    readIndex_ = 0;
    // Compared in double before converting, so absurd rates cannot overflow the length.
    const double samples = static_cast<double>(milliseconds) * sampleRate_ * 0.001;
    if (samples >= kMinBufferLength && samples < kMaxBufferLength + 1.0) {
        const auto length = static_cast<int32_t>(samples);
        buffer_.reset(new (std::nothrow) float[static_cast<size_t>(length)]);
        if (buffer_) bufferLength_ = length;
    }
    clearHead();
}

void DelayHead::setHeadSampleRate(double rate) {
    if (rate != sampleRate_) {
        sampleRate_ = rate;
        sizeHeadBuffer(maxMilliseconds_);
    }
}

void DelayHead::clearHead() {
    if (buffer_) std::fill_n(buffer_.get(), bufferLength_, 0.0f);
    filterState_ = 0.0f;
    feedbackCurrent_ = feedbackTarget_;
}

void DelayHead::setInputWeighting(float left, float right) {
    leftInputGain_ = left;
    rightInputGain_ = right;
}

void DelayHead::setDelayAmount(float amount) {
    // Written as a negated comparison so that NaN lands on 0.
    if (!(amount > 0.0f))
        amount = 0.0f;
    else if (amount > 1.0f)
        amount = 1.0f;
    delayAmount_ = amount;
}

double DelayHead::syncBeats() const {
    return NoteValueTable::beats(NoteValueTable::indexForAmount(delayAmount()));
}

int32_t DelayHead::lengthForAmount(float amount) const {
    if (bufferLength_ < kMinBufferLength) return 0;
    const auto length = static_cast<int32_t>(static_cast<float>(bufferLength_) * amount);
    return std::min(length, bufferLength_ - 2);
}

int32_t DelayHead::tempoDelayLength(double tempo) const {
    if (bufferLength_ < kMinBufferLength) return 0;
    const double samples = sampleRate_ / (tempo * (1.0 / 60.0)) * syncBeats();
    // A huge or NaN length (an absurd tempo) is capped before the conversion.
    if (!(samples < bufferLength_ - 2)) return bufferLength_ - 2;
    return static_cast<int32_t>(samples);
}
