#!/usr/bin/env python3
"""Builds kivrel-cli at two commits side by side and compares what it prints and writes.

    scripts/compare-builds.py [--corpus DIR] [--keep] BEFORE [AFTER]

BEFORE and AFTER are anything `git worktree add` takes (AFTER defaults to the work tree as it
is, uncommitted changes included). Each is built in its own folder under build/compare/ with
tests, the window and the benchmarks off. Then, for every image of samples/ and of the corpus
(default ../shared/corpus, skipped when absent), both programs run `info` with a few sets of
settings and actions, `header`, and `render`, and their standard output, standard error, exit
status and written bitmaps are compared byte for byte. Differences are listed; the exit status
is 1 when there is any.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
IMAGE_EXTENSIONS = (".fit", ".fits", ".fts", ".pic", ".bmp", ".dib", ".gif", ".jpg", ".jpeg",
                    ".tga", ".pcx", ".rle", ".imfits", ".fz", ".gz")

# Settings and actions run on every image, each as its own `info` run.
INFO_RUNS = [
    [],
    ["--level-mode", "2", "--flip-x", "--drag", "10,20,110,80", "--click", "50,50", "--at",
     "100,100"],
    ["--lut", "heat", "--itt", "log", "--level-click", "4", "--bar1", "15000", "--orient"],
    ["--filter", "6", "--layer", "2", "--zoom-full", "--zoom-prev", "--at", "5,5"],
    ["--colour-mode", "0", "--apply-filter", "11", "--restore", "--set-layer", "3"],
    ["--type-thresholds", "10", "5000", "--flip-y", "--drag", "200,100,20,10", "--click",
     "100,50"],
]
RENDER_ARGS = ["--lut", "rainbow", "--level-mode", "3"]


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


def build(rev, folder):
    """A worktree of `rev` (or the current tree when rev is None) built into `folder`/build."""
    if rev is None:
        source = ROOT
    else:
        source = os.path.join(folder, "src")
        if not os.path.isdir(source):
            run(["git", "-C", ROOT, "worktree", "add", "--detach", "-f", source, rev],
                stdout=subprocess.DEVNULL)
        else:
            run(["git", "-C", source, "checkout", "-q", "--detach", rev])
    binary = os.path.join(folder, "build")
    run(["cmake", "-S", source, "-B", binary, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
         "-DKIVREL_BUILD_TESTS=OFF", "-DKIVREL_BUILD_GUI=OFF", "-DKIVREL_BUILD_BENCH=OFF"],
        stdout=subprocess.DEVNULL)
    run(["cmake", "--build", binary, "--target", "kivrel-cli", "kivrel_decode"],
        stdout=subprocess.DEVNULL)
    return source, binary


def images(corpus):
    found = []
    folders = [os.path.join(ROOT, "samples")]
    if corpus and os.path.isdir(corpus):
        folders.append(corpus)
    for folder in folders:
        for base, _, files in os.walk(folder):
            for name in sorted(files):
                if name.lower().endswith(IMAGE_EXTENSIONS):
                    found.append(os.path.join(base, name))
    return sorted(found)


def json_flag(cli):
    """Whether this kivrel-cli's info takes --json."""
    proc = subprocess.run([cli, "info", "--help"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return b"--json" in proc.stdout


def outputs(build_info, image, out_dir):
    """Everything one build shows for one image: a list of (label, bytes)."""
    source, binary = build_info
    cli = os.path.join(binary, "src", "cli", "kivrel-cli")
    env = dict(os.environ, KIVREL_DECODER=os.path.join(binary, "plugins", "libkivrel-decode.so"))
    env.pop("KIVREL_TRACE", None)
    results = []

    def record(label, cmd):
        proc = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                              timeout=300)
        results.append((label + " stdout", proc.stdout))
        results.append((label + " stderr", proc.stderr))
        results.append((label + " status", str(proc.returncode).encode()))

    appdir = ["--appdir", source + os.sep]
    # The dialog's state is `info --json` since `info` prints a summary; older builds print the
    # state without the flag.
    state = ["--json"] if json_flag(cli) else []
    for i, args in enumerate(INFO_RUNS):
        record("info#%d" % i, [cli, "info"] + state + [image] + appdir + args)
    record("header", [cli, "header", image])
    bmp = os.path.join(out_dir, "out.bmp")
    if os.path.exists(bmp):
        os.remove(bmp)
    record("render", [cli, "render", image] + appdir + RENDER_ARGS + ["-o", bmp])
    results.append(("render bitmap", open(bmp, "rb").read() if os.path.exists(bmp) else b""))
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("before")
    parser.add_argument("after", nargs="?")
    parser.add_argument("--corpus", default=os.path.join(ROOT, "..", "shared", "corpus"))
    parser.add_argument("--keep", action="store_true", help="keep the worktrees and builds")
    args = parser.parse_args()

    top = os.path.join(ROOT, "build", "compare")
    builds = [build(args.before, os.path.join(top, "before")),
              build(args.after, os.path.join(top, "after"))]
    files = images(args.corpus)
    differences = 0
    with tempfile.TemporaryDirectory() as tmp:
        for image in files:
            per_build = []
            for i, b in enumerate(builds):
                out_dir = os.path.join(tmp, str(i))
                os.makedirs(out_dir, exist_ok=True)
                per_build.append(outputs(b, image, out_dir))
            for (label, a), (_, b) in zip(*per_build):
                if a != b:
                    differences += 1
                    print("DIFFERS %s: %s" % (os.path.relpath(image, ROOT), label))
    print("%d images, %d runs each, %d differences" % (len(files), len(INFO_RUNS) + 2,
                                                      differences))
    if not args.keep:
        for name in ("before", "after"):
            source = os.path.join(top, name, "src")
            if os.path.isdir(source):
                run(["git", "-C", ROOT, "worktree", "remove", "--force", source])
        shutil.rmtree(top, ignore_errors=True)
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
