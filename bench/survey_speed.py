#!/usr/bin/python3
"""Speed of `kivrel-cli survey` on a folder of 200 images of 2000 x 2000 16-bit samples.

Writes the images once (numpy, deterministic: a noisy sky with stars, BZERO 32768, a TAN
world-coordinate header) into --dir, warms the page cache, then measures with the median of
--runs runs each:

  survey -j1, survey -j2       the whole folder, one and two workers
  info                         `kivrel-cli info` of --info-files of the files, one process each
  astropy                      the equivalent astropy script over the whole folder: open,
                               nanmin / nanmax / nanmean / nanstd, the WCS centre
  two processes                two `survey -j1` processes at once, each on half the files:
                               what this machine gives two independent workers, for reading
                               the -j1 / -j2 ratio (memory-bound work scales less on some
                               machines, whatever the program does)

and prints the ratios the targets name: -j1 / -j2 at least 1.8, survey -j1 per file at most
1.1 x info per file, astropy at least 10 x survey (with the default worker count). Exits with
1 when a target is missed.

    /usr/bin/python3 bench/survey_speed.py --cli build/release/src/cli/kivrel-cli
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

import numpy as np

WIDTH = HEIGHT = 2000

ASTROPY_SCRIPT = r"""
import sys, glob, warnings
import numpy as np
from astropy.io import fits
from astropy.wcs import WCS
warnings.simplefilter("ignore")
for name in sorted(glob.glob(sys.argv[1] + "/*.fits")):
    with fits.open(name) as hdul:
        hdu = hdul[0]
        data = hdu.data.astype(np.float64)
        row = (np.nanmin(data), np.nanmax(data), np.nanmean(data), np.nanstd(data))
        ny, nx = data.shape
        centre = WCS(hdu.header).all_pix2world([[(nx + 1) / 2, (ny + 1) / 2]], 1)[0]
        print(name, *row, *centre)
"""


def card(key, value, comment=""):
    if isinstance(value, bool):
        text = "T" if value else "F"
        body = "%-8s= %20s" % (key, text)
    elif isinstance(value, str):
        body = "%-8s= %-20s" % (key, "'%-8s'" % value)
    else:
        body = "%-8s= %20s" % (key, repr(value))
    if comment:
        body += " / " + comment
    return body.ljust(80)[:80]


def write_image(path, index):
    rng = np.random.default_rng(index)
    sky = rng.normal(1000.0, 30.0, size=(HEIGHT, WIDTH))
    ys = rng.integers(0, HEIGHT, 400)
    xs = rng.integers(0, WIDTH, 400)
    sky[ys, xs] += rng.uniform(2000, 30000, 400)
    physical = np.clip(np.rint(sky), 0, 65535)
    stored = (physical - 32768).astype(">i2")
    cards = [card("SIMPLE", True), card("BITPIX", 16), card("NAXIS", 2),
             card("NAXIS1", WIDTH), card("NAXIS2", HEIGHT), card("BZERO", 32768.0),
             card("BSCALE", 1.0), card("OBJECT", "FIELD%03d" % index),
             card("EXPTIME", 30.0), card("CTYPE1", "RA---TAN"), card("CTYPE2", "DEC--TAN"),
             card("CRPIX1", 1000.5), card("CRPIX2", 1000.5),
             card("CRVAL1", 10.0 + index * 0.5), card("CRVAL2", 20.0),
             card("CDELT1", -0.0002), card("CDELT2", 0.0002), card("RADESYS", "ICRS"),
             card("EQUINOX", 2000.0), "END".ljust(80)]
    header = "".join(cards)
    header += " " * (-len(header) % 2880)
    data = stored.tobytes()
    data += b"\0" * (-len(data) % 2880)
    with open(path, "wb") as f:
        f.write(header.encode("ascii"))
        f.write(data)


def make_folder(folder, count):
    os.makedirs(folder, exist_ok=True)
    for i in range(count):
        path = os.path.join(folder, "field%03d.fits" % i)
        if not os.path.exists(path):
            write_image(path, i)


def timed_together(commands, runs):
    """The median wall time of running all `commands` at once."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        procs = [subprocess.Popen(c, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                 for c in commands]
        for p in procs:
            p.wait()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def timed(command, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, check=False, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--dir", default="/tmp/kivrel_survey_bench")
    parser.add_argument("--files", type=int, default=200)
    parser.add_argument("--info-files", type=int, default=20)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--astropy-runs", type=int, default=1)
    args = parser.parse_args()

    make_folder(args.dir, args.files)
    names = sorted(os.path.join(args.dir, n) for n in os.listdir(args.dir) if n.endswith(".fits"))
    names = names[:args.files]
    for name in names:  # the page cache
        with open(name, "rb") as f:
            while f.read(1 << 24):
                pass

    survey = [args.cli, "survey", args.dir, "--format", "csv"]
    j1 = timed(survey + ["-j", "1"], args.runs)
    j2 = timed(survey + ["-j", "2"], args.runs)
    default = timed(survey, args.runs)
    halves = [[args.cli, "survey", "--format", "csv", "-j", "1"] + names[k::2] for k in (0, 1)]
    together = timed_together(halves, args.runs)
    info_each = statistics.median(
        timed([args.cli, "info", name], args.runs) for name in names[:args.info_files])
    astropy = timed([sys.executable, "-c", ASTROPY_SCRIPT, args.dir], args.astropy_runs)

    n = len(names)
    rows = [
        ("survey -j1", j1, "%.1f ms per file" % (1000 * j1 / n)),
        ("survey -j2", j2, "%.1f ms per file" % (1000 * j2 / n)),
        ("survey (default -j)", default, ""),
        ("two processes, half each", together, ""),
        ("info, one process per file", info_each * n, "%.1f ms per file" % (1000 * info_each)),
        ("astropy script", astropy, "%.1f ms per file" % (1000 * astropy / n)),
    ]
    print("%d files of %d x %d, 16 bits, medians of %d runs" % (n, WIDTH, HEIGHT, args.runs))
    for label, seconds, note in rows:
        print("  %-28s %8.3f s  %s" % (label, seconds, note))
    checks = [
        ("-j1 / -j2", j1 / j2, ">=", 1.8),
        ("survey -j1 per file / info per file", (j1 / n) / info_each, "<=", 1.1),
        ("astropy / survey", astropy / default, ">=", 10.0),
    ]
    print("  %-38s %6.2f  (information: this machine's ceiling for two workers)"
          % ("-j1 / two processes", j1 / together))
    missed = False
    for label, ratio, sense, target in checks:
        met = ratio >= target if sense == ">=" else ratio <= target
        missed = missed or not met
        print("  %-38s %6.2f  (target %s %.1f: %s)" % (label, ratio, sense, target,
                                                       "met" if met else "MISSED"))
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
