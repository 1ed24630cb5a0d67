"""What a recording of the sink's monitor holds, against what was played.

  heard.py make-wav <out.wav> <seconds>      a 31250 Hz mono 16-bit WAV of seeded noise, no zero sample
  heard.py slot <SAMPLExx.BIN> <rec.raw>     the slot's whole blocks heard bit for bit, in order?
  heard.py file <in.wav> <rec.raw>           the file heard: span and energy near its own
  heard.py span <rec.raw>                    seconds from the first to the last sound
Prints one line; exits 1 when the recording does not match.
"""
import array
import random
import sys
import wave

RATE = 31250


def samples(raw):
    a = array.array("h")
    a.frombytes(raw[: len(raw) // 2 * 2])
    if sys.byteorder == "big":
        a.byteswap()
    return a


def sound(a, floor=0):
    """Index of the first and one past the last sample louder than floor."""
    first = next((i for i, v in enumerate(a) if abs(v) > floor), None)
    if first is None:
        return 0, 0
    last = next(i for i in range(len(a) - 1, -1, -1) if abs(a[i]) > floor)
    return first, last + 1


def energy(a):
    return sum(v * v for v in a)


def make_wav(path, seconds):
    rng = random.Random(31250)
    a = array.array("h", (rng.choice((-1, 1)) * rng.randint(1, 12000) for _ in range(int(seconds * RATE))))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(a.tobytes())


def slot(path, rec_path):
    data = open(path, "rb").read()[512:]
    played = array.array("h", data[: len(data) // 1024 * 1024])
    if sys.byteorder == "little":
        played.byteswap()  # the slot holds big-endian samples
    start, end = sound(played)
    played = played[start:end]
    rec = samples(open(rec_path, "rb").read())
    first, last = sound(rec)
    # The played samples hold no 0, so silence that the sound server put in when it ran short
    # (on a busy machine) can be told apart and is only counted.
    heard = array.array("h", (v for v in rec[first:last] if v != 0))
    gaps = (last - first) - len(heard)
    same = sum(1 for x, y in zip(heard, played) if x == y)
    ratio = energy(heard) / max(1, energy(played))
    print(f"slot: {len(played)} samples played, {len(heard)} heard, {same} identical, "
          f"{gaps} samples of silence between them, energy ratio {ratio:.4f}")
    return len(heard) == len(played) and same == len(played)


def file(path, rec_path):
    with wave.open(path, "rb") as w:
        channels, rate, n = w.getnchannels(), w.getframerate(), w.getnframes()
        src = samples(w.readframes(n))
    seconds = n / rate
    rec = samples(open(rec_path, "rb").read())
    first, last = sound(rec, 64)
    heard = (last - first) / RATE
    # The sink is mono: the mean of the channels, at the sink's rate.
    src_power = energy(src) / len(src)
    rec_power = energy(rec[first:last]) / max(1, last - first)
    ratio = rec_power / max(1, src_power)
    print(f"file: {seconds:.3f} s long, {heard:.3f} s heard, power ratio {ratio:.3f} "
          f"({channels} channels at {rate} Hz)")
    # A starved server puts silence in between: the span may grow, never shrink much.
    return seconds - 0.1 < heard < seconds + 0.5 and 0.25 < ratio < 1.5


def span(rec_path):
    rec = samples(open(rec_path, "rb").read())
    first, last = sound(rec)
    print(f"{(last - first) / RATE:.3f}")
    return True


if __name__ == "__main__":
    cmd = sys.argv[1]
    if cmd == "make-wav":
        make_wav(sys.argv[2], float(sys.argv[3]))
        ok = True
    elif cmd == "slot":
        ok = slot(sys.argv[2], sys.argv[3])
    elif cmd == "file":
        ok = file(sys.argv[2], sys.argv[3])
    else:
        ok = span(sys.argv[2])
    sys.exit(0 if ok else 1)
