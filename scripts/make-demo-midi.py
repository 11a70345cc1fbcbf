#!/usr/bin/env python3
"""Writes host/demo/demo.mid, the MIDI file the demo plays through Oriv and Malvoree.

Eight bars at 100 BPM (slowing to 88 BPM for the last two): chords, an eighth-note bass line,
the modulation wheel swelling in the second half, and a change of factory program every two
bars: 0 "Basic Patch", 4 "Phase Bass", 3 "Slow Mellow", 14 "wah sing". A format 1 file with a
tempo track, a control track, a chord track and a bass track, all on MIDI channel 1.

Run it from anywhere; the output is deterministic and committed.
"""
import os
import struct

TICKS = 480  # per quarter note
BAR = 4 * TICKS
CHANNEL = 0


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def track(events):
    """events: (tick, bytes) pairs in any order; ties keep their listed order."""
    body = b""
    now = 0
    for tick, data in sorted(events, key=lambda e: e[0]):
        body += vlq(tick - now) + data
        now = tick
    body += vlq(0) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + body


def meta(kind, data):
    return bytes([0xFF, kind]) + vlq(len(data)) + data


def name(text):
    return meta(0x03, text.encode("ascii"))


def note(tick, key, velocity, length):
    return [(tick, bytes([0x90 | CHANNEL, key, velocity])),
            (tick + length, bytes([0x80 | CHANNEL, key, 64]))]


def tempo_track():
    events = [(0, name("Demo")), (0, meta(0x58, bytes([4, 2, 24, 8])))]
    events.append((0, meta(0x51, (600000).to_bytes(3, "big"))))         # 100 BPM
    events.append((6 * BAR, meta(0x51, (681818).to_bytes(3, "big"))))  # 88 BPM
    return track(events)


def control_track():
    events = [(0, name("Programs and modulation"))]
    for bar, program in ((0, 0), (2, 4), (4, 3), (6, 14)):
        events.append((bar * BAR, bytes([0xC0 | CHANNEL, program])))
    # The modulation wheel swells over bars 5 and 6 and falls back over bars 7 and 8.
    steps = 32
    for i in range(steps + 1):
        value = round(110 * i / steps)
        events.append((4 * BAR + i * 2 * BAR // steps, bytes([0xB0 | CHANNEL, 1, value])))
    for i in range(1, steps + 1):
        value = round(110 * (steps - i) / steps)
        events.append((6 * BAR + i * 2 * BAR // steps - 1, bytes([0xB0 | CHANNEL, 1, value])))
    return track(events)


# A minor, F, C, G, A minor, D minor, E (sus4 then major), A minor: close voicings around C4.
CHORDS = [
    [57, 60, 64], [57, 60, 65], [55, 60, 64], [55, 59, 62],
    [57, 60, 64], [57, 62, 65], [57, 59, 64], [57, 60, 64],
]
ROOTS = [45, 41, 48, 43, 45, 38, 40, 33]


def chord_track():
    events = [(0, name("Chords"))]
    for bar, chord in enumerate(CHORDS):
        start = bar * BAR
        if bar == 6:  # E sus4 resolving to E major halfway through the bar
            for key in (57, 59, 64):
                events += note(start, key, 76, BAR // 2 - 20)
            for key in (56, 59, 64):
                events += note(start + BAR // 2, key, 80, BAR // 2 - 20)
            continue
        length = BAR - 20 if bar < 7 else 2 * BAR  # the last chord rings on
        for key in chord:
            events += note(start, key, 78, length)
    return track(events)


def bass_track():
    events = [(0, name("Bass"))]
    pattern = [0, 0, 12, 0, 7, 0, 12, 7]  # eighth notes: root, octave and fifth
    for bar, root in enumerate(ROOTS):
        if bar == 7:
            events += note(bar * BAR, root, 100, BAR)
            continue
        for i, offset in enumerate(pattern):
            velocity = 104 if i % 2 == 0 else 84
            events += note(bar * BAR + i * TICKS // 2, root + offset, velocity, TICKS // 2 - 40)
    return track(events)


def main():
    tracks = [tempo_track(), control_track(), chord_track(), bass_track()]
    data = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TICKS) + b"".join(tracks)
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = os.path.join(root, "host", "demo", "demo.mid")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)
    print(f"{path}: {len(data)} bytes")


if __name__ == "__main__":
    main()
