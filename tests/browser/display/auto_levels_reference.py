#!/usr/bin/python3
"""Reference cuts for display_auto_levels_test.cpp, from astropy and numpy.

Builds the test planes from the same integer formulas as the test, takes their real samples
(not blank, finite) in row-major order as physical values, and prints one table row per plane:
astropy's ZScaleInterval().get_limits and numpy.percentile(values, [0.25, 99.75]).

Run with Debian's /usr/bin/python3 (astropy 5.2.1, numpy 1.24).
"""
import numpy as np
from astropy.visualization import ZScaleInterval

M = 0xFFFFFFFF


def mix(r, c, salt):
    x = (r * 73856093 ^ c * 19349663 ^ salt * 83492791) & M
    x ^= x >> 13
    x = (x * 0x5BD1E995) & M
    x ^= x >> 15
    return x


def star_field(r, c):
    """Sky of about 1000 with a noise of four bytes, and a star on one sample in 500."""
    x = mix(r, c, 1)
    v = 490 + (x & 255) + (x >> 8 & 255) + (x >> 16 & 255) + (x >> 24)
    y = mix(r, c, 2)
    if y % 500 == 0:
        v += y >> 18
    return v


def plane(rows, cols, dtype, raw_of, blank_of=lambda r, c: False):
    raw = np.array([[raw_of(r, c) for c in range(cols)] for r in range(rows)], dtype=dtype)
    blank = np.array([[blank_of(r, c) for c in range(cols)] for r in range(rows)], dtype=bool)
    return raw, blank


def special(r, c):
    """NaN on one sample in 11, +inf on one in 53, a star field value / 8 elsewhere."""
    if mix(r, c, 4) % 11 == 0:
        return np.nan
    if mix(r, c, 5) % 53 == 0:
        return np.inf
    return star_field(r, c) / 8


CASES = [
    # name, raw samples and blank mask, bscale, bzero
    ("StarField16", plane(300, 400, np.int16, lambda r, c: star_field(r, c) - 32768), 1, 32768),
    ("StarFieldFloat", plane(300, 400, np.float32, lambda r, c: (star_field(r, c) - 1100) / 8),
     1, 137.5),
    ("StarFieldDouble", plane(200, 300, np.float64,
                              lambda r, c: (star_field(r, c) - 1100) * 0.001), 1000, 1100),
    ("Blanks16", plane(300, 400, np.int16, lambda r, c: star_field(r, c) - 32768,
                       lambda r, c: mix(r, c, 3) % 5 == 0), 1, 32768),
    ("BlanksAndNaN", plane(257, 130, np.float32,
                           lambda r, c: 1e30 if mix(r, c, 3) % 7 == 0 else special(r, c),
                           lambda r, c: mix(r, c, 3) % 7 == 0), 2, -100),
    ("Constant", plane(40, 50, np.float64, lambda r, c: 7.5), 3, 1),
    ("TwoValues", plane(200, 150, np.uint8, lambda r, c: 200 if mix(r, c, 6) % 10 == 0 else 10),
     1, 0),
    ("SmallNegativeScale", plane(20, 30, np.int32, lambda r, c: star_field(r, c) * 1000 - 5000000),
     -0.5, 10),
]

for name, (raw, blank), bscale, bzero in CASES:
    real = ~blank & np.isfinite(raw)
    values = raw[real].astype(np.float64) * bscale + bzero  # row-major order
    zlow, zhigh = ZScaleInterval().get_limits(values)
    plow, phigh = np.percentile(values, [0.25, 99.75])
    print('    {"%s", %r, %r, %r, %r},' % (name, float(zlow), float(zhigh), float(plow),
                                          float(phigh)))
