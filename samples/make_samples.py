#!/usr/bin/env python3
"""Writes the bundled sample images (standard library only).

    python3 samples/make_samples.py [OUTDIR]

FITS:
  m51_tan16.fits   240 x 180, BITPIX 16, BZERO 32768, a synthetic star field with a
                   RA---TAN / DEC--TAN world coordinate system (EQUINOX 2000, CDELT)
  cube3.fits       128 x 96 x 3, BITPIX 16: three layers with different patterns
  float_nan.fits   160 x 120, BITPIX -32, with a block of NaN samples
  galactic64.fits  100 x 100, BITPIX -64, GLON-CAR / GLAT-CAR, EQUINOX 1950, FK4
  lightcurve1d.fits  NAXIS = 1 (a light curve): the browser rejects it
"""
import math
import os
import random
import struct
import sys


def card(key, value=None, comment=None):
    if value is None:
        text = key.ljust(80)
    else:
        if isinstance(value, bool):
            v = "T" if value else "F"
            v = v.rjust(20)
        elif isinstance(value, str):
            v = ("'" + value.ljust(8) + "'").ljust(20)
        elif isinstance(value, int):
            v = str(value).rjust(20)
        else:
            v = repr(float(value)).upper().rjust(20)
        text = key.ljust(8) + "= " + v
        if comment:
            text += " / " + comment
    return text[:80].ljust(80).encode("ascii")


def header(cards):
    data = b"".join(cards) + card("END")
    pad = (-len(data)) % 2880
    return data + b" " * pad


def pad_data(data):
    return data + b"\0" * ((-len(data)) % 2880)


def star_field(width, height, rng, stars, sky=900.0, noise=20.0, margin=5, brightest=4.5,
               widest=2.5):
    """Sky background with noise and Gaussian stars, rows top to bottom."""
    img = [[rng.gauss(sky, noise) for _ in range(width)] for _ in range(height)]
    for _ in range(stars):
        cx, cy = rng.uniform(margin, width - margin), rng.uniform(margin, height - margin)
        amp = 10 ** rng.uniform(2.0, brightest)
        sig = rng.uniform(0.8, widest)
        r = int(4 * sig) + 1
        for y in range(max(0, int(cy) - r), min(height, int(cy) + r + 1)):
            for x in range(max(0, int(cx) - r), min(width, int(cx) + r + 1)):
                d2 = (x - cx) ** 2 + (y - cy) ** 2
                img[y][x] += amp * math.exp(-d2 / (2 * sig * sig))
    return img


def write(path, cards, payload):
    with open(path, "wb") as f:
        f.write(header(cards))
        f.write(pad_data(payload))
    print(path, os.path.getsize(path))


def rows_bottom_up(img):
    # FITS stores the bottom row of the picture first.
    return list(reversed(img))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    rng = random.Random(1773)

    w, h = 240, 180
    img = star_field(w, h, rng, 120)
    raw = b"".join(
        struct.pack(">%dh" % w, *[max(0, min(65535, round(v))) - 32768 for v in row])
        for row in rows_bottom_up(img))
    write(os.path.join(out, "m51_tan16.fits"), [
        card("SIMPLE", True), card("BITPIX", 16), card("NAXIS", 2), card("NAXIS1", w),
        card("NAXIS2", h), card("BZERO", 32768.0), card("BSCALE", 1.0),
        card("OBJECT", "synthetic M51 field"),
        card("CTYPE1", "RA---TAN"), card("CTYPE2", "DEC--TAN"),
        card("CRPIX1", 120.5), card("CRPIX2", 90.5),
        card("CRVAL1", 202.4696), card("CRVAL2", 47.1952),
        card("CDELT1", -0.000416667), card("CDELT2", 0.000416667),
        card("EQUINOX", 2000.0), card("RADECSYS", "FK5"),
        card("COMMENT", None, None), card("HISTORY written by make_samples.py"),
    ], raw)

    w, h, n = 128, 96, 3
    layers = []
    for k in range(n):
        for y in range(h):
            row = []
            for x in range(w):
                if k == 0:
                    v = 100 * x // w + 10 * y // h
                elif k == 1:
                    v = int(1000 * math.sin(x / 9.0) * math.cos(y / 7.0))
                else:
                    v = ((x // 16) + (y // 16)) % 2 * 2000 - 1000
                row.append(v)
            layers.append(struct.pack(">%dh" % w, *row))
    write(os.path.join(out, "cube3.fits"), [
        card("SIMPLE", True), card("BITPIX", 16), card("NAXIS", 3), card("NAXIS1", w),
        card("NAXIS2", h), card("NAXIS3", n), card("OBJECT", "three test layers"),
    ], b"".join(layers))

    w, h = 160, 120
    img = star_field(w, h, rng, 40, sky=0.5, noise=0.05)
    vals = []
    for y, row in enumerate(rows_bottom_up(img)):
        for x, v in enumerate(row):
            vals.append(float("nan") if 20 <= x < 40 and 30 <= y < 50 else v / 1000.0)
    write(os.path.join(out, "float_nan.fits"), [
        card("SIMPLE", True), card("BITPIX", -32), card("NAXIS", 2), card("NAXIS1", w),
        card("NAXIS2", h), card("OBJECT", "float samples with NaN"),
    ], struct.pack(">%df" % len(vals), *vals))

    w, h = 100, 100
    vals = []
    for y in range(h):
        for x in range(w):
            vals.append(math.exp(-((x - 50) ** 2 + (y - 50) ** 2) / 800.0) + 0.01 * y)
    write(os.path.join(out, "galactic64.fits"), [
        card("SIMPLE", True), card("BITPIX", -64), card("NAXIS", 2), card("NAXIS1", w),
        card("NAXIS2", h), card("CTYPE1", "GLON-CAR"), card("CTYPE2", "GLAT-CAR"),
        card("CRPIX1", 50.5), card("CRPIX2", 50.5), card("CRVAL1", 0.0), card("CRVAL2", 0.0),
        card("CDELT1", -0.01), card("CDELT2", 0.01), card("EQUINOX", 1950.0),
        card("OBJECT", "Galactic centre test pattern"),
    ], struct.pack(">%dd" % len(vals), *vals))

    n = 500
    write(os.path.join(out, "lightcurve1d.fits"), [
        card("SIMPLE", True), card("BITPIX", 16), card("NAXIS", 1), card("NAXIS1", n),
    ], struct.pack(">%dh" % n, *[int(100 * math.sin(i / 20.0)) for i in range(n)]))


if __name__ == "__main__":
    main()
