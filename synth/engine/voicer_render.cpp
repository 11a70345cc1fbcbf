// Voicer: event intake, the byte-wise MIDI parser and the block render loop.
#include "voicer.h"

#include "synthcontext.h"

#include <algorithm>

namespace {
// Channel pointers shifted to a voice's start inside the block live in fixed arrays.
constexpr int32_t kMaxChannels = 512;

int32_t clampedChannelCount(int32_t count) {
    return std::clamp(count, 0, kMaxChannels);
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Event intake and parser
// ---------------------------------------------------------------------------------------------

void Voicer::handleEventBlock(const EventBlock* block) {
    if (!block) return;
    for (int32_t i = 0; i < block->count; ++i) {
        const EventHeader* header = block->events[i];
        if (!header || header->type != kMidiEventType) continue;
        const auto* event = reinterpret_cast<const MidiEventRecord*>(header);
        const int32_t status = event->midiData[0] & 0xF0;
        pendingDetune_ = status == 0x90 ? event->detune * 0.01 : 0.0;
        handleMidiEvent(event, status);
    }
}

void Voicer::handleMidiEvent(const MidiEventRecord* event, int32_t status) {
    const auto byte = [event](int32_t i) {
        return static_cast<int16_t>(static_cast<int8_t>(event->midiData[i]));
    };
    parseMidiByte(byte(0), event->deltaFrames);
    parseMidiByte(byte(1), 0);
    if (status != 0xC0 && status != 0xD0) parseMidiByte(byte(2), 0);
}

int32_t Voicer::softened(int32_t channel, int32_t velocity) const {
    if (softPedalEnabled_[channel] && softPedalDown_[channel])
        return static_cast<int32_t>(velocity * softPedalFactor_);
    return velocity;
}

void Voicer::noteOnFromParser(int32_t channel, int32_t note, int32_t velocity) {
    int32_t& counter = noteOnCounters_[channel][note];
    if (counter < 0) counter = 0;
    ++counter;
    const int32_t used = softened(channel, velocityMaps_[channel][velocity]);
    noteOn(channel, note, used, currentEventDelta_);
}

void Voicer::noteOffFromParser(int32_t channel, int32_t note, int32_t velocity, bool isNoteOff) {
    if (isNoteOff)
        releaseVelocityValue_ = valueTable_[softened(channel, velocityMaps_[channel][velocity])];
    else
        releaseVelocityValue_ = 0.0;
    noteOff(channel, note, currentEventDelta_, false);
    --noteOnCounters_[channel][note];
}

void Voicer::controllerFromParser(int32_t channel, int32_t controller, int32_t value,
                                  int32_t delta) {
    switch (controller) {
    case 1:
        modulationWheel(channel, value);
        break;
    case 7:
        channelVolume(channel, value);
        break;
    case 10:
        channelPan(channel, value);
        break;
    case 64:
        sustainPedal(channel, value, delta);
        break;
    case 65:
        portamentoSwitch(channel, value);
        break;
    case 66:
        sostenutoPedal(channel, value, delta);
        break;
    case 67:
        softPedal(channel, value);
        break;
    case 123:
        allNotesOff();
        break;
    default:
        break;
    }
    controlChange(channel, controller, value, delta);
}

void Voicer::parseMidiByte(int16_t byte, int32_t delta) {
    const int32_t b = byte & 0xFF;
    if (b >= 0x80) {
        currentEventDelta_ = delta;
        runningStatus_ = static_cast<int16_t>(b & 0xF0);
        parserChannel_ = static_cast<int16_t>(channelMode_ ? (b & 0x0F) : 0);
        dataPending_ = 0;
        return;
    }
    const int32_t channel = parserChannel_;
    switch (runningStatus_) {
    case 0x80:
    case 0x90:
    case 0xB0:
    case 0xE0:
        if (!dataPending_) {
            firstDataByte_ = static_cast<int16_t>(b);
            dataPending_ = 1;
            return;
        }
        dataPending_ = 0;
        if (runningStatus_ == 0xB0)
            controllerFromParser(channel, firstDataByte_, b, delta);
        else if (runningStatus_ == 0xE0)
            pitchBend(channel, firstDataByte_, b);
        else if (runningStatus_ == 0x90 && b != 0)
            noteOnFromParser(channel, firstDataByte_, b);
        else
            noteOffFromParser(channel, firstDataByte_, b, runningStatus_ == 0x80);
        return;
    case 0xC0:
        programChange(channel, b);
        return;
    case 0xD0:
        channelPressure(channel, b);
        return;
    default:
        // Poly pressure, system messages and data without a status: dropped, and the parser
        // waits for the next status byte.
        runningStatus_ = 0;
        dataPending_ = 0;
        return;
    }
}

// ---------------------------------------------------------------------------------------------
// Render loop
// ---------------------------------------------------------------------------------------------

void Voicer::renderBlock(float** inputs, float** outputs, int32_t frames) {
    if (frames <= 0) return;
    const int32_t outputCount = clampedChannelCount(synth_->outputChannelCount());
    for (int32_t i = 0; i < outputCount; ++i)
        std::fill(outputs[i], outputs[i] + frames, 0.0f);
    renderVoices(inputs, outputs, frames);
}

void Voicer::renderVoices(float** inputs, float** outputs, int32_t frames) {
    if (frames <= 0) return;
    sampleClock_ = wrappingAdd(sampleClock_, frames);

    if (maxVoices_ != 0 && playingCount_ > maxVoices_) {
        Voice* oldest = playingTail_;
        if (oldest && !oldest->forceReleased_) {
            if (oldest->forceRelease())
                oldest->forceReleased_ = 1;
            else
                freeVoice(oldest);
        }
    }

    for (Voice* voice = playingHead_; voice;) {
        Voice* next = voice->next_;
        if (voice->state_ == VoiceState::Finished)
            freeVoice(voice);
        else if (voice->state_ == VoiceState::Playing)
            renderPlayingVoice(voice, inputs, outputs, frames);
        voice = next;
    }
}

void Voicer::renderPlayingVoice(Voice* voice, float** inputs, float** outputs, int32_t frames) {
    int32_t start = voice->startDelay_;
    int32_t stop = voice->stopDelay_;

    if (start == 0 && stop == 0) {
        if (voice->noteOffReceived_ && !voice->released_) {
            // Freed voices are still rendered for this block: their sound ends here.
            if (voice->releaseNote(0.0))
                voice->released_ = 1;
            else
                freeVoice(voice);
        }
        renderVoiceRange(voice, inputs, outputs, frames, 0);
        return;
    }

    if (start != 0 && start >= frames) {
        // The note starts in a later block. A note-off placed before its own note-on is kept
        // at the note's start, never before it.
        voice->startDelay_ = start - frames;
        if (stop != 0)
            voice->stopDelay_ =
                static_cast<int32_t>(std::max<int64_t>(int64_t{stop} - frames, voice->startDelay_));
        return;
    }

    if (start < 0) {
        start = 0;
        voice->startDelay_ = 0;
    }
    const int32_t inputCount = clampedChannelCount(synth_->inputChannelCount());
    const int32_t outputCount = clampedChannelCount(synth_->outputChannelCount());
    float* shiftedInputs[kMaxChannels];
    float* shiftedOutputs[kMaxChannels];
    const auto shift = [&](int32_t by) {
        for (int32_t i = 0; i < inputCount; ++i)
            shiftedInputs[i] = inputs[i] + by;
        for (int32_t i = 0; i < outputCount; ++i)
            shiftedOutputs[i] = outputs[i] + by;
    };
    shift(start);

    if (stop == 0) {
        renderVoiceRange(voice, shiftedInputs, shiftedOutputs, frames - start, start);
        voice->startDelay_ = 0;
        return;
    }
    if (stop >= frames) {
        voice->stopDelay_ = stop - frames;
        renderVoiceRange(voice, shiftedInputs, shiftedOutputs, frames - start, start);
        voice->startDelay_ = 0;
        return;
    }

    // The note-off falls inside this block; never before the note's own start.
    stop = std::max(stop, start);
    renderVoiceRange(voice, shiftedInputs, shiftedOutputs, stop - start, start);
    voice->startDelay_ = 0;
    voice->stopDelay_ = 0;
    if (!voice->releaseNote(0.0)) {
        freeVoice(voice);
        return;
    }
    voice->released_ = 1;
    shift(stop);
    renderVoiceRange(voice, shiftedInputs, shiftedOutputs, frames - stop, stop);
}
