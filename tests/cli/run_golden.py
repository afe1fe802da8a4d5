#!/usr/bin/env python3
"""Whole-output golden files for kivrel-cli.

Runs `kivrel-cli info --json FILE --appdir SOURCE/ [ACTIONS...]` on the bundled samples (every
samples/*.fits and samples/*.pic) and on a few corpus files, and compares its standard output,
byte for byte, with tests/cli/golden/NAME.json. The only normalisation is the absolute file
name in "ImaFileName", which becomes <samples>/..., <corpus>/... Corpus cases are skipped when
the corpus folder is absent.

Summary cases run `kivrel-cli info FILE` (the summary a person reads) and compare it with
golden/NAME.txt.

    run_golden.py --cli PATH --source DIR [--corpus DIR] [--regen] [--only NAME]

With --regen (or KIVREL_REGEN_GOLDEN=1 in the environment) the golden files are rewritten from
the current output instead of compared; look at the diff before committing them.

Render cases run `kivrel-cli render FILE --appdir SOURCE/ [ACTIONS...] -o OUT.bmp` and compare
the bitmap's bytes with golden/NAME.bmp.
"""
import argparse
import difflib
import glob
import json
import os
import subprocess
import sys
import tempfile

# (name, file relative to samples/ or corpus/, extra arguments, expected exit status)
SAMPLE_ACTIONS = [
    ("m51_level_1sig", "m51_tan16.fits", ["--level-click", "2"], 0),
    ("m51_level_70pct_mode", "m51_tan16.fits", ["--level-mode", "4"], 0),
    ("m51_typed", "m51_tan16.fits", ["--type-thresholds", "900", "5000"], 0),
    ("m51_bars_meet", "m51_tan16.fits", ["--bar1", "20309"], 0),
    ("m51_bar2_moves", "m51_tan16.fits", ["--bar2", "12000"], 0),
    ("m51_flip_x", "m51_tan16.fits", ["--flip-x"], 0),
    ("m51_flip_y_orient", "m51_tan16.fits", ["--flip-y", "--orient"], 0),
    ("m51_zoom", "m51_tan16.fits", ["--drag", "10,20,110,80", "--click", "50,50"], 0),
    ("m51_zoom_flipped", "m51_tan16.fits",
     ["--flip-x", "--drag", "10,20,110,80", "--click", "50,50"], 0),
    ("m51_zoom_twice_full_prev", "m51_tan16.fits",
     ["--drag", "10,20,110,80", "--click", "50,50", "--drag", "20,20,200,100",
      "--click", "30,30", "--zoom-full", "--zoom-prev"], 0),
    ("m51_click_outside", "m51_tan16.fits", ["--drag", "10,20,110,80", "--click", "200,200"], 0),
    ("m51_readout", "m51_tan16.fits", ["--at", "160,120"], 0),
    ("m51_readout_edge", "m51_tan16.fits", ["--at", "0,120"], 0),
    ("m51_tables", "m51_tan16.fits", ["--lut", "heat", "--itt", "log"], 0),
    ("m51_bad_threshold", "m51_tan16.fits", ["--type-thresholds", "10", "1,5"], 1),
    ("galactic64_orient", "galactic64.fits", ["--orient", "--at", "100,100"], 0),
    ("float_nan_readout", "float_nan.fits", ["--level-click", "1", "--at", "100,100"], 0),
]

CORPUS = [
    ("corpus_m13", "fits/m13.fits", [], 0),
    ("corpus_m13_zoom", "fits/m13.fits", ["--drag", "60,60,180,180", "--click", "100,100"], 0),
    ("corpus_m101", "fits/m101.fits", ["--level-click", "3"], 0),
    ("corpus_example1test", "fits/example1test.fits", [], 0),
    ("corpus_checksum", "fits/checksum.fits", [], 0),
    ("corpus_msx", "fits/msx.fits", ["--level-click", "4"], 0),
    ("corpus_bir", "fits/BIR_20110922_050000_01.fit", ["--at", "200,100"], 0),
    ("corpus_hi_blank", "fits/hi_20110910_114721_s7h2A.fts", ["--level-click", "2"], 0),
    ("corpus_swap", "fits/swap_lv1_20120101_001607.fits", ["--at", "120,120"], 0),
    ("corpus_azp_nan", "fits/1904-66_AZP.fits", ["--at", "5,5"], 0),
    ("corpus_not_fits", "fits/not_actually_fits.fits", [], 2),
]


