#!/usr/bin/env python3
"""Draws small, real photos (baseline JPEG, colour) with nothing but Python: the browser test and the
demo upload them so that the gallery has something to make thumbnails of.

    make_jpeg.py OUT.jpg [--scene beach|harbour|garden|dusk] [--size 400x300]
"""

import argparse
import math
import struct
from operator import mul

# Quantisation tables of a good quality (about 85 on the usual scale), in natural order.
LUMA_QUANT = [
    5, 3, 3, 5, 7, 12, 15, 18, 4, 4, 4, 6, 8, 17, 18, 17, 4, 4, 5, 7, 12, 17, 21, 17, 4, 5, 7, 9, 15, 26,
    24, 19, 5, 7, 11, 17, 20, 33, 31, 23, 7, 11, 17, 19, 24, 31, 34, 28, 15, 19, 23, 26, 31, 36, 36, 30,
    22, 28, 29, 29, 34, 30, 31, 30]
CHROMA_QUANT = [5, 5, 7, 14, 30, 30, 30, 30, 5, 6, 8, 20, 30, 30, 30, 30, 7, 8, 17, 30, 30, 30, 30, 30,
                14, 20] + [30] * 38

# Coefficient index of each position of the zig-zag scan.
ZIGZAG = sorted(range(64), key=lambda i: (i // 8 + i % 8, (i // 8) if (i // 8 + i % 8) % 2 else (i % 8)))

# Huffman tables of fixed-length codes: every symbol a DC (size 0..11) or AC (run/size, end of block,
# run of sixteen zeros) coefficient can need gets a code, so no statistics are needed; the files come
# out a little bigger than with tuned tables, which does not matter for test photos.
DC_SYMBOLS = list(range(12))
AC_SYMBOLS = [0x00, 0xF0] + [(run << 4) | size for run in range(16) for size in range(1, 11)]


def _fixed_table(symbols, length):
    counts = [0] * 16
    counts[length - 1] = len(symbols)
    codes = {symbol: (code, length) for code, symbol in enumerate(symbols)}
    return counts, symbols, codes


DC_TABLE = _fixed_table(DC_SYMBOLS, 4)  # 12 of 16 four-bit codes; never the all-ones code
AC_TABLE = _fixed_table(AC_SYMBOLS, 8)  # 162 of 256 eight-bit codes

_DCT = [[(math.sqrt(0.5) if u == 0 else 1.0) * 0.5 * math.cos((2 * x + 1) * u * math.pi / 16) for x in range(8)]
        for u in range(8)]


class _BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.count = 0

    def write(self, value, length):
        self.acc = (self.acc << length) | (value & ((1 << length) - 1))
        self.count += length
        while self.count >= 8:
            self.count -= 8
            byte = (self.acc >> self.count) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)  # byte stuffing: a marker never appears inside the data
        self.acc &= (1 << self.count) - 1

    def flush(self):
        if self.count:
            self.write((1 << (8 - self.count)) - 1, 8 - self.count)  # pad with one bits


def _category(value):
    size = abs(value).bit_length()
    return size, (value if value >= 0 else value + (1 << size) - 1)


def _dct(block):
    rows = [[sum(map(mul, basis, block[y * 8:y * 8 + 8])) for basis in _DCT] for y in range(8)]
    columns = list(zip(*rows))
    return [sum(map(mul, basis, column)) for basis in _DCT for column in columns]


def _encode_block(bits, block, quant, previous_dc):
    coefficients = _dct(block)
    zz = [int(round(coefficients[i] / quant[i])) for i in ZIGZAG]
    size, value = _category(zz[0] - previous_dc)
    code, length = DC_TABLE[2][size]
    bits.write(code, length)
    if size:
        bits.write(value, size)
    run = 0
    for coefficient in zz[1:]:
        if coefficient == 0:
            run += 1
            continue
        while run > 15:
            bits.write(*AC_TABLE[2][0xF0])
            run -= 16
        size, value = _category(coefficient)
        bits.write(*AC_TABLE[2][(run << 4) | size])
        bits.write(value, size)
        run = 0
    if run:
        bits.write(*AC_TABLE[2][0x00])
    return zz[0]


def _segment(marker, payload):
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def encode(width, height, pixel):
    """A baseline JPEG of width x height; pixel(x, y) gives (r, g, b) in 0..255."""
    planes = ([], [], [])
    for y in range(height):
        for x in range(width):
            r, g, b = pixel(x, y)
            planes[0].append(0.299 * r + 0.587 * g + 0.114 * b - 128)
            planes[1].append(-0.168736 * r - 0.331264 * g + 0.5 * b)
            planes[2].append(0.5 * r - 0.418688 * g - 0.081312 * b)
    bits = _BitWriter()
    previous = [0, 0, 0]
    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            for component, plane in enumerate(planes):
                # Edge blocks repeat the last row and column, as encoders usually do.
                block = [plane[min(by + j, height - 1) * width + min(bx + i, width - 1)] for j in range(8)
                         for i in range(8)]
                quant = LUMA_QUANT if component == 0 else CHROMA_QUANT
                previous[component] = _encode_block(bits, block, quant, previous[component])
    bits.flush()

    def huffman(table_class, table_id, table):
        counts, symbols, _ = table
        return bytes([(table_class << 4) | table_id]) + bytes(counts) + bytes(symbols)

    out = bytearray(b"\xff\xd8")
    out += _segment(0xE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    for table_id, quant in enumerate((LUMA_QUANT, CHROMA_QUANT)):
        out += _segment(0xDB, bytes([table_id]) + bytes(quant[i] for i in ZIGZAG))
    out += _segment(0xC0, struct.pack(">BHHB", 8, height, width, 3) + bytes([1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1]))
    for table_id in range(2):  # the same fixed tables serve luma (0) and chroma (1)
        out += _segment(0xC4, huffman(0, table_id, DC_TABLE) + huffman(1, table_id, AC_TABLE))
    out += _segment(0xDA, bytes([3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0]))
    out += bits.out
    out += b"\xff\xd9"
    return bytes(out)


# Scenes: a sky, a sun, water or a hill; colours differ so that the photos tell apart at a glance.
SCENES = {
    "beach": dict(sky=((70, 140, 220), (180, 220, 250)), sun=(255, 230, 120), sea=(30, 110, 170),
                  ground=(235, 210, 160), sun_at=(0.72, 0.28)),
    "harbour": dict(sky=((40, 60, 120), (240, 150, 90)), sun=(255, 200, 120), sea=(30, 50, 90),
                    ground=(60, 60, 70), sun_at=(0.3, 0.45)),
    "garden": dict(sky=((120, 180, 235), (220, 240, 250)), sun=(255, 250, 210), sea=(70, 150, 60),
                   ground=(40, 110, 40), sun_at=(0.2, 0.2)),
    "dusk": dict(sky=((30, 20, 70), (250, 120, 80)), sun=(255, 170, 90), sea=(60, 30, 70),
                 ground=(30, 20, 40), sun_at=(0.55, 0.5)),
}


def _mix(a, b, t):
    return tuple(int(p + (q - p) * t) for p, q in zip(a, b))


def scene_pixel(name, width, height):
    scene = SCENES[name]
    sun_x, sun_y = scene["sun_at"][0] * width, scene["sun_at"][1] * height
    radius = 0.13 * min(width, height)
    horizon = 0.58 * height

    def pixel(x, y):
        shore = horizon + 0.25 * height + 0.06 * height * math.sin(x * 6.0 / width)
        if y >= shore:
            return _mix(scene["ground"], (0, 0, 0), 0.3 * (y - shore) / (height - shore + 1))
        if y >= horizon:
            wave = 0.5 + 0.5 * math.sin(x * 0.15 + y * 0.9)
            return _mix(scene["sea"], (255, 255, 255), 0.12 * wave * (y - horizon) / (shore - horizon))
        distance = math.hypot(x - sun_x, y - sun_y)
        if distance < radius:
            return scene["sun"]
        sky = _mix(scene["sky"][0], scene["sky"][1], y / horizon)
        return _mix(scene["sun"], sky, min(1.0, (distance - radius) / (2.5 * radius)) ** 0.5)

    return pixel


def make(path, scene="beach", width=400, height=300):
    data = encode(width, height, scene_pixel(scene, width, height))
    with open(path, "wb") as out:
        out.write(data)
    return data


def main():
    parser = argparse.ArgumentParser(description="Writes a small generated photo as a baseline JPEG.")
    parser.add_argument("out")
    parser.add_argument("--scene", choices=sorted(SCENES), default="beach")
    parser.add_argument("--size", default="400x300", help="WIDTHxHEIGHT")
    args = parser.parse_args()
    width, height = (int(n) for n in args.size.split("x"))
    make(args.out, args.scene, width, height)


if __name__ == "__main__":
    main()
