#!/usr/bin/env python3
"""Draws the program's pictures: the three button images (256 x 256 PNG with
alpha: a yellow folder, a network drive, a recycle bin) and the program icon.

    zeichnen.py OUTPUT_DIR

Shapes are signed distance functions in a 256 x 256 field; a pixel's cover is
taken from its distance to the shape's edge, so every size is drawn smoothly
from the same description (the icon's 16, 32 and 48 pixel pictures too).
Standard library only: the PNG is written with zlib, the icon as 32-bit DIBs.
"""
import math
import os
import struct
import sys
import zlib

# ---- shapes (distance < 0 inside), in units of the 256 field -------------------


def box(cx, cy, hw, hh, r=0.0):
    def d(x, y):
        qx = abs(x - cx) - hw + r
        qy = abs(y - cy) - hh + r
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
    return d, (cx - hw, cy - hh, cx + hw, cy + hh)


def circle(cx, cy, radius):
    return (lambda x, y: math.hypot(x - cx, y - cy) - radius), (cx - radius, cy - radius, cx + radius, cy + radius)


def polygon(points):
    n = len(points)

    def d(x, y):
        best = (x - points[0][0]) ** 2 + (y - points[0][1]) ** 2
        sign = 1.0
        j = n - 1
        for i in range(n):
            xi, yi = points[i]
            xj, yj = points[j]
            ex, ey = xj - xi, yj - yi
            wx, wy = x - xi, y - yi
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            bx, by = wx - ex * t, wy - ey * t
            best = min(best, bx * bx + by * by)
            c1 = y >= yi
            c2 = y < yj
            c3 = ex * wy > ey * wx
            if (c1 and c2 and c3) or (not c1 and not c2 and not c3):
                sign = -sign
            j = i
        return sign * math.sqrt(best)
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return d, (min(xs), min(ys), max(xs), max(ys))


def union(*shapes):
    return (lambda x, y: min(s[0](x, y) for s in shapes)), (
        min(s[1][0] for s in shapes), min(s[1][1] for s in shapes),
        max(s[1][2] for s in shapes), max(s[1][3] for s in shapes))


def outline(shape, width):
    return (lambda x, y: abs(shape[0](x, y)) - width / 2), (
        shape[1][0] - width, shape[1][1] - width, shape[1][2] + width, shape[1][3] + width)


def rounded(shape, r):
    return (lambda x, y: shape[0](x, y) - r), (shape[1][0] - r, shape[1][1] - r, shape[1][2] + r, shape[1][3] + r)


# ---- colours ------------------------------------------------------------------------


def rgb(text, alpha=1.0):
    return (int(text[0:2], 16) / 255, int(text[2:4], 16) / 255, int(text[4:6], 16) / 255, alpha)


def vertical(top, bottom, y0, y1):
    def colour(x, y):
        t = max(0.0, min(1.0, (y - y0) / (y1 - y0)))
        return tuple(a + (b - a) * t for a, b in zip(top, bottom))
    return colour


# ---- canvas ---------------------------------------------------------------------------


class Canvas:
    def __init__(self, size):
        self.size = size
        self.unit = 256.0 / size
        self.pixels = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]  # premultiplied

    def fill(self, shape, colour):
        distance, (x0, y0, x1, y1) = shape
        colour_at = colour if callable(colour) else (lambda x, y: colour)
        n, u = self.size, self.unit
        first_x, last_x = max(0, int(x0 / u) - 1), min(n - 1, int(x1 / u) + 1)
        first_y, last_y = max(0, int(y0 / u) - 1), min(n - 1, int(y1 / u) + 1)
        for py in range(first_y, last_y + 1):
            y = (py + 0.5) * u
            row = py * n
            for px in range(first_x, last_x + 1):
                x = (px + 0.5) * u
                cover = 0.5 - distance(x, y) / u
                if cover <= 0.0:
                    continue
                cover = min(cover, 1.0)
                r, g, b, a = colour_at(x, y)
                a *= cover
                p = self.pixels[row + px]
                keep = 1.0 - a
                p[0] = r * a + p[0] * keep
                p[1] = g * a + p[1] * keep
                p[2] = b * a + p[2] * keep
                p[3] = a + p[3] * keep

    def rgba(self):
        """The pixels with their alpha; the colour of a (partly) transparent
        pixel is the picture laid on the button face, so that a button that
        draws the bitmap without its alpha still shows a clean picture."""
        out = bytearray()
        for r, g, b, a in self.pixels:
            out += bytes(min(255, int(round((c + f * (1.0 - a)) * 255))) for c, f in zip((r, g, b), FACE))
            out.append(min(255, int(round(a * 255))))
        return bytes(out)


# ---- the pictures -----------------------------------------------------------------------

SHADOW = rgb("000000", 0.18)
FACE = (240 / 255, 240 / 255, 240 / 255)  # the system's button face


