#!/usr/bin/env python3
"""Writes the demo clip: six seconds of a C major arpeggio that rings into a chord.

Usage: python3 make-demo.py OUT.wav
"""
import math
import struct
import sys
import wave

RATE = 22050
SECONDS = 6.0
# C4, E4, G4, C5: each enters half a second after the one before and rings on.
NOTES = [(261.63, 0.0), (329.63, 0.5), (392.00, 1.0), (523.25, 1.5)]


def sample(t):
    value = 0.0
    for frequency, start in NOTES:
        if t < start:
            continue
        age = t - start
        attack = min(age / 0.02, 1.0)          # no click at the onset
        decay = math.exp(-age * 0.45)
        tone = math.sin(2 * math.pi * frequency * t) + 0.3 * math.sin(4 * math.pi * frequency * t)
        value += attack * decay * tone
    fade = min((SECONDS - t) / 0.5, 1.0)        # end softly, not with a cut
    return value * fade * 0.18


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    frames = bytearray()
    for i in range(int(RATE * SECONDS)):
        frames += struct.pack("<h", int(max(-1.0, min(1.0, sample(i / RATE))) * 32767))
    with wave.open(sys.argv[1], "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(bytes(frames))


if __name__ == "__main__":
    main()
