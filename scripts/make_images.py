#!/usr/bin/env python3
"""Draws the utility's own images into data/: the window logo (logo.bmp), the Reset and Close
button icons (reset.png, close.png) and the application icon (kestrix.png).

Standard library only. Run from anywhere: python3 scripts/make_images.py [output folder]
"""

import math
import struct
import sys
import zlib
from pathlib import Path

RED = (255, 0, 0, 255)
DARK_RED = (150, 0, 0, 255)
BLACK = (0, 0, 0, 255)
ORANGE = (230, 110, 20, 255)
CROSS_RED = (200, 35, 35, 255)
SUBSAMPLES = 4  # per axis, for smooth edges


class Canvas:
    """An RGBA picture that shapes are painted onto with anti-aliased edges."""

    def __init__(self, width, height, background=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.pixels = [[list(background) for _ in range(width)] for _ in range(height)]

    def paint(self, inside, colour):
        """Blends `colour` over every pixel in proportion to how much of it `inside` covers."""
        step = 1.0 / SUBSAMPLES
        offsets = [(i + 0.5) * step for i in range(SUBSAMPLES)]
        for y in range(self.height):
            for x in range(self.width):
                hits = sum(inside(x + dx, y + dy) for dy in offsets for dx in offsets)
                if hits:
                    self._blend(x, y, colour, hits / SUBSAMPLES**2)

    def _blend(self, x, y, colour, coverage):
        pixel = self.pixels[y][x]
        alpha = colour[3] / 255.0 * coverage
        rest = pixel[3] / 255.0 * (1.0 - alpha)
        total = alpha + rest
        for i in range(3):
            pixel[i] = round((colour[i] * alpha + pixel[i] * rest) / total) if total else 0
        pixel[3] = round(total * 255)


# ---- shapes: functions (x, y) -> bool ----------------------------------------------------

def polygon(points):
    """Even-odd point-in-polygon test."""
    def inside(x, y):
        result = False
        for (x1, y1), (x2, y2) in zip(points, points[1:] + points[:1]):
            if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                result = not result
        return result
    return inside


def union(*shapes):
    return lambda x, y: any(shape(x, y) for shape in shapes)


def difference(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


def skewed(shape, slant, centre_y):
    """Leans a shape to the right by `slant` pixels per pixel above `centre_y` (italic)."""
    return lambda x, y: shape(x - slant * (centre_y - y), y)


def rounded_rect(left, top, right, bottom, radius):
    def inside(x, y):
        if not (left <= x <= right and top <= y <= bottom):
            return False
        cx = min(max(x, left + radius), right - radius)
        cy = min(max(y, top + radius), bottom - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius**2
    return inside


def frame(left, top, right, bottom, radius, width):
    outer = rounded_rect(left, top, right, bottom, radius)
    inner = rounded_rect(left + width, top + width, right - width, bottom - width,
                         max(radius - width, 0))
    return difference(outer, inner)


def capsule(x1, y1, x2, y2, radius):
    """A thick line with round ends."""
    dx, dy = x2 - x1, y2 - y1
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / length2))
        return (x - x1 - t * dx) ** 2 + (y - y1 - t * dy) ** 2 <= radius**2
    return inside


def ring_arc(cx, cy, r_inner, r_outer, start_deg, end_deg):
    """Part of a ring, angles counter-clockwise from the right, start <= angle <= end."""
    def inside(x, y):
        r = math.hypot(x - cx, y - cy)
        if not r_inner <= r <= r_outer:
            return False
        angle = math.degrees(math.atan2(cy - y, x - cx)) % 360.0
        return (angle - start_deg) % 360.0 <= (end_deg - start_deg) % 360.0
    return inside


# ---- seven-segment digits ----------------------------------------------------------------

SEGMENTS_OF = {
    "0": "abcdef", "1": "bc", "2": "abdeg", "3": "abcdg", "4": "bcfg",
    "5": "acdfg", "6": "acdefg", "7": "abc", "8": "abcdefg", "9": "abcdfg",
}


def segment(x1, y1, x2, y2, thickness):
    """A segment with pointed ends between two centre-line points (horizontal or vertical)."""
    h = thickness / 2
    if y1 == y2:
        return polygon([(x1, y1), (x1 + h, y1 - h), (x2 - h, y1 - h),
                        (x2, y1), (x2 - h, y1 + h), (x1 + h, y1 + h)])
    return polygon([(x1, y1), (x1 + h, y1 + h), (x1 + h, y2 - h),
                    (x1, y2), (x1 - h, y2 - h), (x1 - h, y1 + h)])


def seven_segment(char, left, top, width, height, thickness):
    """The lit segments of one digit in the box (left, top, width, height)."""
    gap = thickness * 0.3
    xl, xr = left + thickness / 2, left + width - thickness / 2
    yt, ym, yb = top + thickness / 2, top + height / 2, top + height - thickness / 2
    lines = {
        "a": (xl + gap, yt, xr - gap, yt), "g": (xl + gap, ym, xr - gap, ym),
        "d": (xl + gap, yb, xr - gap, yb),
        "f": (xl, yt + gap, xl, ym - gap), "b": (xr, yt + gap, xr, ym - gap),
        "e": (xl, ym + gap, xl, yb - gap), "c": (xr, ym + gap, xr, yb - gap),
    }
    return union(*(segment(*lines[s], thickness) for s in SEGMENTS_OF[char]))


def colon(centre_x, top, height, size):
    """Two square dots at one third and two thirds of the digit height."""
    h = size / 2
    dots = [top + height / 3, top + height * 2 / 3]
    return union(*(polygon([(centre_x - h, y - h), (centre_x + h, y - h),
                            (centre_x + h, y + h), (centre_x - h, y + h)]) for y in dots))


def digit_row(text, left, top, width, height, thickness, gap, colon_width):
    """Digits and colons of `text` laid out from `left`."""
    shapes, x = [], left
    for char in text:
        if char == ":":
            shapes.append(colon(x + colon_width / 2, top, height, thickness))
            x += colon_width
        else:
            shapes.append(seven_segment(char, x, top, width, height, thickness))
            x += width + gap
    return union(*shapes)


def row_width(text, width, gap, colon_width):
    total = 0.0
    for i, char in enumerate(text):
        following_digit = i + 1 < len(text) and text[i + 1] != ":"
        if char == ":":
            total += colon_width
        else:
            total += width + (gap if following_digit else 0)
    return total


# ---- a 3 x 5 pixel font for the name under the logo's digits -----------------------------

GLYPHS = {
    "K": ["1.1", "1.1", "11.", "1.1", "1.1"], "E": ["111", "1..", "11.", "1..", "111"],
    "S": ["111", "1..", "111", "..1", "111"], "T": ["111", ".1.", ".1.", ".1.", ".1."],
    "R": ["11.", "1.1", "11.", "1.1", "1.1"], "I": ["111", ".1.", ".1.", ".1.", "111"],
    "X": ["1.1", "1.1", ".1.", "1.1", "1.1"],
}


def pixel_text(text, left, top):
    """Cells of `text` in the pixel font, one pixel per cell, one blank column between letters."""
    cells = set()
    for i, char in enumerate(text):
        for row, bits in enumerate(GLYPHS[char]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    cells.add((left + 4 * i + col, top + row))
    return lambda x, y: (int(x), int(y)) in cells


# ---- the pictures ------------------------------------------------------------------------

def logo():
    """68 x 43: red "88:88" in italic seven segments over the name, in a thin frame."""
    canvas = Canvas(68, 43, BLACK)
    canvas.paint(frame(0.5, 0.5, 67.5, 42.5, 3, 1), DARK_RED)
    text, width, height, thickness, gap, colon_width = "88:88", 11, 23, 2.6, 2, 7
    left = (68 - row_width(text, width, gap, colon_width)) / 2 - 1
    digits = digit_row(text, left, 5, width, height, thickness, gap, colon_width)
    canvas.paint(skewed(digits, 0.12, 16.5), RED)
    name = "KESTRIX"
    canvas.paint(pixel_text(name, (68 - (4 * len(name) - 1)) // 2, 33), RED)
    return canvas


def app_icon():
    """64 x 64: red "88" in italic seven segments on a black rounded square."""
    canvas = Canvas(64, 64)
    canvas.paint(rounded_rect(0, 0, 64, 64, 10), BLACK)
    canvas.paint(frame(1.5, 1.5, 62.5, 62.5, 9, 1.5), DARK_RED)
    width, height, thickness, gap = 20, 38, 5, 5
    left = (64 - row_width("88", width, gap, 0)) / 2 - 1
    digits = digit_row("88", left, 13, width, height, thickness, gap, 0)
    canvas.paint(skewed(digits, 0.1, 32), RED)
    return canvas


def reset_icon():
    """24 x 24: an open ring with an arrow head, turning counter-clockwise."""
    canvas = Canvas(24, 24)
    cx, cy, r_inner, r_outer, end = 12, 12.5, 5.2, 8.2, 15.0
    canvas.paint(ring_arc(cx, cy, r_inner, r_outer, 80.0, end), ORANGE)
    mid, theta = (r_inner + r_outer) / 2, math.radians(end)
    radial = (math.cos(theta), -math.sin(theta))
    tangent = (-math.sin(theta), -math.cos(theta))
    base = (cx + mid * radial[0], cy + mid * radial[1])
    head = [(base[0] + 4.6 * radial[0], base[1] + 4.6 * radial[1]),
            (base[0] - 4.6 * radial[0], base[1] - 4.6 * radial[1]),
            (base[0] + 5.5 * tangent[0], base[1] + 5.5 * tangent[1])]
    canvas.paint(polygon(head), ORANGE)
    return canvas


def close_icon():
    """24 x 24: a cross of two round-ended bars."""
    canvas = Canvas(24, 24)
    cross = union(capsule(6, 6, 18, 18, 2.2), capsule(18, 6, 6, 18, 2.2))
    canvas.paint(cross, CROSS_RED)
    return canvas


# ---- file formats ------------------------------------------------------------------------

def bmp_bytes(canvas):
    """24-bit uncompressed Windows bitmap: rows bottom-up, BGR, padded to 4 bytes."""
    row_size = (canvas.width * 3 + 3) // 4 * 4
    padding = bytes(row_size - canvas.width * 3)
    rows = b"".join(
        b"".join(bytes((p[2], p[1], p[0])) for p in row) + padding
        for row in reversed(canvas.pixels))
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0,
                       len(rows), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return header + info + rows


def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png_bytes(canvas):
    """8-bit RGBA PNG, no filtering."""
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in canvas.pixels)
    ihdr = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr)
            + png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


PICTURES = [
    ("logo.bmp", logo, bmp_bytes),
    ("kestrix.png", app_icon, png_bytes),
    ("reset.png", reset_icon, png_bytes),
    ("close.png", close_icon, png_bytes),
]


def main():
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "data"
    folder.mkdir(parents=True, exist_ok=True)
    for name, draw, encode in PICTURES:
        (folder / name).write_bytes(encode(draw()))
        print(folder / name)


if __name__ == "__main__":
    main()
