#include "midifile.h"

#include "file_io.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

constexpr uint32_t kDefaultTempo = 500000; // 120 BPM, the tempo until the first tempo event

uint32_t readU32BE(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

uint16_t readU16BE(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

std::string formatText(const char* format, unsigned long long a, unsigned long long b = 0,
                       unsigned long long c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// Reads the events of one MTrk body [p, p + length).
class TrackReader {
public:
    TrackReader(const uint8_t* p, size_t length, int track)
        : p_(p), length_(length), track_(track) {}

    bool read(std::vector<MidiFileEvent>& events, std::vector<MidiTempoChange>& tempos,
              int64_t& endTick, std::string& error) {
        int64_t tick = 0;
        uint8_t running = 0;
        while (pos_ < length_) {
            uint32_t delta;
            if (!readVariable(delta, "delta time", error)) return false;
            tick += delta;
            if (pos_ >= length_) return truncated(error);
            const uint8_t lead = p_[pos_];
            if (lead == 0xFF) {
                ++pos_;
                if (pos_ >= length_) return truncated(error);
                const uint8_t type = p_[pos_++];
                uint32_t size;
                if (!readVariable(size, "meta event length", error)) return false;
                if (size > length_ - pos_) return truncated(error);
                if (type == 0x51) {
                    if (size != 3) {
                        error =
                            where() + formatText("malformed: a tempo event with %llu bytes", size);
                        return false;
                    }
                    const uint32_t micros = (static_cast<uint32_t>(p_[pos_]) << 16) |
                                            (static_cast<uint32_t>(p_[pos_ + 1]) << 8) |
                                            p_[pos_ + 2];
                    if (micros == 0) {
                        error = where() + "malformed: a tempo of 0 microseconds per quarter note";
                        return false;
                    }
                    tempos.push_back({tick, micros});
                }
                pos_ += size;
                running = 0;             // meta and SysEx events cancel running status
                if (type == 0x2F) break; // end of track; anything after it is ignored
            } else if (lead == 0xF0 || lead == 0xF7) {
                ++pos_;
                uint32_t size;
                if (!readVariable(size, "SysEx length", error)) return false;
                if (size > length_ - pos_) return truncated(error);
                pos_ += size;
                running = 0;
            } else if (lead > 0xF0) {
                error = where() + formatText("malformed: system message 0x%02llX in a track", lead);
                return false;
            } else {
                uint8_t status = running;
                if (lead & 0x80) {
                    status = lead;
                    running = lead;
                    ++pos_;
                } else if (running == 0) {
                    error = where() +
                            formatText("malformed: data byte 0x%02llX without a status byte", lead);
                    return false;
                }
                const uint8_t kind = status & 0xF0;
                const size_t dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
                if (dataBytes > length_ - pos_) return truncated(error);
                MidiFileEvent event{tick, {status, 0, 0}};
                for (size_t i = 0; i < dataBytes; ++i) {
                    const uint8_t data = p_[pos_ + i];
                    if (data & 0x80) {
                        error = where() +
                                formatText("malformed: status 0x%02llX where a data byte of a "
                                           "0x%02llX message belongs",
                                           data, status);
                        return false;
                    }
                    event.bytes[1 + i] = data;
                }
                pos_ += dataBytes;
                events.push_back(event);
            }
        }
        endTick = std::max(endTick, tick);
        return true;
    }

private:
    // A variable-length quantity of at most four bytes.
    bool readVariable(uint32_t& value, const char* what, std::string& error) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (pos_ >= length_) return truncated(error);
            const uint8_t byte = p_[pos_++];
            value = (value << 7) | (byte & 0x7F);
            if (!(byte & 0x80)) return true;
        }
        error = where() + "malformed: " + what + " longer than four bytes";
        return false;
    }

    bool truncated(std::string& error) const {
        error = where() + "truncated: the track ends inside an event";
        return false;
    }

    std::string where() const { return formatText("track %llu: ", track_ + 1); }

    const uint8_t* p_;
    size_t length_;
    size_t pos_ = 0;
    int track_;
};

// Rounds numerator / denominator to the nearest integer (both non-negative), saturating.
int64_t roundedQuotient(unsigned __int128 numerator, unsigned __int128 denominator) {
    const unsigned __int128 quotient = (numerator + denominator / 2) / denominator;
    const auto limit = static_cast<unsigned __int128>(MidiFile::kMaxSamplePosition);
    return static_cast<int64_t>(quotient > limit ? limit : quotient);
}

// Converts ticks to sample positions; successive calls must not go back in time, so a whole
// file converts in one pass over its tempo map.
class SampleClock {
public:
    SampleClock(const MidiFile& file, uint32_t sampleRate) : file_(file), sampleRate_(sampleRate) {}

    int64_t at(int64_t tick) {
        using Wide = unsigned __int128;
        if (tick <= 0) return 0;
        const auto ticks = static_cast<Wide>(tick);
        if (file_.framesPerSecond != 0) {
            const auto ticksPerFrame = static_cast<unsigned>(file_.ticksPerFrame);
            // 29 stands for 29.97 frames per second (30000 / 1001).
            if (file_.framesPerSecond == 29)
                return roundedQuotient(ticks * sampleRate_ * 1001u,
                                       static_cast<Wide>(30000u) * ticksPerFrame);
            return roundedQuotient(
                ticks * sampleRate_,
                static_cast<Wide>(static_cast<unsigned>(file_.framesPerSecond) * ticksPerFrame));
        }
        // Ticks x microseconds per quarter, summed over the tempo segments before `tick`.
        const auto& tempos = file_.tempos;
        while (next_ < tempos.size() && tempos[next_].tick < tick) {
            segmentMicroTicks_ += static_cast<Wide>(tempos[next_].tick - segmentStart_) * tempo_;
            segmentStart_ = tempos[next_].tick;
            tempo_ = tempos[next_].microsecondsPerQuarter;
            ++next_;
        }
        const Wide microTicks =
            segmentMicroTicks_ + static_cast<Wide>(tick - segmentStart_) * tempo_;
        return roundedQuotient(microTicks * sampleRate_,
                               static_cast<Wide>(static_cast<unsigned>(file_.ticksPerQuarter)) *
                                   1000000u);
    }

private:
    const MidiFile& file_;
    uint32_t sampleRate_;
    size_t next_ = 0;
    int64_t segmentStart_ = 0;
    uint32_t tempo_ = kDefaultTempo;
    unsigned __int128 segmentMicroTicks_ = 0;
};

// Sample positions of `items` (each with a `tick`, in time order), in one pass.
template <typename Item>
std::vector<int64_t> samplesInOrder(const MidiFile& file, const std::vector<Item>& items,
                                    uint32_t sampleRate) {
    SampleClock clock(file, sampleRate);
    std::vector<int64_t> positions;
    positions.reserve(items.size());
    for (const auto& item : items)
        positions.push_back(clock.at(item.tick));
    return positions;
}

} // namespace

