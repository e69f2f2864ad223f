#!/usr/bin/env python3
"""Writes kv218tool.ico: the serial plug of the window's Image1 on a blue tile, 16 and 32 px."""
import struct
import sys

# The plug seen from the side, as the window draws it; '.' is the tile.
PLUG = [
    "................",
    "................",
    ".........KK.....",
    ".........KWK....",
    "....KKKKKKSK....",
    "....KWWWWKSKKK..",
    "....KSSSSKSKSSKK",
    "KKKKKSSSSKSKSSSK",
    "NNNNKGGGGKSKSSSK",
    "KKKKKGGGGKSKSSKK",
    "....KGGGGKSKKK..",
    "....KKKKKKSK....",
    ".........KGK....",
    ".........KK.....",
    "................",
    "................",
]
COLOURS = {"K": (0, 0, 0), "N": (0x80, 0x80, 0x80), "G": (0x80, 0x80, 0x80),
           "S": (0xC0, 0xC0, 0xC0), "W": (0xFF, 0xFF, 0xFF)}
TILE = (0x30, 0x70, 0xD0)
EDGE = (0x10, 0x30, 0x80)


def pixel(size, x, y):
    """RGBA of the icon of that size at (x, y), y downwards."""
    scale = size // 16
    corner = 2 * scale
    # A tile with cut corners, its edge one scale-step wide.
    inside_x = min(x, size - 1 - x)
    inside_y = min(y, size - 1 - y)
    if inside_x + inside_y < corner - 1:
        return (0, 0, 0, 0)
    key = PLUG[y // scale][x // scale]
    if key in COLOURS:
        return COLOURS[key] + (255,)
    if inside_x < scale or inside_y < scale or inside_x + inside_y < corner:
        return EDGE + (255,)
    return TILE + (255,)


def image(size):
    """A BITMAPINFOHEADER image as an icon holds it: BGRA bottom-up, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for y in reversed(range(size)):
        row_mask = bytearray(mask_stride)
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            colour += bytes((b, g, r, a))
            if a == 0:
                row_mask[x // 8] |= 0x80 >> (x % 8)
        mask += row_mask
    return header + bytes(colour) + bytes(mask)


def main(path):
    sizes = [16, 32]
    images = [image(size) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])
