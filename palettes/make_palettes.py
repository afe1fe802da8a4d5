#!/usr/bin/env python3
"""Writes the shipped colour tables (.lut) and transfer tables (.itt) (standard library only).

    python3 palettes/make_palettes.py [OUTDIR]

File format: one entry per line for entries 1..255 (entry 0 is not in the file: black for a
colour table, a copy of entry 1 for a transfer table); a colour-table line holds red, green and
blue from 0 to 1, a transfer-table line one value from 0 to 1. Entry i stands for t = i / 255.
"""
import math
import os
import random
import sys


def clamp(x):
    return min(1.0, max(0.0, x))


def lut_grey(t):
    return (t, t, t)


def lut_heat(t):
    # Black, red, yellow, white: the classic "hot" ramp.
    return (clamp(3 * t), clamp(3 * t - 1), clamp(3 * t - 2))


def hsv_to_rgb(h, s, v):
    h = (h % 360.0) / 60.0
    i = int(h)
    f = h - i
    p, q, r = v * (1 - s), v * (1 - s * f), v * (1 - s * (1 - f))
    return [(v, r, p), (q, v, p), (p, v, r), (p, q, v), (r, p, v), (v, p, q)][i % 6]


def lut_rainbow(t):
    # Violet through blue, green, yellow to red at full saturation.
    return hsv_to_rgb(270.0 * (1 - t), 1.0, 1.0)


def lut_cool(t):
    return (t, 1 - t, 1.0)


def lut_viridis(t):
    # Polynomial fit of matplotlib's viridis colour map (Matt Zucker's published coefficients).
    c = [(0.2777273272234177, 0.005407344544966578, 0.3340998053353061),
         (0.1050930431085774, 1.404613529898575, 1.384590162594685),
         (-0.3308618287255563, 0.214847559468213, 0.09509516302823659),
         (-4.634230498983486, -5.799100973351585, -19.33244095627987),
         (6.228269936347081, 14.17993336680509, 56.69055260068105),
         (4.776384997670288, -13.74514537774601, -65.35303263337234),
         (-5.435455855934631, 4.645852612178535, 26.3124352495832)]
    out = []
    for k in range(3):
        v = 0.0
        for coeffs in reversed(c):
            v = v * t + coeffs[k]
        out.append(clamp(v))
    return tuple(out)


def lut_cubehelix(t, start=0.5, rotations=-1.5, hue=1.0, gamma=1.0):
    # D. A. Green (2011), Bull. Astr. Soc. India 39, 289.
    tg = t ** gamma
    phi = 2 * math.pi * (start / 3 + rotations * t)
    a = hue * tg * (1 - tg) / 2
    return (clamp(tg + a * (-0.14861 * math.cos(phi) + 1.78277 * math.sin(phi))),
            clamp(tg + a * (-0.29227 * math.cos(phi) - 0.90649 * math.sin(phi))),
            clamp(tg + a * (1.97294 * math.cos(phi))))


def lut_contours(t):
    # A grey ramp cut into 16 bands, every other band in colour: iso-intensity contours.
    band = int(t * 16)
    if band % 2:
        return hsv_to_rgb(300.0 * band / 16, 0.8, 0.5 + 0.5 * t)
    return (t, t, t)


def lut_random():
    rng = random.Random(1961)
    return [(rng.random(), rng.random(), rng.random()) for _ in range(255)]


def itt_linear(x):
    return x


def itt_log(x):
    return math.log10(1 + 1000 * x) / math.log10(1001)


def itt_sqrt(x):
    return math.sqrt(x)


def itt_square(x):
    return x * x


def itt_asinh(x):
    return math.asinh(10 * x) / math.asinh(10)


def itt_negative(x):
    return 1 - x


def itt_jigsaw(x):
    # Four saw teeth: each quarter of the levels runs the whole palette.
    return (4 * x) % 1.0 if x < 1 else 1.0


def itt_steps(x):
    return min(7, int(x * 8)) / 7


def write(path, lines):
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    luts = {
        "ramp": lut_grey, "heat": lut_heat, "rainbow": lut_rainbow, "cool": lut_cool,
        "viridis": lut_viridis, "cubehelix": lut_cubehelix, "contours": lut_contours,
        "red": lambda t: (t, 0, 0), "green": lambda t: (0, t, 0), "blue": lambda t: (0, 0, t),
    }
    for name, f in luts.items():
        rows = [f(i / 255) for i in range(1, 256)]
        write(os.path.join(out, name + ".lut"),
              ["%.6f %.6f %.6f" % row for row in rows])
    write(os.path.join(out, "random.lut"), ["%.6f %.6f %.6f" % row for row in lut_random()])
    itts = {
        "4_ramp": itt_linear, "log": itt_log, "sqrt": itt_sqrt, "square": itt_square,
        "asinh": itt_asinh, "neg": itt_negative, "jigsaw": itt_jigsaw, "steps": itt_steps,
    }
    for name, f in itts.items():
        write(os.path.join(out, name + ".itt"), ["%.6f" % f(k / 255) for k in range(1, 256)])


if __name__ == "__main__":
    main()
