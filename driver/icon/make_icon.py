#!/usr/bin/env python3
"""Writes driver/icon/m3u2lst.ico from the drawing in m3u2lst-icon.txt beside
it: each pixel of the drawing scaled to a square of 1, 2, 3 and 4 pixels,
32-bit images with their transparency. Plain Python, no image tools. With
--check, compares the committed icon with the one the drawing gives instead
of writing it; a difference exits with status 1.

  driver/icon/make_icon.py [--check]
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DRAWING = os.path.join(HERE, "m3u2lst-icon.txt")
ICON = os.path.join(HERE, "m3u2lst.ico")
SCALES = (1, 2, 3, 4)


def read_drawing():
    colours = {".": None}
    rows = []
    with open(DRAWING, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("#"):
                words = line[1:].split()
                if len(words) >= 2 and len(words[0]) == 1 and len(words[1]) == 6:
                    colours[words[0]] = tuple(int(words[1][i:i + 2], 16) for i in (0, 2, 4))
            elif line:
                rows.append(line)
    if len(rows) != 16 or any(len(row) != 16 for row in rows):
        sys.exit("the drawing must be 16 rows of 16 pixels")
    return [[colours[c] for c in row] for row in rows]


def image(pixels, scale):
    """One icon image: a BITMAPINFOHEADER, BGRA rows bottom up, then the
    1-bit AND mask (set where transparent), rows padded to 32 bits."""
    size = 16 * scale
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        bits = 0
        row_mask = bytearray()
        for x in range(size):
            pixel = pixels[y // scale][x // scale]
            if pixel is None:
                colour += bytes((0, 0, 0, 0))
                bits |= 1 << (7 - x % 8)
            else:
                r, g, b = pixel
                colour += bytes((b, g, r, 255))
            if x % 8 == 7:
                row_mask.append(bits)
                bits = 0
        row_mask += bytes(-len(row_mask) % 4)
        mask += row_mask
    return header + bytes(colour) + bytes(mask)


def icon():
    pixels = read_drawing()
    images = [image(pixels, scale) for scale in SCALES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for scale, data in zip(SCALES, images):
        size = 16 * scale
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    made = icon()
    if "--check" in sys.argv[1:]:
        with open(ICON, "rb") as f:
            if f.read() != made:
                sys.exit(f"{ICON} differs from the icon the drawing gives")
        print(f"{os.path.relpath(ICON)} matches its drawing")
        return
    with open(ICON, "wb") as f:
        f.write(made)


if __name__ == "__main__":
    main()
