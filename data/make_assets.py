#!/usr/bin/env python3
"""Regenerate Zorvik's binary assets: the placeholder image, the two sounds
and the PNG icons.  Standard library only; output is byte-for-byte
deterministic.  Run from anywhere:  python3 data/make_assets.py

The INI lists and readme.txt in this folder are hand-maintained and are not
touched by this script.
"""

import math
import os
import struct
import wave
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def out(name):
    return os.path.join(HERE, name)


# --------------------------------------------------------------------------
# 1x1 transparent GIF (43 bytes) served in place of blocked ad images.
# --------------------------------------------------------------------------
BLANK_GIF = bytes([
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61,        # "GIF89a"
    0x01, 0x00, 0x01, 0x00,                    # 1 x 1
    0x80, 0x00, 0x00,                          # global colour table, 2 entries
    0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF,        # black, white
    0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00,  # GCE: index 0 transparent
    0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00,  # image desc
    0x02, 0x02, 0x44, 0x01, 0x00,              # LZW data
    0x3B,                                      # trailer
])


def write_gif():
    assert len(BLANK_GIF) == 43
    with open(out("1by1.jpg"), "wb") as f:
        f.write(BLANK_GIF)


# --------------------------------------------------------------------------
# Sounds: 16-bit mono 22050 Hz.
# --------------------------------------------------------------------------
RATE = 22050


def write_wav(name, samples):
    frames = bytearray()
    for s in samples:
        v = int(round(max(-1.0, min(1.0, s)) * 32767))
        frames += struct.pack("<h", v)
    with wave.open(out(name), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(frames))


def tone(freq, dur, amp, attack=0.004, decay=30.0, freq_end=None):
    n = int(RATE * dur)
    res = []
    phase = 0.0
    for i in range(n):
        t = i / RATE
        f = freq if freq_end is None else freq + (freq_end - freq) * i / n
        phase += 2 * math.pi * f / RATE
        env = min(1.0, t / attack) * math.exp(-decay * t)
        # gentle fade in the last 5 ms so the sound never ends on a click
        tail = (n - i) / RATE
        env *= min(1.0, tail / 0.005)
        res.append(amp * env * (math.sin(phase) + 0.25 * math.sin(2 * phase)))
    return res


def write_sounds():
    # ad.wav: a soft, short falling blip (0.12 s)
    write_wav("ad.wav", tone(1400, 0.12, 0.45, decay=35.0, freq_end=900))
    # pop.wav: two quick rising notes, a cheerful "pop" (0.22 s)
    first = tone(660, 0.09, 0.5, decay=25.0)
    gap = [0.0] * int(RATE * 0.01)
    second = tone(990, 0.12, 0.5, decay=28.0)
    write_wav("pop.wav", first + gap + second)


