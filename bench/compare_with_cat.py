#!/usr/bin/env python3
"""Times the whole program against cat on the same playlist, in a memory-backed
folder, alternating the two, and prints the medians, their ratio and the
program's peak memory. Also checks that the program's channel list equals the
plain model's, and how the time grows with ten times the input.

  bench/compare_with_cat.py --build build-bench [--mib 200] [--runs 9]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def timed(command, cwd, stdout=subprocess.DEVNULL):
    """Runs a command; returns (seconds, peak resident memory in bytes)."""
    start = time.perf_counter()
    process = subprocess.Popen(command, cwd=cwd, stdin=subprocess.DEVNULL, stdout=stdout)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{command[0]} failed with status {status}")
    return seconds, usage.ru_maxrss * 1024


def measure(build, folder, mib, line_ends, runs):
    work = os.path.join(folder, f"{line_ends}-{mib}")
    channels = os.path.join(work, "iptv channel")
    os.makedirs(channels)
    playlist = os.path.join(channels, "playlist.m3u")
    subprocess.run([os.path.join(build, "make_playlist"), str(mib), line_ends, playlist], check=True)
    size = os.path.getsize(playlist)
    program = os.path.abspath(os.path.join(build, "m3u2lst"))
    listing = os.path.join(work, "iptv.lst")
    copy = os.path.join(work, "copy")

    program_times, cat_times, peaks = [], [], []
    for _ in range(runs):
        for path in (listing, copy):
            if os.path.exists(path):
                os.remove(path)
        with open(copy, "wb") as out:
            seconds, _ = timed(["cat", playlist], work, stdout=out)
        cat_times.append(seconds)
        seconds, peak = timed([program], work)
        program_times.append(seconds)
        peaks.append(peak)

    expected = os.path.join(work, "expected.lst")
    with open(expected, "wb") as out:
        subprocess.run([os.path.join(build, "model_convert"), playlist], stdout=out, check=True)
    identical = subprocess.run(["cmp", "-s", listing, expected]).returncode == 0
    shutil.rmtree(work)
    return {
        "size": size,
        "program": statistics.median(program_times),
        "cat": statistics.median(cat_times),
        "peak": max(peaks),
        "identical": identical,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build-bench", help="build folder with m3u2lst, make_playlist, model_convert")
    parser.add_argument("--mib", type=int, default=200, help="playlist size in MiB")
    parser.add_argument("--runs", type=int, default=9, help="runs of each command")
    parser.add_argument("--folder", default="/dev/shm" if os.path.isdir("/dev/shm") else None,
                        help="where to work (memory-backed by default)")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="m3u2lst-bench-", dir=args.folder) as folder:
        print(f"{'playlist':>16} {'m3u2lst':>9} {'cat':>9} {'ratio':>6} {'peak memory':>22} {'list':>9}")
        results = {}
        for line_ends in ("crlf", "lf"):
            for mib in (args.mib // 10, args.mib):
                r = measure(args.build, folder, mib, line_ends, args.runs)
                results[(line_ends, mib)] = r
                over = (r["peak"] - r["size"]) / 2**20
                print(f"{line_ends:>5} {r['size'] / 2**20:7.1f} MiB {r['program']:8.3f}s {r['cat']:8.3f}s "
                      f"{r['program'] / r['cat']:5.2f}x {r['peak'] / 2**20:7.1f} MiB (file {over:+6.1f}) "
                      f"{'identical' if r['identical'] else 'DIFFERENT'}")
        for line_ends in ("crlf", "lf"):
            small, large = results[(line_ends, args.mib // 10)], results[(line_ends, args.mib)]
            print(f"{line_ends}: 10x the input took {large['program'] / small['program']:.1f}x the time")
        if not all(r["identical"] for r in results.values()):
            sys.exit("the program's channel list differs from the model's")


if __name__ == "__main__":
    main()