# Summaries: (name, "samples/..." or "corpus/...", extra arguments, expected exit status)
SUMMARY = [
    ("summary_m51", "samples/m51_tan16.fits", [], 0),
    ("summary_cube_layer2", "samples/cube3.fits", ["--layer", "2"], 0),
    ("summary_galactic64", "samples/galactic64.fits", [], 0),
    ("summary_stars16_pic", "samples/stars16.pic", [], 0),
    ("summary_datatype5_pic", "samples/datatype5.pic", [], 2),
    ("summary_extension", "corpus/fits/o4sp040b0_raw.fits", [], 0),
    ("summary_capped_truncated", "corpus/fits/tan.fits", [], 0),
    ("summary_rice", "corpus/fits/m13_rice.fits", [], 0),
    ("summary_not_fits", "corpus/fits/not_actually_fits.fits", [], 2),
]


# Render cases: (name, "samples/..." or "corpus/...", extra arguments)
RENDER = [
    ("render_m51", "samples/m51_tan16.fits", []),
    ("render_m51_1sig", "samples/m51_tan16.fits", ["--level-click", "2"]),
    ("render_m51_zoom_flipped_heat_log", "samples/m51_tan16.fits",
     ["--lut", "heat", "--itt", "log", "--flip-x", "--drag", "10,20,110,80", "--click", "50,50"]),
    ("render_m51_inverted", "samples/m51_tan16.fits",
     ["--type-thresholds", "5000", "900", "--flip-y", "--lut", "viridis"]),
    ("render_galactic64_orient", "samples/galactic64.fits", ["--orient", "--lut", "rainbow"]),
    ("render_float_nan", "samples/float_nan.fits", ["--level-click", "4", "--itt", "sqrt"]),
    ("render_stars16_pic", "samples/stars16.pic", ["--itt", "neg"]),
    ("render_checksum", "corpus/fits/checksum.fits", []),
    ("render_msx", "corpus/fits/msx.fits", ["--level-click", "3", "--lut", "cubehelix"]),
]


def located(source, corpus, rel):
    """The path of "samples/..." or "corpus/..." (None without a corpus) and its shown name."""
    kind, rest = rel.split("/", 1)
    if kind == "samples":
        return os.path.join(source, "samples", rest), "<samples>/" + rest
    return (os.path.join(corpus, rest) if corpus else None), "<corpus>/" + rest