def folder(c):
    back = union(box(58, 66, 40, 16, 10), box(128, 124, 104, 64, 12))
    c.fill(rounded((lambda x, y: back[0](x - 4, y - 6), back[1]), 2), SHADOW)
    c.fill(back, vertical(rgb("e9a91d"), rgb("c9850e"), 50, 190))
    c.fill(box(128, 92, 92, 14, 6), rgb("fbf7ea"))  # a sheet of paper inside
    front = polygon([(24, 96), (232, 96), (244, 214), (12, 214)])
    front = rounded(front, 8)
    c.fill(front, vertical(rgb("ffd75e"), rgb("f2b526"), 96, 222))
    c.fill(outline(front, 5), rgb("b77a0c"))
    c.fill(box(128, 112, 100, 3), rgb("fff1b8", 0.9))  # light edge of the front


def network_drive(c):
    c.fill(box(132, 110, 100, 52, 16), SHADOW)
    body = box(128, 104, 100, 52, 16)
    c.fill(body, vertical(rgb("b9c2cc"), rgb("7c8894"), 52, 156))
    c.fill(outline(body, 5), rgb("4e5862"))
    c.fill(box(128, 76, 86, 8, 4), rgb("e6ebf0", 0.85))  # top highlight
    for i in range(5):  # slots
        c.fill(box(62 + i * 22, 118, 7, 22, 3), rgb("55606b"))
    c.fill(circle(206, 132, 11), rgb("2fd35a"))  # the activity light
    c.fill(outline(circle(206, 132, 11), 3), rgb("1b7a35"))
    c.fill(box(128, 178, 8, 24, 2), rgb("4e5862"))  # cable to the net
    c.fill(box(128, 206, 112, 8, 4), rgb("3b6fb6"))
    for x in (36, 128, 220):
        c.fill(circle(x, 206, 17), rgb("3b6fb6"))
        c.fill(circle(x, 206, 8), rgb("d9e6f7"))


def recycle_bin(c):
    body = rounded(polygon([(60, 76), (196, 76), (182, 232), (74, 232)]), 6)
    c.fill((lambda x, y: body[0](x - 5, y - 5), body[1]), SHADOW)
    c.fill(body, vertical(rgb("8fc0e8"), rgb("3f7fb8"), 76, 236))
    c.fill(outline(body, 5), rgb("234f7a"))
    for x0, x1 in ((92, 98), (128, 128), (164, 158)):  # ribs
        c.fill(rounded(polygon([(x0 - 5, 96), (x0 + 5, 96), (x1 + 5, 212), (x1 - 5, 212)]), 2), rgb("2d6296", 0.8))
    lid = box(128, 62, 84, 12, 6)
    c.fill(lid, vertical(rgb("b3d6f2"), rgb("5b97c9"), 50, 74))
    c.fill(outline(lid, 5), rgb("234f7a"))
    handle = box(128, 42, 26, 10, 6)
    c.fill(outline(handle, 8), rgb("234f7a"))
    # the recycling arrows: three short bent strokes round the middle
    for k in range(3):
        a = k * 2 * math.pi / 3 - math.pi / 2
        for s in range(12):
            t = a + s * 0.13
            c.fill(circle(128 + 34 * math.cos(t), 156 + 34 * math.sin(t), 6), rgb("ffffff", 0.95))
        tip = a + 12 * 0.13
        px, py = 128 + 34 * math.cos(tip), 156 + 34 * math.sin(tip)
        dx, dy = -math.sin(tip), math.cos(tip)
        nx, ny = math.cos(tip), math.sin(tip)
        c.fill(polygon([(px + nx * 14, py + ny * 14), (px - nx * 14, py - ny * 14), (px + dx * 16, py + dy * 16)]),
               rgb("ffffff", 0.95))


def icon(c):
    folder(c)
    arrow = polygon([(112, 200), (112, 148), (84, 148), (140, 84), (196, 148), (168, 148), (168, 200)])
    c.fill(rounded(arrow, 4), rgb("2e9e4a"))
    c.fill(outline(rounded(arrow, 4), 5), rgb("1b5e2c"))


# ---- files ----------------------------------------------------------------------------------


def png(size, rgba):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    rows = b"".join(b"\0" + rgba[y * size * 4:(y + 1) * size * 4] for y in range(size))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def dib(size, rgba):
    """One icon picture: BITMAPINFOHEADER (double height), BGRA rows bottom-up, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b, a = rgba[(y * size + x) * 4:(y * size + x) * 4 + 4]
            pixels += bytes((b, g, r, a))
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(stride)
        for x in range(size):
            if rgba[(y * size + x) * 4 + 3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(pixels) + bytes(mask)


def ico(pictures):
    head = struct.pack("<HHH", 0, 1, len(pictures))
    offset = 6 + 16 * len(pictures)
    entries, data = b"", b""
    for size, blob in pictures:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset + len(data))
        data += blob
    return head + entries + data


def write(path, data):
    try:
        with open(path, "rb") as old:
            if old.read() == data:
                return
    except OSError:
        pass
    with open(path, "wb") as new:
        new.write(data)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, draw in (("ordner.png", folder), ("netzlaufwerk.png", network_drive), ("papierkorb.png", recycle_bin)):
        c = Canvas(256)
        draw(c)
        write(os.path.join(out, name), png(256, c.rgba()))
    pictures = []
    for size in (48, 32, 16):
        c = Canvas(size)
        icon(c)
        pictures.append((size, dib(size, c.rgba())))
    write(os.path.join(out, "program.ico"), ico(pictures))


if __name__ == "__main__":
    main()
