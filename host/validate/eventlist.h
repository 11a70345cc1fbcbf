// EventList: MIDI events for the next render call, laid out as the EventBlock the host hands
// over with EventDelivery. Its storage is reserved up front, so adding events and building the
// block do not allocate while the allocation counter is armed.
#pragma once

#include "qxa_abi.h"

#include <cstdint>
#include <vector>

class EventList {
public:
    explicit EventList(int32_t capacity = 512);

    // Events beyond the capacity are dropped; capacity() tells how many fit.
    void add(int32_t deltaFrames, uint8_t status, uint8_t data1, uint8_t data2,
             int8_t detuneCents = 0);
    void addRecord(const MidiEventRecord& record);
    void noteOn(int32_t deltaFrames, int32_t channel, int32_t note, int32_t velocity) {
        add(deltaFrames, static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(note),
            static_cast<uint8_t>(velocity));
    }
    void noteOff(int32_t deltaFrames, int32_t channel, int32_t note) {
        add(deltaFrames, static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(note), 64);
    }
    void controller(int32_t deltaFrames, int32_t channel, int32_t number, int32_t value) {
        add(deltaFrames, static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(number),
            static_cast<uint8_t>(value));
    }

    void clear() { count_ = 0; }
    bool empty() const { return count_ == 0; }
    int32_t size() const { return count_; }
    int32_t capacity() const { return static_cast<int32_t>(records_.size()); }

    // The block of the events added since clear(); valid until the next change.
    EventBlock* block();

private:
    std::vector<MidiEventRecord> records_;
    std::vector<unsigned char> blockStorage_;
    int32_t count_ = 0;
};
