#!/usr/bin/env python3
"""Makes the capture sound: a short shutter click (a noise burst and a
falling tone, both decaying), 22050 Hz, 16-bit mono WAVE. Run by the build;
the samples are computed here.

make_sound.py OUT.wav
"""
import math
import random
import struct
import sys
import wave

RATE = 22050


def samples():
    rng = random.Random(7)  # the same file on every build
    out = []
    for i in range(int(RATE * 0.16)):
        t = i / RATE
        click = rng.uniform(-1, 1) * math.exp(-t * 90)
        second = rng.uniform(-1, 1) * math.exp(-(t - 0.07) * 120) if t > 0.07 else 0
        tone = math.sin(2 * math.pi * (1800 - 4000 * t) * t) * math.exp(-t * 40)
        out.append(0.45 * click + 0.35 * second + 0.25 * tone)
    return out


def main():
    with wave.open(sys.argv[1], "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(max(-1, min(1, s)) * 30000)) for s in samples()))


if __name__ == "__main__":
    main()
