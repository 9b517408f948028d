#!/usr/bin/env python3
"""Writes driver/ntfs_upcase_runs.inc, the upper-case table ($UpCase) that
NTFS orders a folder's names by, as runs of the units it changes.

The table is read from a volume that mkntfs makes in a temporary file (Debian
package ntfs-3g: mkntfs, ntfscat), or from FILE, the table's 128 KiB as
ntfscat gives them. With --check, the committed file is compared with the one
the table gives instead of being written; a difference exits with status 1.

  driver/make_ntfs_upcase.py [--check] [--upcase FILE]
"""
import argparse
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUTPUT = os.path.join(HERE, "ntfs_upcase_runs.inc")


def table_from_new_volume():
    with tempfile.TemporaryDirectory() as folder:
        image = os.path.join(folder, "ntfs.img")
        with open(image, "wb") as f:
            f.truncate(8 << 20)
        subprocess.run(["mkntfs", "-F", "-Q", "-q", image], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return subprocess.run(["ntfscat", image, "$UpCase"], check=True,
                              stdout=subprocess.PIPE).stdout


def runs(table):
    """Runs (first, count, step, delta): the units first, first + step, ...
    (count of them) each map to unit + delta, and no unit the table changes
    lies between them. Step is 1 (a block of letters) or 2 (capitals and
    small letters taking turns)."""
    changed = [u for u in range(65536) if table[u] != u]
    out = []
    i = 0
    while i < len(changed):
        first = changed[i]
        delta = table[first] - first
        count, step = 1, 1
        if i + 1 < len(changed) and changed[i + 1] - first in (1, 2) and \
                table[changed[i + 1]] - changed[i + 1] == delta:
            step = changed[i + 1] - first
            while i + count < len(changed) and changed[i + count] == first + count * step and \
                    table[changed[i + count]] - changed[i + count] == delta:
                count += 1
        out.append((first, count, step, delta))
        i += count
    return out


def text(table):
    lines = [
        "// The units NTFS's upper-case table ($UpCase, as mkntfs and Windows 8 and",
        "// later write it) changes, as runs: {first unit, count, step, delta}: the",
        "// units first, first + step, ... map to unit + delta. Every other unit maps",
        "// to itself. Written by driver/make_ntfs_upcase.py; do not edit.",
    ]
    for first, count, step, delta in runs(table):
        lines.append(f"{{0x{first:04X}, {count}, {step}, {delta}}},")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--upcase", metavar="FILE")
    args = parser.parse_args()
    raw = open(args.upcase, "rb").read() if args.upcase else table_from_new_volume()
    if len(raw) != 131072:
        sys.exit(f"the table has {len(raw)} bytes, not 131072")
    table = struct.unpack("<65536H", raw)
    made = text(table)
    if args.check:
        with open(OUTPUT, encoding="utf-8") as f:
            if f.read() != made:
                sys.exit(f"{OUTPUT} differs from the table of a new NTFS volume")
        print(f"{os.path.relpath(OUTPUT)} matches the table of a new NTFS volume "
              f"({sum(c for _, c, _, _ in runs(table))} units changed)")
        return
    with open(OUTPUT, "w", encoding="utf-8") as f:
        f.write(made)


if __name__ == "__main__":
    main()
