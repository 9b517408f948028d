#!/usr/bin/env python3
"""Times the whole program against cat copying the same playlist, in a
memory-backed folder. After one warm-up pair, the two take turns, so both see
the same machine; each pair gives one ratio, and the median of those ratios is
the figure. Also prints each command's slowest run against its own median (a
stall shows there), the program's peak memory against the file's size, how the
time grows with ten times the input, and whether the program's channel list
equals the plain model's.

  bench/compare_with_cat.py --build build-bench [--mib 200] [--runs 15]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

STALL = 1.5  # a run this many times its command's median counts as a stall


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

    def pair():
        for path in (listing, copy):
            if os.path.exists(path):
                os.remove(path)
        with open(copy, "wb") as out:
            cat_seconds, _ = timed(["cat", playlist], work, stdout=out)
        program_seconds, peak = timed([program], work)
        return program_seconds, cat_seconds, peak

    pair()  # warm-up: the file in the page cache, the programs loaded
    program_times, cat_times, peaks = [], [], []
    for _ in range(runs):
        program_seconds, cat_seconds, peak = pair()
        program_times.append(program_seconds)
        cat_times.append(cat_seconds)
        peaks.append(peak)

    expected = os.path.join(work, "expected.lst")
    with open(expected, "wb") as out:
        subprocess.run([os.path.join(build, "model_convert"), playlist], stdout=out, check=True)
    identical = subprocess.run(["cmp", "-s", listing, expected]).returncode == 0
    shutil.rmtree(work)
    program_median = statistics.median(program_times)
    cat_median = statistics.median(cat_times)
    return {
        "size": size,
        "program": program_median,
        "cat": cat_median,
        "ratio": statistics.median(p / c for p, c in zip(program_times, cat_times)),
        "program slowest": max(program_times) / program_median,
        "cat slowest": max(cat_times) / cat_median,
        "stalls": sum(t > STALL * program_median for t in program_times),
        "cat stalls": sum(t > STALL * cat_median for t in cat_times),
        "peak": max(peaks),
        "identical": identical,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build-bench",
                        help="build folder with m3u2lst, make_playlist, model_convert")
    parser.add_argument("--mib", type=int, default=200, help="playlist size in MiB")
    parser.add_argument("--runs", type=int, default=15, help="timed pairs of runs")
    parser.add_argument("--folder", default="/dev/shm" if os.path.isdir("/dev/shm") else None,
                        help="where to work (memory-backed by default)")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="m3u2lst-bench-", dir=args.folder) as folder:
        print(f"{'playlist':>16} {'m3u2lst':>8} {'cat':>7} {'ratio':>6} "
              f"{'slowest/median':>15} {'stalls':>8} {'peak memory':>23} {'list':>9}")
        results = {}
        for line_ends in ("crlf", "lf"):
            for mib in (args.mib // 10, args.mib):
                r = measure(args.build, folder, mib, line_ends, args.runs)
                results[(line_ends, mib)] = r
                over = (r["peak"] - r["size"]) / 2**20
                print(f"{line_ends:>5} {r['size'] / 2**20:7.1f} MiB {r['program']:7.3f}s "
                      f"{r['cat']:6.3f}s {r['ratio']:5.2f}x "
                      f"{r['program slowest']:6.2f} / {r['cat slowest']:4.2f}  "
                      f"{r['stalls']:2} / {r['cat stalls']:<2}  "
                      f"{r['peak'] / 2**20:7.1f} MiB (file {over:+6.1f}) "
                      f"{'identical' if r['identical'] else 'DIFFERENT'}")
        print(f"ratio: median over the {args.runs} pairs of m3u2lst's time over cat's; "
              f"slowest/median: m3u2lst / cat; stalls: runs over {STALL}x their command's "
              f"median, m3u2lst / cat; peak memory: m3u2lst's largest resident size, which "
              f"cannot show less than the about 13 MiB that this script's process held before "
              f"it became the program")
        for line_ends in ("crlf", "lf"):
            small, large = results[(line_ends, args.mib // 10)], results[(line_ends, args.mib)]
            print(f"{line_ends}: 10x the input took {large['program'] / small['program']:.1f}x "
                  f"the time")
        if not all(r["identical"] for r in results.values()):
            sys.exit("the program's channel list differs from the model's")


if __name__ == "__main__":
    main()