def check_summary(cli, source, golden_dir, name, path, args, status, regen):
    proc = subprocess.run([cli, "info", path, "--appdir", source + os.sep] + args,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    text = proc.stdout.decode("utf-8")
    problems = []
    if proc.returncode != status:
        problems.append("exit status %d, expected %d" % (proc.returncode, status))
    problems += compare_golden(os.path.join(golden_dir, name + ".txt"), text, regen)
    return problems


def compare_golden(golden, text, regen, context=3, most=None):
    """The problems of `text` against the golden file (none when regenerating it)."""
    if regen:
        with open(golden, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
        return []
    if not os.path.exists(golden):
        return ["no golden file %s (run with --regen)" % golden]
    with open(golden, encoding="utf-8") as f:
        want = f.read()
    if want == text:
        return []
    diff = list(difflib.unified_diff(want.splitlines(), text.splitlines(),
                                     "golden/" + os.path.basename(golden), "output",
                                     lineterm="", n=context))
    return ["output differs:\n" + "\n".join(diff[:most])]


def render_cases(source, corpus):
    out = []
    for name, rel, args in RENDER:
        path, shown = located(source, corpus, rel)
        out.append((name, path, args, shown))
    return out


def check_render(cli, source, golden_dir, name, path, args, regen):
    with tempfile.TemporaryDirectory() as tmp:
        bmp = os.path.join(tmp, name + ".bmp")
        proc = subprocess.run([cli, "render", path, "--appdir", source + os.sep] + args +
                              ["-o", bmp], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=120)
        if proc.returncode != 0 or not os.path.exists(bmp):
            return ["render failed (exit %d): %s" % (proc.returncode,
                                                      proc.stderr.decode("utf-8", "replace"))]
        with open(bmp, "rb") as f:
            got = f.read()
    golden = os.path.join(golden_dir, name + ".bmp")
    if regen:
        with open(golden, "wb") as f:
            f.write(got)
        return []
    if not os.path.exists(golden):
        return ["no golden file %s (run with --regen)" % golden]
    with open(golden, "rb") as f:
        want = f.read()
    if want == got:
        return []
    first = next((i for i in range(min(len(want), len(got))) if want[i] != got[i]),
                 min(len(want), len(got)))
    return ["bitmap differs: %d bytes, golden %d bytes, first difference at byte %d"
            % (len(got), len(want), first)]


def cases(source, corpus):
    samples = os.path.join(source, "samples")
    out = []
    for path in sorted(glob.glob(os.path.join(samples, "*.fits")) +
                       glob.glob(os.path.join(samples, "*.pic"))):
        base = os.path.basename(path)
        name = "sample_" + base.replace(".", "_")
        out.append((name, path, [], None, "<samples>/" + base))
    for name, rel, args, status in SAMPLE_ACTIONS:
        out.append((name, os.path.join(samples, rel), args, status, "<samples>/" + rel))
    for name, rel, args, status in CORPUS:
        path = os.path.join(corpus, rel) if corpus else None
        out.append((name, path, args, status, "<corpus>/" + rel))
    return out


def run_case(cli, source, path, args, shown_name):
    proc = subprocess.run([cli, "info", "--json", path, "--appdir", source + os.sep] + args,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    text = proc.stdout.decode("utf-8")
    try:
        state = json.loads(text)
    except ValueError:
        state = {}
    if state.get("ImaFileName") == os.path.abspath(path):
        old = json.dumps(state["ImaFileName"], ensure_ascii=False)
        text = text.replace('"ImaFileName": ' + old, '"ImaFileName": ' + json.dumps(shown_name), 1)
    return proc.returncode, text, proc.stderr.decode("utf-8", "replace")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--corpus", default="")
    parser.add_argument("--regen", action="store_true")
    parser.add_argument("--only", default="")
    opts = parser.parse_args()
    regen = opts.regen or os.environ.get("KIVREL_REGEN_GOLDEN") == "1"
    source = os.path.abspath(opts.source)
    corpus = os.path.abspath(opts.corpus) if opts.corpus and os.path.isdir(opts.corpus) else ""
    golden_dir = os.path.join(source, "tests", "cli", "golden")

    passed = failed = skipped = 0
    for name, path, args, status, shown in cases(source, corpus):
        if opts.only and name != opts.only:
            continue
        if path is None or not os.path.exists(path):
            print("SKIP %s (no %s)" % (name, shown))
            skipped += 1
            continue
        code, text, err = run_case(opts.cli, source, path, args, shown)
        golden = os.path.join(golden_dir, name + ".json")
        problems = []
        if not text.startswith("{"):
            problems.append("no JSON on standard output (exit %d): %s" % (code, err.strip()))
        if status is not None and code != status:
            problems.append("exit status %d, expected %d; stderr: %s" % (code, status, err.strip()))
        problems += compare_golden(golden, text, regen, context=1, most=60)
        if problems:
            failed += 1
            print("FAIL %s: kivrel-cli info --json %s %s" % (name, shown, " ".join(args)))
            for p in problems:
                print("  " + p.replace("\n", "\n  "))
        else:
            passed += 1
    for name, rel, args, status in SUMMARY:
        if opts.only and name != opts.only:
            continue
        path, shown = located(source, corpus, rel)
        if path is None or not os.path.exists(path):
            print("SKIP %s (no %s)" % (name, shown))
            skipped += 1
            continue
        problems = check_summary(opts.cli, source, golden_dir, name, path, args, status, regen)
        if problems:
            failed += 1
            print("FAIL %s: kivrel-cli info %s %s" % (name, shown, " ".join(args)))
            for p in problems:
                print("  " + p.replace("\n", "\n  "))
        else:
            passed += 1
    for name, path, args, shown in render_cases(source, corpus):
        if opts.only and name != opts.only:
            continue
        if path is None or not os.path.exists(path):
            print("SKIP %s (no %s)" % (name, shown))
            skipped += 1
            continue
        problems = check_render(opts.cli, source, golden_dir, name, path, args, regen)
        if problems:
            failed += 1
            print("FAIL %s: kivrel-cli render %s %s" % (name, shown, " ".join(args)))
            for p in problems:
                print("  " + p)
        else:
            passed += 1
    print("%d passed, %d failed, %d skipped" % (passed, failed, skipped))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
