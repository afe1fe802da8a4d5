#!/usr/bin/env python3
"""Writes the bundled PIC sample images (standard library only).

    python3 samples/make_pic_samples.py [OUTDIR]

PIC files are a packed 290-byte little-endian header followed by the samples, row after row,
the file's first row being the picture's bottom row.

  stars16.pic      200 x 150, 16-bit samples (sample size 16), a synthetic star field with
                   display thresholds 850 / 2400 in the header, binning 2 x 2, a date, a time
                   and accented comments (Windows-1252)
  float32.pic      160 x 120, 32-bit float samples (sample size 4): a smooth gradient with
                   fractional values and a bright spot
  datatype5.pic    40 x 30 with data type 5: the browser rejects it ("PIC data type =5"),
                   but its header can still be listed
"""
import math
import os
import random
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_samples import rows_bottom_up, star_field  # noqa: E402

HEADER = struct.Struct("<BBh32s32shhhhiiihhh10s14shhhhi80s80s")
assert HEADER.size == 290


def text(value, size):
    data = value.encode("cp1252")
    assert len(data) <= size
    return data.ljust(size, b"\0")


def pic_header(columns, rows, sample_size, data_type=3, *, name="", linked="", high=0, low=0,
               high_frac=0, low_frac=0, binning=(1, 1), date="", time="", exposure=0,
               comment1="", comment2="", orientation=0, scale=(0, 0), planes=1):
    return HEADER.pack(
        1, 2, 290,                          # signature, version, header size
        text(name, 32), text(linked, 32),
        columns, rows, sample_size, data_type,
        orientation, scale[0], scale[1],
        binning[0], binning[1], planes,
        text(date, 10), text(time, 14),
        high, low, high_frac, low_frac,
        exposure,
        text(comment1, 80), text(comment2, 80))


def write(path, header, samples_fmt, img):
    with open(path, "wb") as f:
        f.write(header)
        for row in rows_bottom_up(img):
            f.write(struct.pack("<%d%s" % (len(row), samples_fmt), *row))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    rng = random.Random(20040312)

    w, h = 200, 150
    img = star_field(w, h, rng, stars=60, noise=25.0, margin=4, brightest=4.4, widest=2.2)
    img = [[max(-32768, min(32767, int(round(v)))) for v in row] for row in img]
    write(os.path.join(out, "stars16.pic"),
          pic_header(w, h, 16, name="M 13", linked="M 13 noir", high=2400, low=850,
                     binning=(2, 2), date="12/03/2004", time="21:45:10",
                     exposure=60, comment1="Amas globulaire, pose de 60 s",
                     comment2="Caméra refroidie à -20 °C"),
          "h", img)

    w, h = 160, 120
    img = [[0.25 * x + 0.125 * y + 10.5 for x in range(w)] for y in range(h)]
    for y in range(h):
        for x in range(w):
            img[y][x] += 5000.0 * math.exp(-((x - 110) ** 2 + (y - 40) ** 2) / 18.0)
    write(os.path.join(out, "float32.pic"),
          pic_header(w, h, 4, name="gradient", high=120, low=10,
                     date="01/01/2005", time="00:00:00", comment1="Echantillons flottants"),
          "f", img)

    w, h = 40, 30
    img = [[(x * y) % 251 for x in range(w)] for y in range(h)]
    write(os.path.join(out, "datatype5.pic"),
          pic_header(w, h, 16, data_type=5, name="type 5", comment1="Type de données inconnu"),
          "h", img)


if __name__ == "__main__":
    main()
