#!/usr/bin/env python3
"""Draws the application icon, Muntara.ico: five equalizer bars on a rounded square, in three
blues, at 44, 32, 22 and 16 pixels, each a palettised 8-bit image with its transparency mask.

The build uses the committed Muntara.ico; run this only to change the design:
    python3 res/make_icon.py res/Muntara.ico
"""

import struct
import sys

SIZES = (44, 32, 22, 16)

TRANSPARENT, FRAME, SLOT, BAR = range(4)
# Palette entries as (red, green, blue); the rest of the 256 entries are black.
COLOURS = {
    TRANSPARENT: (0, 0, 0),
    FRAME: (0x1B, 0x3A, 0x8C),
    SLOT: (0x2E, 0x6B, 0xD6),
    BAR: (0x8C, 0xD2, 0xFF),
}
# How far each bar stands up its slot, from the left: the shape of an equalizer curve.
BAR_HEIGHTS = (0.55, 0.85, 0.45, 0.70, 0.35)


def inside_rounded_square(x, y, size):
    """Whether the centre of pixel (x, y) lies inside the rounded square filling the image."""
    radius = size * 0.22
    cx, cy = x + 0.5, y + 0.5
    nearest_x = min(max(cx, radius), size - radius)
    nearest_y = min(max(cy, radius), size - radius)
    return (cx - nearest_x) ** 2 + (cy - nearest_y) ** 2 <= radius**2


def bar_columns(size):
    """The first and last column + 1 of each of the five bars, centred in the image."""
    width = round(size / 10)
    gap = max(1, round(size / 14))
    left = (size - (5 * width + 4 * gap)) // 2
    return [(left + i * (width + gap), left + i * (width + gap) + width) for i in range(5)]


def draw(size):
    """The image as rows of palette indices, top row first."""
    pixels = [[FRAME if inside_rounded_square(x, y, size) else TRANSPARENT for x in range(size)]
              for y in range(size)]
    top = round(size * 0.2)
    bottom = size - top
    for (first, end), height in zip(bar_columns(size), BAR_HEIGHTS):
        bar_top = bottom - max(1, round((bottom - top) * height))
        for y in range(top, bottom):
            for x in range(first, end):
                pixels[y][x] = BAR if y >= bar_top else SLOT
    return pixels


def padded(row_bytes):
    """A bitmap row, padded to a multiple of four bytes."""
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def mask_row(row):
    """One row of the 1-bit AND mask: set where the pixel is transparent."""
    bits = bytearray((len(row) + 7) // 8)
    for x, index in enumerate(row):
        if index == TRANSPARENT:
            bits[x // 8] |= 0x80 >> (x % 8)
    return padded(bytes(bits))


def icon_image(size):
    """One icon image: the bitmap header (twice the height: colour rows, then mask rows),
    the palette, the colour rows and the mask rows, each bottom row first."""
    pixels = draw(size)
    colour = b"".join(padded(bytes(row)) for row in reversed(pixels))
    mask = b"".join(mask_row(row) for row in reversed(pixels))
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 8, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", *reversed(COLOURS.get(i, (0, 0, 0))), 0)
                       for i in range(256))
    return header + palette + colour + mask


def icon_file(sizes):
    """The .ico file: directory, one entry a size (256 colours are written as 0), the images."""
    images = [icon_image(size) for size in sizes]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, image in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "Muntara.ico"
    with open(path, "wb") as out:
        out.write(icon_file(SIZES))


if __name__ == "__main__":
    main()
