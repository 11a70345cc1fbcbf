#include "eventlist.h"

#include <cstddef>

EventList::EventList(int32_t capacity)
    : records_(static_cast<size_t>(capacity)),
      blockStorage_(offsetof(EventBlock, events) + sizeof(EventHeader*) * records_.size()) {}

void EventList::add(int32_t deltaFrames, uint8_t status, uint8_t data1, uint8_t data2,
                    int8_t detuneCents) {
    MidiEventRecord record{};
    record.type = kMidiEventType;
    record.byteSize = static_cast<int32_t>(sizeof(MidiEventRecord));
    record.deltaFrames = deltaFrames;
    record.midiData[0] = status;
    record.midiData[1] = data1;
    record.midiData[2] = data2;
    record.detune = detuneCents;
    addRecord(record);
}

void EventList::addRecord(const MidiEventRecord& record) {
    if (count_ >= capacity()) return;
    records_[static_cast<size_t>(count_++)] = record;
}

EventBlock* EventList::block() {
    auto* block = reinterpret_cast<EventBlock*>(blockStorage_.data());
    block->count = count_;
    block->padding = 0;
    block->reserved = 0;
    // The pointers run past the two that EventBlock declares.
    auto** slots =
        reinterpret_cast<EventHeader**>(blockStorage_.data() + offsetof(EventBlock, events));
    for (int32_t i = 0; i < count_; ++i)
        slots[i] = reinterpret_cast<EventHeader*>(&records_[static_cast<size_t>(i)]);
    return block;
}
