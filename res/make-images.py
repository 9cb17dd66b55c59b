#!/usr/bin/env python3
"""Draws the logo bitmap (131 x 57, 24-bit) and the icon (16 x 16, 16 colours).

Run from anywhere; writes logo.bmp and app.ico beside this script. Both files
are committed, so the build does not need Python.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# 5 x 7 glyphs, one string per row, '#' set.
GLYPHS = {
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "-": [".....", ".....", ".....", "#####", ".....", ".....", "....."],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}


def text(canvas, x, y, s, scale, colour):
    for ch in s:
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit == "#":
                    for dy in range(scale):
                        for dx in range(scale):
                            put(canvas, x + col * scale + dx, y + row * scale + dy, colour)
        x += 6 * scale


def put(canvas, x, y, colour):
    if 0 <= y < len(canvas) and 0 <= x < len(canvas[0]):
        canvas[y][x] = colour


def logo():
    w, h = 131, 57
    canvas = [[(0, 0, 0)] * w for _ in range(h)]
    for y in range(h):
        # Deep blue fading to a lighter blue towards the bottom.
        t = y / (h - 1)
        row = (int(20 + 40 * t), int(60 + 70 * t), int(140 + 80 * t))
        for x in range(w):
            canvas[y][x] = row
    text(canvas, 8, 5, "ZQL", 4, (255, 255, 255))
    text(canvas, 84, 9, "MCU", 2, (255, 214, 64))
    # A serial frame as a square wave along the bottom: start bit, data, stop.
    bits = [1, 0, 1, 1, 0, 1, 0, 0, 1, 1, 1]
    x = 6
    prev = 1
    for b in bits:
        y_level = 41 if b else 50
        if b != prev:
            for y in range(41, 51):
                put(canvas, x, y, (255, 214, 64))
        for dx in range(11):
            put(canvas, x + dx, y_level, (255, 214, 64))
            put(canvas, x + dx, y_level + 1, (255, 214, 64))
        x += 11
        prev = b
    return w, h, canvas


def write_bmp(path, w, h, canvas):
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(h - 1, -1, -1):  # bottom-up
        row = bytearray()
        for r, g, b in canvas[y]:
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        pixels += row
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


# The 16 colours of the classic VGA palette, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# A blue tile with a yellow square wave; '.' is transparent.
ICON = [
    "................",
    ".cccccccccccccc.",
    ".cccccccccccccc.",
    ".ccfffcccccfffc.",
    ".ccfcfcccccfcfc.",
    ".ccfcfcccccfcfc.",
    ".ccfcfcccccfcfc.",
    ".fffcfffffffcff.",
    ".cccccccccccccc.",
    ".cbbbbccbbbbbcc.",
    ".cbccbccbcccbcc.",
    ".cbccbccbcccbcc.",
    ".bbccbbbbcccbbb.",
    ".cccccccccccccc.",
    ".cccccccccccccc.",
    "................",
]


def write_ico(path):
    w = h = 16
    index = {".": 0, "c": 4, "f": 15, "b": 11}
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        row = ICON[y]
        for x in range(0, w, 2):
            xor.append(index[row[x]] << 4 | index[row[x + 1]])
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        bits = 0
        for x in range(w):
            if ICON[y][x] == ".":
                bits |= 1 << (15 - x)
        mask += struct.pack(">H", bits) + b"\0\0"  # rows padded to 32 bits
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = info + palette + xor + mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w, h, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(header + entry + image)


if __name__ == "__main__":
    w, h, canvas = logo()
    write_bmp(os.path.join(HERE, "logo.bmp"), w, h, canvas)
    write_ico(os.path.join(HERE, "app.ico"))