# --------------------------------------------------------------------------
# Minimal PNG encoder (RGBA, 8 bits per channel).
# --------------------------------------------------------------------------
def png_chunk(tag, data):
    body = tag + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(name, width, height, pixels):
    """pixels: list of rows, each a list of (r, g, b, a) ints 0..255."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter: none
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))
    data = b"\x89PNG\r\n\x1a\n"
    data += png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    data += png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += png_chunk(b"IEND", b"")
    with open(out(name), "wb") as f:
        f.write(data)


# --------------------------------------------------------------------------
# A tiny supersampling vector painter working in unit coordinates
# (-1..1 on both axes, y pointing down).
# --------------------------------------------------------------------------
def octagon(radius):
    return [(radius * math.cos(math.radians(22.5 + 45 * k)),
             radius * math.sin(math.radians(22.5 + 45 * k))) for k in range(8)]


def inside_polygon(poly, x, y):
    hit = False
    n = len(poly)
    j = n - 1
    for i in range(n):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y):
            cx = xi + (y - yi) * (xj - xi) / (yj - yi)
            if x < cx:
                hit = not hit
        j = i
    return hit


def polygon(poly):
    return lambda x, y: inside_polygon(poly, x, y)


def segment(x0, y0, x1, y1, half_width):
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy

    def test(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / ll))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half_width * half_width
    return test


def solid(rgba):
    return lambda x, y: rgba


def vgradient(top, bottom, y0=-0.8, y1=0.8):
    def colour(x, y):
        t = max(0.0, min(1.0, (y - y0) / (y1 - y0)))
        return tuple(top[i] + (bottom[i] - top[i]) * t for i in range(4))
    return colour


def render(size, layers, ss=5):
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(ss):
                for sx in range(ss):
                    x = ((px + (sx + 0.5) / ss) / size) * 2 - 1
                    y = ((py + (sy + 0.5) / ss) / size) * 2 - 1
                    r = g = b = a = 0.0
                    for shape, colour in layers:
                        if shape(x, y):
                            cr, cg, cb, ca = colour(x, y)
                            ca /= 255.0
                            r = cr * ca + r * (1 - ca)
                            g = cg * ca + g * (1 - ca)
                            b = cb * ca + b * (1 - ca)
                            a = ca + a * (1 - ca)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            n = ss * ss
            a = acc[3] / n
            if a <= 0.0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(min(255.0, c / n / a))) for c in acc[:3])
                           + (int(round(a * 255)),))
        rows.append(row)
    return rows


# Colour filters applied to every layer of the motif.
def identity(c):
    return c


def to_gray(c):
    lum = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]
    return (lum, lum, lum, c[3])


def muted(c):
    lum = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]
    mix = [c[i] * 0.35 + lum * 0.65 for i in range(3)]
    mix = [m * 0.8 + 255 * 0.2 for m in mix]  # a little lighter
    return (mix[0], mix[1], mix[2], c[3])


def faded(c):
    g = muted(c)
    return (g[0], g[1], g[2], c[3] * 0.7)


def filtered(colour_fn, flt):
    return lambda x, y: flt(colour_fn(x, y))


RIM = (120, 12, 14, 255)
RING = (255, 255, 255, 255)
RED_TOP = (240, 72, 60, 255)
RED_BOTTOM = (176, 20, 24, 255)
LETTER = (255, 255, 255, 255)


def motif(flt=identity, ring=True):
    """Stop-sign octagon with a white "Z"."""
    layers = []
    if ring:
        layers.append((polygon(octagon(1.0)), solid(RIM)))
        layers.append((polygon(octagon(0.93)), solid(RING)))
        layers.append((polygon(octagon(0.80)), vgradient(RED_TOP, RED_BOTTOM)))
    else:
        layers.append((polygon(octagon(1.0)), solid(RIM)))
        layers.append((polygon(octagon(0.90)), vgradient(RED_TOP, RED_BOTTOM)))
    # the "Z": top bar, bottom bar, diagonal
    s, t, w = 0.42, 0.15, 0.19
    top = [(-s, -s), (s, -s), (s, -s + t), (-s, -s + t)]
    bottom = [(-s, s - t), (s, s - t), (s, s), (-s, s)]
    diag = [(s - w, -s + t), (s, -s + t), (-s + w, s - t), (-s, s - t)]
    for p in (top, bottom, diag):
        layers.append((polygon(p), solid(LETTER)))
    return [(shape, filtered(colour, flt)) for shape, colour in layers]


def strike():
    """Diagonal bar from top-left to bottom-right, outlined in white."""
    return [
        (segment(-0.62, -0.62, 0.62, 0.62, 0.17), solid((255, 255, 255, 255))),
        (segment(-0.62, -0.62, 0.62, 0.62, 0.10), solid((40, 40, 40, 255))),
    ]


def write_icons():
    icons = [
        ("zorvik.png", 32, motif()),
        ("zorvik-gray.png", 32, motif(to_gray)),
        ("zorvik-disabled.png", 32, motif(faded) + strike()),
        ("zv.png", 48, motif()),
        ("toolhot.png", 20, motif(ring=False)),
        ("tool1.png", 20, motif(muted, ring=False)),
    ]
    for name, size, layers in icons:
        write_png(name, size, size, render(size, layers))


def main():
    write_gif()
    write_sounds()
    write_icons()


if __name__ == "__main__":
    main()
