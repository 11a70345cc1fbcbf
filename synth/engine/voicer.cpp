#include "voicer.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

// ---------------------------------------------------------------------------------------------
// Construction and lists
// ---------------------------------------------------------------------------------------------

int32_t Voicer::wrappingAdd(int32_t a, int32_t b) {
    // The sample clock runs over after 13 hours at 44.1 kHz; it wraps like an unsigned counter.
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

Voicer::Voicer(SynthContext* synth, int32_t count) : synth_(synth) {
    for (int32_t channel = 0; channel < kChannels; ++channel) {
        volume_[channel] = 0.78125;
        pan_[channel] = 0.5;
        channelProgram_[channel] = static_cast<int16_t>(channel);
        sustainEnabled_[channel] = 1;
        portamento_[channel] = 1;
        setVelocityCurve(channel, VelocityCurve::Linear, nullptr);
    }
    for (int32_t i = 0; i < count; ++i)
        addVoice(new Voice(synth, 0));
    for (int32_t j = 0; j < 128; ++j) {
        valueTable_[j] = j / 127.0;
        valueTable_[128 + j] = j / 127.0;
    }
    valueTable_[64] = 0.5;
    setVolumeCurve(1);
}

Voicer::~Voicer() {
    for (Voice* list : {freeList_, playingHead_}) {
        while (list) {
            Voice* next = list->next_;
            delete list;
            list = next;
        }
    }
}

void Voicer::pushFree(Voice* voice) {
    voice->previous_ = nullptr;
    voice->next_ = freeList_;
    freeList_ = voice;
}

Voice* Voicer::popFree() {
    Voice* voice = freeList_;
    if (voice) freeList_ = voice->next_;
    return voice;
}

void Voicer::linkFront(Voice* voice) {
    voice->previous_ = nullptr;
    voice->next_ = playingHead_;
    if (playingHead_)
        playingHead_->previous_ = voice;
    else
        playingTail_ = voice;
    playingHead_ = voice;
}

void Voicer::linkBack(Voice* voice) {
    voice->next_ = nullptr;
    voice->previous_ = playingTail_;
    if (playingTail_)
        playingTail_->next_ = voice;
    else
        playingHead_ = voice;
    playingTail_ = voice;
}

void Voicer::unlink(Voice* voice) {
    if (voice->previous_)
        voice->previous_->next_ = voice->next_;
    else
        playingHead_ = voice->next_;
    if (voice->next_)
        voice->next_->previous_ = voice->previous_;
    else
        playingTail_ = voice->previous_;
    voice->next_ = voice->previous_ = nullptr;
}

void Voicer::addVoice(Voice* voice) {
    voice->synth_ = synth_;
    voice->attachVoicer(this);
    pushFree(voice);
    voice->voiceIndex_ = totalVoices_++;
}

void Voicer::freeVoice(Voice* voice) {
    voice->onVoiceFreed();
    voice->state_ = VoiceState::Free;
    voice->forceReleased_ = 0;
    unlink(voice);
    pushFree(voice);
    --playingCount_;
}

void Voicer::stopAllVoices() {
    Voice* voice = playingHead_;
    while (voice) {
        Voice* next = voice->next_;
        if (voice->state_ != VoiceState::Free) freeVoice(voice);
        voice = next;
    }
}

uint8_t Voicer::takeChangedFlag() {
    const uint8_t changed = changed_;
    changed_ = 0;
    return changed;
}

Voice* Voicer::nextPlayingVoice() {
    int32_t index = 0;
    for (Voice* voice = playingHead_; voice; voice = voice->next_) {
        if (voice->state_ != VoiceState::Playing) continue;
        if (index++ == iterationIndex_) {
            ++iterationIndex_;
            return voice;
        }
    }
    return nullptr;
}

int32_t Voicer::channelProgram(int32_t channel) const {
    return channelProgram_[channel];
}

void Voicer::releaseOrFree(Voice* voice) {
    if (voice->releaseNote(0.0))
        voice->released_ = 1;
    else
        freeVoice(voice);
}

// ---------------------------------------------------------------------------------------------
// Note on, note off and allocation
// ---------------------------------------------------------------------------------------------

void Voicer::noteOn(int32_t channel, int32_t note, int32_t velocity, int32_t delta) {
    MonoStack& stack = monoStacks_[channel];
    if (monoMode_[channel] && stack.count < kMonoStackDepth) {
        stack.notes[stack.count] = static_cast<uint8_t>(note);
        stack.velocities[stack.count] = static_cast<uint8_t>(velocity);
        ++stack.count;
    }
    lastStarted_ = startVoice(channel, note, velocity, delta, true);
}

Voice* Voicer::startVoice(int32_t channel, int32_t note, int32_t velocity, int32_t delta,
                          bool toFront) {
    noteVelocity_[channel][note] = static_cast<uint8_t>(velocity);
    held_[channel].set(note);
    Voice* voice = allocateVoice(channel, note, toFront);
    if (!voice) return nullptr;

    voice->released_ = 0;
    voice->noteOffReceived_ = 0;
    voice->forceReleased_ = 0;
    voice->sustainHeld_ = 0;
    voice->sostenutoHeld_ = 0;
    voice->startTime_ = wrappingAdd(sampleClock_, delta);
    if (sostenutoEnabled_[channel] && sostenutoCapture_[channel].test(note))
        voice->sostenutoHeld_ = 1;

    voice->note_ = note;
    voice->noteDetune_ = pendingDetune_;
    voice->velocityValue_ = valueTable_[velocity];
    voice->velocity_ = velocity;
    voice->channelProgram_ = channelProgram_[channel];
    voice->volume_ = volume_[channel];
    voice->pan_ = pan_[channel];
    voice->panSpread_ = panSpread_[channel];
    voice->pitchBend_ = pitchBend_[channel];
    voice->modulation_ = modulation_[channel];
    voice->setStartDelay(delta);
    voice->setStopDelay(0);

    voice->state_ = VoiceState::Free;
    voice->startNote(note, voice->velocityValue_);
    if (voice->state_ == VoiceState::Finished)
        freeVoice(voice);
    else
        voice->state_ = VoiceState::Playing;
    return voice;
}

void Voicer::forceVoice(Voice* voice) {
    if (voice->forceRelease() && voice->state_ != VoiceState::Finished)
        voice->forceReleased_ = 1;
    else
        freeVoice(voice);
}

Voice* Voicer::chooseVoiceToSteal() {
    Voice* chosen = nullptr;
    if (stealMode_ == 1) {
        double quietest = playingTail_ ? playingTail_->loudness_ : 100000.0;
        for (Voice* voice = playingHead_; voice; voice = voice->next_) {
            if (!voice->forceReleased_ && voice->loudness_ < quietest) {
                quietest = voice->loudness_;
                chosen = voice;
            }
        }
    } else if (stealMode_ >= 2) {
        Voice* above = nullptr;
        Voice* below = nullptr;
        int32_t belowCount = 0;
        for (Voice* voice = playingHead_; voice; voice = voice->next_) {
            if (voice->forceReleased_) continue;
            if (voice->note_ >= splitNote_) {
                if (!above || voice->loudness_ < above->loudness_) above = voice;
            } else {
                ++belowCount;
                if (!below || voice->loudness_ < below->loudness_) below = voice;
            }
        }
        if (above && below && below->loudness_ > above->loudness_)
            chosen = above;
        else if (belowCount > lowNoteThreshold_)
            chosen = below;
        else
            chosen = above ? above : below;
    }
    if (!chosen) {
        for (Voice* voice = playingTail_; voice; voice = voice->previous_) {
            if (!voice->forceReleased_) {
                chosen = voice;
                break;
            }
        }
    }
    return chosen;
}

Voice* Voicer::allocateVoice(int32_t channel, int32_t note, bool toFront) {
    // A key struck again releases the voice still playing it.
    for (Voice* voice = playingHead_; voice;) {
        Voice* next = voice->next_;
        if (voice->state_ == VoiceState::Finished) {
            freeVoice(voice);
            next = playingHead_;
        } else if (voice->state_ == VoiceState::Playing && !voice->released_ &&
                   voice->channel_ == channel && voice->note_ == note && !retriggerDisabled_) {
            if (voice->releaseNote(0.0)) {
                voice->released_ = 1;
            } else {
                freeVoice(voice);
                next = playingHead_;
            }
        }
        voice = next;
    }

    // Half the pool may hold notes; beyond that the oldest is faded out quickly so that its
    // voice is ready when the pool runs full.
    int32_t limit = totalVoices_ / 2;
    if (maxVoices_ > 0 && maxVoices_ < limit) limit = maxVoices_;
    if (playingCount_ >= limit) {
        if (Voice* victim = chooseVoiceToSteal()) forceVoice(victim);
    }

    Voice* voice = nullptr;
    if (playingCount_ >= totalVoices_) {
        voice = playingTail_;
        if (!voice) return nullptr;
        unlink(voice);
    } else {
        voice = popFree();
        if (!voice) return nullptr;
        ++playingCount_;
    }
    if (toFront)
        linkFront(voice);
    else
        linkBack(voice);
    voice->channel_ = channel;
    voice->note_ = note;
    return voice;
}

void Voicer::noteOff(int32_t channel, int32_t note, int32_t stopDelay, bool allMatching) {
    for (Voice* voice = playingTail_; voice;) {
        Voice* previous = voice->previous_;
        const bool matches = voice->state_ == VoiceState::Playing && voice->channel_ == channel &&
                             voice->note_ == note && !voice->released_ && !voice->noteOffReceived_;
        if (matches) {
            if (sustainDown_[channel] && sustainEnabled_[channel]) {
                voice->sustainHeld_ = 1;
                if (!allMatching) break;
            } else if (sostenutoEnabled_[channel] && voice->sostenutoHeld_) {
                // Held by the sostenuto pedal: the pedal's release ends it.
            } else {
                voice->sostenutoHeld_ = 0;
                voice->noteOffReceived_ = 1;
                voice->setStopDelay(stopDelay);
                voice->releaseVelocityValue_ = releaseVelocityValue_;
                if (stopDelay == 0) releaseOrFree(voice);
                if (!allMatching) break;
            }
        }
        voice = previous;
    }

    MonoStack& stack = monoStacks_[channel];
    if (stack.count > 0) {
        --stack.count;
        if (stack.count > 0) {
            int32_t found = -1;
            for (int32_t i = stack.count; i >= 0; --i) {
                if (stack.notes[i] == note) {
                    found = i;
                    break;
                }
            }
            if (found == stack.count) {
                // The top note ended: play the one below it again (noteOn pushes it back).
                --stack.count;
                noteOn(channel, stack.notes[stack.count], stack.velocities[stack.count], 0);
            } else if (found >= 0) {
                for (int32_t i = found; i < stack.count; ++i) {
                    stack.notes[i] = stack.notes[i + 1];
                    stack.velocities[i] = stack.velocities[i + 1];
                }
            }
        }
    }

    noteVelocity_[channel][note] = 0;
    held_[channel].clear(note);
}

void Voicer::allNotesOff() {
    std::memset(noteVelocity_, 0, sizeof noteVelocity_);
    std::memset(noteOnCounters_, 0, sizeof noteOnCounters_);
    for (int32_t channel = 0; channel < kChannels; ++channel) {
        monoStacks_[channel].count = 0;
        sustainDown_[channel] = 0;
        held_[channel] = NoteMask{};
        sostenutoCapture_[channel] = NoteMask{};
    }
    for (Voice* voice = playingHead_; voice;) {
        Voice* next = voice->next_;
        if (voice->state_ == VoiceState::Playing) {
            voice->sustainHeld_ = 0;
            voice->releaseVelocityValue_ = 0.0;
            releaseOrFree(voice);
        }
        voice = next;
    }
}

void Voicer::channelNotesOff(int32_t channel, bool immediate) {
    sustainDown_[channel] = 0;
    for (Voice* voice = playingHead_; voice;) {
        Voice* next = voice->next_;
        if (voice->state_ == VoiceState::Playing && voice->channel_ == channel) {
            if (immediate)
                freeVoice(voice);
            else
                releaseOrFree(voice);
        }
        voice = next;
    }
}

// ---------------------------------------------------------------------------------------------
// Channel messages and pedals
// ---------------------------------------------------------------------------------------------

void Voicer::pitchBend(int32_t channel, int32_t lsb, int32_t msb) {
    const double bend = ((msb * 128) | lsb) / 8192.0 - 1.0;
    pitchBend_[channel] = bend;
    for (Voice* voice = playingHead_; voice; voice = voice->next_) {
        if (voice->state_ != VoiceState::Playing || voice->channel_ != channel) continue;
        voice->pitchBend_ = bend;
        voice->setPitchBend(bend);
    }
}

void Voicer::modulationWheel(int32_t channel, int32_t value) {
    const double modulation = valueTable_[value];
    modulation_[channel] = modulation;
    for (Voice* voice = playingHead_; voice; voice = voice->next_) {
        if (voice->state_ != VoiceState::Playing || voice->channel_ != channel) continue;
        voice->modulation_ = modulation;
        voice->setModulation(modulation);
    }
}

void Voicer::channelVolume(int32_t channel, int32_t value) {
    const double volume = valueTable_[128 + value];
    volume_[channel] = volume;
    lastVolume_ = volume;
    for (Voice* voice = playingHead_; voice; voice = voice->next_) {
        if (voice->state_ == VoiceState::Playing && voice->channel_ == channel)
            voice->setVolume(volume);
    }
    changed_ = 1;
}

void Voicer::channelPan(int32_t channel, int32_t value) {
    const double pan = valueTable_[value];
    pan_[channel] = pan;
    lastPan_ = pan;
    for (Voice* voice = playingHead_; voice; voice = voice->next_) {
        if (voice->state_ == VoiceState::Playing && voice->channel_ == channel) voice->setPan(pan);
    }
    changed_ = 1;
}

void Voicer::programChange(int32_t channel, int32_t program) {
    channelProgram_[channel] = static_cast<int16_t>(program);
    changed_ = 1;
    lastProgramChange_ = program;
    programChangeMask_ |= 1 << channel;
}

void Voicer::channelPressure(int32_t channel, int32_t value) {
    for (Voice* voice = playingHead_; voice; voice = voice->next_) {
        if (voice->state_ == VoiceState::Playing && voice->channel_ == channel)
            voice->setPressure(valueTable_[value]);
    }
}

void Voicer::sustainPedal(int32_t channel, int32_t value, int32_t delta) {
    const bool wasDown = sustainDown_[channel] != 0;
    sustainDown_[channel] = value >= 64;
    if (!sustainEnabled_[channel] || !wasDown || sustainDown_[channel]) return;
    for (;;) {
        Voice* held = nullptr;
        for (Voice* voice = playingHead_; voice; voice = voice->next_) {
            if (voice->state_ == VoiceState::Playing && voice->channel_ == channel &&
                voice->sustainHeld_) {
                held = voice;
                break;
            }
        }
        if (!held) break;
        held->sustainHeld_ = 0;
        noteOff(channel, held->note_, delta, false);
    }
}

void Voicer::sostenutoPedal(int32_t channel, int32_t value, int32_t delta) {
    const bool down = value >= 64;
    sostenutoDown_[channel] = down;
    if (!sostenutoEnabled_[channel]) return;
    sostenutoCapture_[channel] = down ? held_[channel] : NoteMask{};
    if (down) {
        for (Voice* voice = playingHead_; voice; voice = voice->next_) {
            if (voice->state_ == VoiceState::Playing && voice->channel_ == channel)
                voice->sostenutoHeld_ = 1;
        }
        return;
    }
    for (Voice* voice = playingHead_; voice;) {
        if (voice->state_ == VoiceState::Playing && voice->channel_ == channel &&
            voice->sostenutoHeld_) {
            voice->sostenutoHeld_ = 0;
            noteOff(channel, voice->note_, delta, false);
            voice = playingHead_;
        } else {
            voice = voice->next_;
        }
    }
}

void Voicer::softPedal(int32_t channel, int32_t value) {
    softPedalDown_[channel] = value >= 64;
}

void Voicer::portamentoSwitch(int32_t channel, int32_t value) {
    portamento_[channel] = value >= 64;
}

void Voicer::controlChange(int32_t channel, int32_t controller, int32_t value, int32_t /*delta*/) {
    controllerValues_[channel][controller] = static_cast<uint8_t>(value);
    if (controller == 121) { // reset all controllers
        pitchBend_[channel] = 0.0;
        modulation_[channel] = 0.0;
        for (Voice* voice = playingHead_; voice; voice = voice->next_) {
            if (voice->state_ != VoiceState::Playing || voice->channel_ != channel) continue;
            voice->pitchBend_ = 0.0;
            voice->modulation_ = 0.0;
            voice->setPitchBend(0.0);
            voice->setModulation(0.0);
        }
        sustainPedal(channel, 0, 0);
        return;
    }
    for (Voice* voice = playingHead_; voice; voice = voice->next_) {
        if (voice->state_ == VoiceState::Playing && voice->channel_ == channel)
            voice->onControlChange(controller, value);
    }
}

void Voicer::setMonoMode(int32_t channel, bool on) {
    if ((monoMode_[channel] != 0) == on) return;
    monoMode_[channel] = on;
    monoStacks_[channel].count = 0;
}

// ---------------------------------------------------------------------------------------------
// Curves
// ---------------------------------------------------------------------------------------------

void Voicer::setVolumeCurve(int32_t type) {
    int32_t controllerValue[kChannels];
    for (int32_t channel = 0; channel < kChannels; ++channel) {
        controllerValue[channel] = 127;
        for (int32_t j = 0; j < 128; ++j) {
            if (valueTable_[128 + j] > volume_[channel]) {
                controllerValue[channel] = j > 0 ? j - 1 : 0;
                break;
            }
        }
    }
    volumeCurveType_ = type;
    for (int32_t j = 0; j < 128; ++j) {
        const double linear = j / 127.0;
        valueTable_[128 + j] = type == 2   ? linear * linear
                               : type == 3 ? linear * linear * linear
                                           : linear;
    }
    for (int32_t channel = 0; channel < kChannels; ++channel)
        channelVolume(channel, controllerValue[channel]);
}

void Voicer::setVelocityCurve(int32_t channel, VelocityCurve type, const uint8_t* table) {
    uint8_t* map = velocityMaps_[channel];
    for (int32_t v = 0; v < kNotes; ++v) {
        switch (type) {
        case VelocityCurve::Table:
            map[v] = table ? table[v] : static_cast<uint8_t>(v);
            break;
        case VelocityCurve::SquareRoot:
            map[v] = static_cast<uint8_t>(std::sqrt(v / 127.0) * 127.0 + 0.5);
            break;
        case VelocityCurve::Square:
            map[v] = static_cast<uint8_t>(v * v / 127.0 + 0.5);
            break;
        case VelocityCurve::Full:
            map[v] = 127;
            break;
        case VelocityCurve::Linear:
        default:
            map[v] = static_cast<uint8_t>(v);
            break;
        }
    }
    velocityCurveType_[channel] = type;
}
