#!/usr/bin/env python3
"""Writes the seed pictures of the picture fuzz target (fuzz/corpus/picture/), pixel by pixel.

Run from anywhere: python3 imaging/tests/make_pictures.py
"""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "fuzz", "corpus",
                   "picture")


def bmp(width, height, bits, colors, rows):
    """rows top-down; palette indexes for <= 8 bits, indexes into colors for 24 bits."""
    stride = (width * bits + 31) // 32 * 4
    data = b""
    for row in reversed(rows):
        line = bytearray(stride)
        for x, v in enumerate(row):
            if bits == 24:
                r, g, b = colors[v]
                line[3 * x:3 * x + 3] = bytes((b, g, r))
            else:
                bit = x * bits
                line[bit // 8] |= v << (8 - bits - bit % 8)
        data += bytes(line)
    palette = b"".join(bytes((b, g, r, 0)) for (r, g, b) in colors) if bits <= 8 else b""
    offset = 14 + 40 + len(palette)
    header = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835,
                       len(colors) if bits <= 8 else 0, 0)
    return header + info + palette + data


def gif(width, height, table_bits, colors, rows):
    """GIF87a whose LZW stream clears often enough that the code width never grows."""
    colors = list(colors) + [(0, 0, 0)] * ((1 << table_bits) - len(colors))
    out = b"GIF87a" + struct.pack("<HHBBB", width, height, 0x80 | (table_bits - 1), 0, 0)
    out += b"".join(bytes(c) for c in colors)
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    min_code = max(2, table_bits)
    clear, end, nbits = 1 << min_code, (1 << min_code) + 1, min_code + 1
    run = (1 << min_code) - 2
    codes, count = [], run
    for row in rows:
        for v in row:
            if count == run:
                codes.append(clear)
                count = 0
            codes.append(v)
            count += 1
    codes.append(end)
    acc = filled = 0
    lzw = bytearray()
    for c in codes:
        acc |= c << filled
        filled += nbits
        while filled >= 8:
            lzw.append(acc & 0xFF)
            acc >>= 8
            filled -= 8
    if filled:
        lzw.append(acc)
    out += bytes((min_code,))
    for i in range(0, len(lzw), 255):
        chunk = lzw[i:i + 255]
        out += bytes((len(chunk),)) + bytes(chunk)
    return out + b"\x00\x3b"


def wbmp(width, height, rows):
    out = bytearray((0, 0, width, height))
    for row in rows:
        line = bytearray((width + 7) // 8)
        for x, v in enumerate(row):
            if v:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def tga(width, height, rows):
    out = bytes((0, 0, 2)) + bytes(9) + struct.pack("<HHBB", width, height, 24, 0)
    for row in reversed(rows):
        out += b"".join(bytes((b, g, r)) for (r, g, b) in row)
    return out


def main():
    os.makedirs(OUT, exist_ok=True)
    checker = [[(x + y) % 2 for x in range(9)] for y in range(4)]
    ramp = [[(x * 32 + y * 8) % 256 for x in range(8)] for y in range(4)]
    greys = [(i, i, i) for i in range(256)]
    files = {
        "one_bit.bmp": bmp(9, 4, 1, [(0, 0, 0), (255, 255, 255)], checker),
        "four_bit.bmp": bmp(5, 3, 4, [(0, 0, 0), (128, 128, 128), (250, 250, 250)],
                            [[0, 1, 2, 1, 0], [2, 1, 0, 1, 2], [1, 1, 1, 1, 1]]),
        "eight_bit.bmp": bmp(8, 4, 8, greys, ramp),
        "rgb.bmp": bmp(3, 2, 24, [(255, 0, 0), (0, 255, 0), (0, 0, 255)], [[0, 1, 2], [2, 1, 0]]),
        "grey.gif": gif(4, 3, 2, [(0, 0, 0), (128, 128, 128), (200, 200, 200), (255, 255, 255)],
                        [[0, 1, 2, 3], [3, 2, 1, 0], [1, 1, 2, 2]]),
        "one_bit.gif": gif(9, 2, 1, [(0, 0, 0), (255, 255, 255)], checker[:2]),
        "logo.wbmp": wbmp(9, 2, checker[:2]),
        "logo.tga": tga(2, 2, [[(255, 255, 255), (0, 0, 0)], [(90, 90, 90), (200, 10, 10)]]),
    }
    for name, data in files.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
