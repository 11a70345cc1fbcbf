// HeldNotes: the notes a check holds down on an instrument, released oldest first.
#pragma once

#include "checkrandom.h"
#include "eventlist.h"

#include <cstdint>
#include <deque>

class HeldNotes {
public:
    // A random note with a random velocity on channel 0.
    void press(EventList& events, CheckRandom& random, int32_t deltaFrames) {
        const int32_t note = random.between(36, 96);
        events.noteOn(deltaFrames, 0, note, random.between(1, 127));
        notes_.push_back(note);
    }
    void releaseOldest(EventList& events, int32_t deltaFrames) {
        if (notes_.empty()) return;
        events.noteOff(deltaFrames, 0, notes_.front());
        notes_.pop_front();
    }
    void releaseAll(EventList& events, int32_t deltaFrames) {
        while (!notes_.empty())
            releaseOldest(events, deltaFrames);
    }
    size_t size() const { return notes_.size(); }

private:
    std::deque<int32_t> notes_;
};
