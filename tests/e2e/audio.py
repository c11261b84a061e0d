#!/usr/bin/env python3
"""Speech found in a recording of the null sink (s16le, 22050 Hz, mono).

  audio.py onset RAW FROM_S [TIMEOUT_S]   first voiced time at or after FROM_S (seconds), or -1
  audio.py span RAW FROM_S [TO_S]         "first last voiced_seconds peak" between FROM_S and TO_S
  audio.py quiet_since RAW FROM_S         time the sound last stopped after FROM_S (-1 if none)
  audio.py longest_gap RAW FROM_S TO_S    longest silence between the first and last voiced
                                          frames in that span (seconds)
Times are seconds from the start of the file. A 10 ms frame is voiced when its RMS exceeds
1% of full scale.
"""
import array
import math
import sys

RATE = 22050
FRAME = RATE // 100
THRESHOLD = 328


def frames(path, start_s, end_s=None):
    with open(path, "rb") as f:
        f.seek(int(start_s * RATE) * 2)
        data = f.read() if end_s is None else f.read(max(0, int((end_s - start_s) * RATE) * 2))
    samples = array.array("h")
    samples.frombytes(data[: len(data) // 2 * 2])
    for i in range(0, len(samples) - FRAME + 1, FRAME):
        chunk = samples[i : i + FRAME]
        rms = math.sqrt(sum(s * s for s in chunk) / FRAME)
        yield start_s + i / RATE, rms, max(abs(s) for s in chunk)


def main():
    cmd, path, start = sys.argv[1], sys.argv[2], float(sys.argv[3])
    if cmd == "onset":
        for t, rms, _ in frames(path, start):
            if rms > THRESHOLD:
                print(f"{t:.3f}")
                return
        print("-1")
    elif cmd == "span":
        end = float(sys.argv[4]) if len(sys.argv) > 4 else None
        first = last = -1.0
        voiced = 0
        peak = 0
        for t, rms, p in frames(path, start, end):
            if rms > THRESHOLD:
                if first < 0:
                    first = t
                last = t + FRAME / RATE
                voiced += 1
            peak = max(peak, p)
        print(f"{first:.3f} {last:.3f} {voiced * FRAME / RATE:.2f} {peak}")
    elif cmd == "quiet_since":
        last = -1.0
        for t, rms, _ in frames(path, start):
            if rms > THRESHOLD:
                last = t + FRAME / RATE
        print(f"{last:.3f}")
    elif cmd == "longest_gap":
        previous = None
        longest = 0.0
        for t, rms, _ in frames(path, start, float(sys.argv[4])):
            if rms > THRESHOLD:
                if previous is not None:
                    longest = max(longest, t - previous - FRAME / RATE)
                previous = t
        print(f"{longest:.3f}")
    else:
        sys.exit("unknown command " + cmd)


if __name__ == "__main__":
    main()
