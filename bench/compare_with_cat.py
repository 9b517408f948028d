#!/usr/bin/env python3
"""Times the whole program against cat copying the same playlists, and
against the floor probe (bench/floor_probe.cpp: what a run costs when the
conversion costs nothing), in a memory-backed folder: one playlist of a
hundredth, a tenth and all of --mib, and a folder of 30 playlists of 50 KB.
After one warm-up round, the three take turns at going first, so all see the
same machine; each round gives one ratio, and the median of those ratios is
the figure. Also prints each command's slowest run against its own median (a
stall shows there, and where the slowest run of the program spent its time
when it stalled), the program's peak memory against the largest playlist's
size, how the time grows with ten times the input, and whether the program's
channel list equals the plain model's.

  bench/compare_with_cat.py --build build-bench [--mib 200] [--runs 15] [--shape options]
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
    """Runs a command; returns (seconds, peak resident memory in bytes, user
    seconds, system seconds)."""
    start = time.perf_counter()
    process = subprocess.Popen(command, cwd=cwd, stdin=subprocess.DEVNULL, stdout=stdout)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{command[0]} failed with status {status}")
    return seconds, usage.ru_maxrss * 1024, usage.ru_utime, usage.ru_stime


def measure(build, folder, label, line_ends, sizes_mib, runs, shape):
    """Times the program on a channel folder of fresh playlists of `sizes_mib`
    against cat and the floor probe on the same files."""
    work = os.path.join(folder, f"{line_ends}-{label}")
    channels = os.path.join(work, "iptv channel")
    os.makedirs(channels)
    playlists = []
    for i, mib in enumerate(sizes_mib):
        playlist = os.path.join(channels, f"playlist{i:02}.m3u")
        subprocess.run([os.path.join(build, "make_playlist"), str(mib), line_ends, playlist,
                        str(2026 + i), shape], check=True)
        playlists.append(playlist)
    size = sum(os.path.getsize(p) for p in playlists)
    program = os.path.abspath(os.path.join(build, "m3u2lst"))
    probe = os.path.abspath(os.path.join(build, "floor_probe"))
    listing = os.path.join(work, "iptv.lst")
    copy = os.path.join(work, "copy")
    floor_out = os.path.join(work, "floor")

    # Each command's output of the round before is removed just before the
    # command runs, and the commands take turns at going first. On a virtual
    # machine that hands freed memory back to its host, memory freed a moment
    # before is fast to write, and the rest is slow at its first touch (many
    # times the run's usual time): removing every output at once and always
    # running cat first gave the command that ran second most of the slow
    # runs. The playlists are written fresh for each measurement: pages of
    # an old file in /dev/shm can fault far more often on these machines.
    def run_cat():
        if os.path.exists(copy):
            os.remove(copy)
        with open(copy, "wb") as out:
            return timed(["cat"] + playlists, work, stdout=out)[0]

    def run_program():
        if os.path.exists(listing):
            os.remove(listing)
        return timed([program], work)

    def run_floor():
        if os.path.exists(floor_out):
            os.remove(floor_out)
        return timed([probe, floor_out] + playlists, work)[0]

    commands = [run_program, run_cat, run_floor]

    def round_of(first):
        results = {}
        for k in range(3):
            command = commands[(first + k) % 3]
            results[command] = command()
        return results[run_program], results[run_cat], results[run_floor]

    round_of(1)  # warm-up: the files in the page cache, the programs loaded
    program_runs, cat_times, floor_times = [], [], []
    for run in range(runs):
        program_run, cat_seconds, floor_seconds = round_of(run % 3)
        program_runs.append(program_run)
        cat_times.append(cat_seconds)
        floor_times.append(floor_seconds)
    program_times = [r[0] for r in program_runs]

    expected = os.path.join(work, "expected.lst")
    with open(expected, "wb") as out:
        for playlist in playlists:
            subprocess.run([os.path.join(build, "model_convert"), playlist], stdout=out, check=True)
    identical = subprocess.run(["cmp", "-s", listing, expected]).returncode == 0
    shutil.rmtree(work)
    program_median = statistics.median(program_times)
    cat_median = statistics.median(cat_times)
    slowest = max(program_runs)
    middle = sorted(program_runs)[len(program_runs) // 2]
    return {
        "size": size,
        "program": program_median,
        "cat": cat_median,
        "ratio": statistics.median(p / c for p, c in zip(program_times, cat_times)),
        "floor": statistics.median(f / c for f, c in zip(floor_times, cat_times)),
        "program slowest": max(program_times) / program_median,
        "cat slowest": max(cat_times) / cat_median,
        "stalls": sum(t > STALL * program_median for t in program_times),
        "cat stalls": sum(t > STALL * cat_median for t in cat_times),
        "peak": max(r[1] for r in program_runs),
        # user and system seconds of the slowest and of the middle run
        "slowest cpu": (slowest[2], slowest[3]),
        "middle cpu": (middle[2], middle[3]),
        "identical": identical,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build-bench",
                        help="build folder with m3u2lst, make_playlist, model_convert")
    parser.add_argument("--mib", type=int, default=200, help="playlist size in MiB")
    parser.add_argument("--runs", type=int, default=15, help="timed pairs of runs")
    parser.add_argument("--shape", choices=("plain", "options", "utf16", "text-list"),
                        default="plain",
                        help="options: two player option lines before every address, and a "
                             "quoted comma in an attribute; utf16: the plain shape saved as "
                             "UTF-16; text-list: \"name,URL\" lines")
    parser.add_argument("--folder", default="/dev/shm" if os.path.isdir("/dev/shm") else None,
                        help="where to work (memory-backed by default)")
    args = parser.parse_args()

    # One playlist of a hundredth, a tenth and all of --mib, and a folder of
    # 30 playlists of 50 KB, where starting the program weighs most.
    cases = [(f"{mib:g} MiB", [mib]) for mib in (args.mib / 100, args.mib / 10, args.mib)]
    cases.append(("30 x 50 KB", [50 / 1024] * 30))
    with tempfile.TemporaryDirectory(prefix="m3u2lst-bench-", dir=args.folder) as folder:
        print(f"{'playlists':>17} {'m3u2lst':>8} {'cat':>7} {'ratio':>6} {'floor':>6} "
              f"{'slowest/median':>15} {'stalls':>8} {'peak memory':>23} {'list':>9}")
        results = {}
        for line_ends in ("crlf", "lf"):
            for label, sizes in cases:
                r = measure(args.build, folder, label.replace(" ", ""), line_ends, sizes, args.runs,
                            args.shape)
                results[(line_ends, label)] = r
                over = (r["peak"] - max(sizes) * 2**20) / 2**20
                print(f"{line_ends:>5} {label:>11} {r['program']:7.4f}s "
                      f"{r['cat']:6.4f}s {r['ratio']:5.2f}x {r['floor']:5.2f}x "
                      f"{r['program slowest']:6.2f} / {r['cat slowest']:4.2f}  "
                      f"{r['stalls']:2} / {r['cat stalls']:<2}  "
                      f"{r['peak'] / 2**20:7.1f} MiB (file {over:+6.1f}) "
                      f"{'identical' if r['identical'] else 'DIFFERENT'}")
                if r["stalls"]:
                    (su, ss), (mu, ms) = r["slowest cpu"], r["middle cpu"]
                    print(f"{'':>5} m3u2lst's slowest run: user {su:.3f}s, system {ss:.3f}s; "
                          f"its middle run: user {mu:.3f}s, system {ms:.3f}s")
        print(f"ratio: median over the {args.runs} rounds of m3u2lst's time over cat's; "
              f"floor: the same for bench/floor_probe (maps, one memchr pass, writes 0.8x "
              f"the size); slowest/median: m3u2lst / cat; stalls: runs over {STALL}x their "
              f"command's median, m3u2lst / cat; peak memory: m3u2lst's largest resident size, "
              f"against its largest playlist, which cannot show less than the about 13 MiB "
              f"that this script's process held before it became the program")
        for line_ends in ("crlf", "lf"):
            small = results[(line_ends, f"{args.mib / 10:g} MiB")]
            large = results[(line_ends, f"{args.mib:g} MiB")]
            print(f"{line_ends}: 10x the input took {large['program'] / small['program']:.1f}x "
                  f"the time")
        if not all(r["identical"] for r in results.values()):
            sys.exit("the program's channel list differs from the model's")


if __name__ == "__main__":
    main()