int64_t MidiFile::tickToSample(int64_t tick, uint32_t sampleRate) const {
    return SampleClock(*this, sampleRate).at(tick);
}

std::vector<int64_t> MidiFile::eventSamples(uint32_t sampleRate) const {
    return samplesInOrder(*this, events, sampleRate);
}

std::vector<int64_t> MidiFile::tempoSamples(uint32_t sampleRate) const {
    return samplesInOrder(*this, tempos, sampleRate);
}

double MidiFile::tempoAt(int64_t tick) const {
    const auto after =
        std::upper_bound(tempos.begin(), tempos.end(), tick,
                         [](int64_t t, const MidiTempoChange& change) { return t < change.tick; });
    const uint32_t tempo =
        after == tempos.begin() ? kDefaultTempo : std::prev(after)->microsecondsPerQuarter;
    return 60000000.0 / tempo;
}

bool parseMidiFile(const uint8_t* data, size_t size, MidiFile& file, std::string& error) {
    if (size == 0) {
        error = "not a MIDI file: the file is empty";
        return false;
    }
    if (std::memcmp(data, "MThd", size < 4 ? size : 4) != 0) {
        error = "not a MIDI file: no MThd header";
        return false;
    }
    if (size < 14) {
        error = "truncated: the MThd header is incomplete";
        return false;
    }
    const uint32_t headerLength = readU32BE(data + 4);
    if (headerLength < 6) {
        error =
            formatText("malformed: a header of %llu bytes, at least 6 are needed", headerLength);
        return false;
    }
    if (headerLength > size - 8) {
        error = "truncated: the MThd header runs past the end of the file";
        return false;
    }
    const uint16_t format = readU16BE(data + 8);
    const uint16_t declaredTracks = readU16BE(data + 10);
    const uint16_t division = readU16BE(data + 12);
    if (format == 2) {
        error = "unsupported: format 2 (independent sequences); formats 0 and 1 are read";
        return false;
    }
    if (format > 2) {
        error = formatText("malformed: unknown format %llu", format);
        return false;
    }
    if (declaredTracks == 0) {
        error = "malformed: the header declares no tracks";
        return false;
    }
    MidiFile result;
    result.format = format;
    result.trackCount = declaredTracks;
    if (division & 0x8000) {
        const int fps = -static_cast<int8_t>(division >> 8);
        const int ticksPerFrame = division & 0xFF;
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || ticksPerFrame == 0) {
            error = formatText("malformed: SMPTE timing of %llu frames per second, %llu ticks "
                               "per frame",
                               static_cast<unsigned>(fps), static_cast<unsigned>(ticksPerFrame));
            return false;
        }
        result.framesPerSecond = fps;
        result.ticksPerFrame = ticksPerFrame;
    } else {
        if (division == 0) {
            error = "malformed: 0 ticks per quarter note";
            return false;
        }
        result.ticksPerQuarter = division;
    }

    std::vector<MidiFileEvent> events;
    std::vector<MidiTempoChange> tempos;
    size_t pos = 8 + static_cast<size_t>(headerLength);
    int tracksRead = 0;
    while (tracksRead < declaredTracks) {
        if (size - pos < 8) {
            error = formatText("truncated: the file ends after %llu of %llu tracks", tracksRead,
                               declaredTracks);
            return false;
        }
        const uint32_t length = readU32BE(data + pos + 4);
        const bool isTrack = std::memcmp(data + pos, "MTrk", 4) == 0;
        pos += 8;
        if (length > size - pos) {
            error = isTrack ? formatText("truncated: track %llu runs past the end of the file",
                                         tracksRead + 1)
                            : "truncated: a chunk runs past the end of the file";
            return false;
        }
        if (isTrack) {
            TrackReader reader(data + pos, length, tracksRead);
            if (!reader.read(events, tempos, result.endTick, error)) return false;
            ++tracksRead;
        }
        pos += length; // chunks of other kinds are skipped
    }

    // Tracks were read one after another, so stable sorts keep track order, then file order,
    // for events at the same tick.
    std::stable_sort(
        events.begin(), events.end(),
        [](const MidiFileEvent& a, const MidiFileEvent& b) { return a.tick < b.tick; });
    std::stable_sort(
        tempos.begin(), tempos.end(),
        [](const MidiTempoChange& a, const MidiTempoChange& b) { return a.tick < b.tick; });
    result.events = std::move(events);
    result.tempos = std::move(tempos);
    file = std::move(result);
    return true;
}

bool readMidiFile(const std::string& path, MidiFile& file, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!readFileBytes(path, bytes, error)) return false;
    return parseMidiFile(bytes.data(), bytes.size(), file, error);
}
