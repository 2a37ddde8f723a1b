#!/usr/bin/env python3
"""Draws the application's pictures: the globe (green land on a blue sea with
a black outline) at 16, 32, 48, 64, 128 and 256 pixels in 16 colours, its
scalable version, and
the 15 x 15 no-entry picture of the cancel button. Run it from anywhere; it
writes beside itself. Needs nothing beyond Python's standard library."""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# Palette index 0 is transparent.
TRANSPARENT, BLACK, SEA, LAND, RED, WHITE, SEA_DARK, LAND_DARK = range(8)
PALETTE = [
    (0, 0, 0), (0, 0, 0), (0, 0, 255), (0, 128, 0),
    (255, 0, 0), (255, 255, 255), (0, 0, 128), (0, 96, 0),
]

# The continents, as ellipses on the unit disc: centre x, centre y, radius x,
# radius y, rotation in degrees. The scalable picture draws the same shapes.
CONTINENTS = [
    (-0.38, -0.30, 0.30, 0.42, -25),
    (-0.12, 0.38, 0.20, 0.34, 20),
    (0.42, -0.05, 0.26, 0.46, 10),
    (0.30, 0.62, 0.22, 0.14, 0),
]


def on_land(x, y):
    for cx, cy, rx, ry, angle in CONTINENTS:
        a = math.radians(angle)
        dx, dy = x - cx, y - cy
        u = dx * math.cos(a) + dy * math.sin(a)
        v = -dx * math.sin(a) + dy * math.cos(a)
        if (u / rx) ** 2 + (v / ry) ** 2 <= 1.0:
            return True
    return False


def globe(size):
    rows = []
    centre = (size - 1) / 2.0
    radius = size / 2.0 - 0.5
    outline = max(1.0, size / 16.0)
    for j in range(size):
        row = []
        for i in range(size):
            d = math.hypot(i - centre, j - centre)
            if d > radius:
                row.append(TRANSPARENT)
            elif d > radius - outline:
                row.append(BLACK)
            else:
                x, y = (i - centre) / radius, (j - centre) / radius
                land = on_land(x, y)
                # A darker rim on the lower right gives the ball some depth.
                shade = (x + y) / math.sqrt(2) > 0.55 and d > radius * 0.8
                if land:
                    row.append(LAND_DARK if shade else LAND)
                else:
                    row.append(SEA_DARK if shade else SEA)
        rows.append(row)
    return rows


def no_entry(size=15):
    rows = []
    centre = (size - 1) / 2.0
    radius = size / 2.0
    for j in range(size):
        row = []
        for i in range(size):
            if math.hypot(i - centre, j - centre) > radius - 0.25:
                row.append(TRANSPARENT)
            elif abs(j - centre) <= 1 and abs(i - centre) <= radius - 3:
                row.append(WHITE)
            else:
                row.append(RED)
        rows.append(row)
    return rows


def write_png(path, rows):
    height, width = len(rows), len(rows[0])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    # 4 bits a pixel: the 16-colour form of the original icons.
    raw = b""
    for row in rows:
        padded = row + [0] * (len(row) % 2)
        raw += b"\x00" + bytes(padded[k] << 4 | padded[k + 1] for k in range(0, len(padded), 2))
    palette = PALETTE + [(0, 0, 0)] * (16 - len(PALETTE))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 4, 3, 0, 0, 0))
    png += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    png += chunk(b"tRNS", b"\x00")
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(png)


def write_svg(path):
    def hex_colour(index):
        return "#%02x%02x%02x" % PALETTE[index]

    shapes = []
    for cx, cy, rx, ry, angle in CONTINENTS:
        shapes.append(
            '    <ellipse cx="%.1f" cy="%.1f" rx="%.1f" ry="%.1f" transform="rotate(%d %.1f %.1f)"/>'
            % (64 + cx * 60, 64 + cy * 60, rx * 60, ry * 60, angle, 64 + cx * 60, 64 + cy * 60))
    svg = """<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="128" height="128" viewBox="0 0 128 128">
  <title>Pelorin2</title>
  <defs>
    <clipPath id="disc"><circle cx="64" cy="64" r="60"/></clipPath>
  </defs>
  <circle cx="64" cy="64" r="60" fill="%s"/>
  <g clip-path="url(#disc)" fill="%s">
%s
  </g>
  <circle cx="64" cy="64" r="60" fill="none" stroke="%s" stroke-width="5"/>
</svg>
""" % (hex_colour(SEA), hex_colour(LAND), "\n".join(shapes), hex_colour(BLACK))
    with open(path, "w") as out:
        out.write(svg)


if __name__ == "__main__":
    # The sizes desktops look for in the hicolor theme.
    for size in (16, 32, 48, 64, 128, 256):
        write_png(os.path.join(HERE, "pelorin2-%d.png" % size), globe(size))
    write_png(os.path.join(HERE, "cancel.png"), no_entry())
    write_svg(os.path.join(HERE, "pelorin2.svg"))
