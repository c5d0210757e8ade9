#!/usr/bin/env python3
"""Draws the built-in pictures of the upgrade dialogs as 16-colour PNG files.

    python3 draw_pictures.py     # writes wizard_side.png, upgrade_question.png, password.png

The pictures use the classic 16-colour palette; the two icons also have a transparent colour.
Run it again after changing a drawing and commit the PNG files with it.
"""
import math
import os
import struct
import zlib

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)
CLEAR = 16  # transparent, icons only


class Canvas:
    def __init__(self, width, height, ground):
        self.w, self.h = width, height
        self.px = [[ground] * width for _ in range(height)]

    def set(self, x, y, c):
        x, y = int(round(x)), int(round(y))
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, light, dark):
        for x in range(x0, x1 + 1):
            self.set(x, y0, light)
            self.set(x, y1, dark)
        for y in range(y0, y1 + 1):
            self.set(x0, y, light)
            self.set(x1, y, dark)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def ring(self, cx, cy, r, c):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                d = math.hypot(x - cx, y - cy)
                if r - 0.5 <= d < r + 0.5:
                    self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c, thick=1):
        steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(steps + 1):
            t = i / steps
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            for dy in range(thick):
                for dx in range(thick):
                    self.set(x + dx, y + dy, c)

    def polygon(self, points, c):
        ys = [p[1] for p in points]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            xs = []
            n = len(points)
            for i in range(n):
                (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
                if (ya <= y < yb) or (yb <= y < ya):
                    xs.append(xa + (y - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for k in range(0, len(xs) - 1, 2):
                for x in range(int(math.ceil(xs[k])), int(math.floor(xs[k + 1])) + 1):
                    self.set(x, y, c)

    def write_png(self, path, transparent):
        colours = PALETTE + ([(255, 255, 255)] if transparent else [])
        raw = b"".join(b"\x00" + bytes(row) for row in self.px)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        png = b"\x89PNG\r\n\x1a\n"
        png += chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 3, 0, 0, 0))
        png += chunk(b"PLTE", b"".join(bytes(c) for c in colours))
        if transparent:
            png += chunk(b"tRNS", b"\xff" * 16 + b"\x00")
        png += chunk(b"IDAT", zlib.compress(raw, 9))
        png += chunk(b"IEND", b"")
        with open(path, "wb") as f:
            f.write(png)


def globe(cv, cx, cy, r):
    """An ocean ball with continents, a meridian grid and a highlight."""
    cv.disc(cx, cy, r, BLUE)
    blobs = [(-0.35, -0.35, 0.33), (-0.15, 0.05, 0.22), (0.35, -0.1, 0.3), (0.2, 0.45, 0.2),
             (-0.45, 0.4, 0.15), (0.5, 0.25, 0.14)]
    for bx, by, br in blobs:
        for y in range(int(cy - r), int(cy + r) + 1):
            for x in range(int(cx - r), int(cx + r) + 1):
                inside = (x - cx) ** 2 + (y - cy) ** 2 <= (r - 0.5) ** 2
                if inside and (x - cx - bx * r) ** 2 + (y - cy - by * r) ** 2 <= (br * r) ** 2:
                    cv.set(x, y, GREEN if (x + y) % 5 else LIME)
    if r >= 10:
        for k in (-0.5, 0.5):
            rx = abs(k) * r
            for i in range(200):
                a = math.pi * i / 199 - math.pi / 2
                cv.set(cx + rx * math.cos(a) * (1 if k > 0 else -1), cy + r * math.sin(a), AQUA)
        for k in (-0.5, 0, 0.5):
            y = cy + k * r
            half = math.sqrt(max(0.0, r * r - (k * r) ** 2))
            cv.line(cx - half, y, cx + half, y, AQUA)
        cv.line(cx, cy - r, cx, cy + r, AQUA)
    cv.ring(cx, cy, r, NAVY)
    cv.disc(cx - r * 0.45, cy - r * 0.5, max(1.0, r * 0.12), WHITE)


def compact_disc(cv, cx, cy, r):
    cv.disc(cx, cy, r, SILVER)
    cv.polygon([(cx, cy), (cx + r, cy - r * 0.6), (cx + r, cy + r * 0.1)], AQUA)
    cv.polygon([(cx, cy), (cx - r, cy + r * 0.6), (cx - r, cy - r * 0.1)], FUCHSIA)
    cv.disc(cx, cy, r * 0.85, SILVER)
    cv.polygon([(cx, cy), (cx + r * 0.8, cy - r * 0.5), (cx + r * 0.85, cy)], WHITE)
    cv.ring(cx, cy, r, GRAY)
    cv.disc(cx, cy, r * 0.3, WHITE)
    cv.ring(cx, cy, r * 0.3, GRAY)
    cv.disc(cx, cy, r * 0.12, TEAL)


def floppy(cv, x, y, size, body, label):
    cv.rect(x, y, x + size, y + size, body)
    cv.rect(x + size // 4, y, x + size * 3 // 4, y + size * 3 // 8, SILVER)
    cv.rect(x + size // 2, y + 1, x + size * 5 // 8, y + size * 5 // 16, body)
    cv.rect(x + 2, y + size // 2, x + size - 2, y + size - 1, label)
    for k in range(y + size // 2 + 2, y + size - 1, 3):
        cv.line(x + 4, k, x + size - 4, k, GRAY)
    cv.frame(x, y, x + size, y + size, GRAY, BLACK)


def wizard_side():
    cv = Canvas(118, 218, TEAL)
    # A faint diagonal weave on the ground.
    for y in range(218):
        for x in range(118):
            if (x + y) % 12 == 0 and (x // 6 + y // 6) % 2 == 0:
                cv.set(x, y, GRAY)
    # Cable from the back of the computer down to the globe.
    cable = [(46, 104), (40, 118), (26, 126), (20, 140), (34, 150), (58, 146)]
    for (xa, ya), (xb, yb) in zip(cable, cable[1:]):
        cv.line(xa, ya, xb, yb, BLACK, 2)
    cv.rect(54, 142, 62, 148, GRAY)
    # Desktop case.
    cv.rect(8, 84, 84, 104, SILVER)
    cv.frame(8, 84, 84, 104, WHITE, GRAY)
    cv.rect(14, 90, 40, 92, BLACK)       # floppy slot
    cv.rect(14, 96, 40, 98, GRAY)        # disc drive
    cv.rect(72, 96, 75, 98, LIME)        # power light
    cv.rect(60, 90, 80, 91, GRAY)
    # Monitor on top.
    cv.polygon([(36, 78), (56, 78), (62, 84), (30, 84)], GRAY)
    cv.rect(12, 22, 80, 78, SILVER)
    cv.frame(12, 22, 80, 78, WHITE, GRAY)
    cv.rect(18, 28, 74, 70, NAVY)
    cv.frame(18, 28, 74, 70, GRAY, WHITE)
    cv.rect(22, 32, 50, 36, BLUE)        # window title
    cv.rect(22, 37, 50, 52, WHITE)
    for k in range(40, 51, 3):
        cv.line(24, k, 46, k, GRAY)
    cv.rect(54, 42, 70, 48, AQUA)        # progress bar
    cv.rect(54, 42, 64, 48, BLUE)
    cv.rect(72, 74, 75, 75, LIME)
    # Keyboard.
    cv.polygon([(10, 108), (82, 108), (88, 116), (4, 116)], SILVER)
    for kx in range(10, 82, 5):
        cv.rect(kx, 110, kx + 2, 111, GRAY)
        cv.rect(kx - 2, 113, kx, 114, GRAY)
    # Two compact discs and floppy disks beside the computer.
    compact_disc(cv, 99, 36, 12)
    compact_disc(cv, 103, 62, 11)
    floppy(cv, 90, 80, 18, NAVY, WHITE)
    floppy(cv, 96, 100, 16, BLACK, YELLOW)
    # The globe below, on its stand.
    globe(cv, 59, 178, 30)
    cv.polygon([(48, 210), (70, 210), (76, 216), (42, 216)], GRAY)
    cv.line(59, 208, 59, 210, GRAY, 2)
    return cv


def upgrade_question():
    cv = Canvas(32, 32, CLEAR)
    # Clipboard board and paper.
    cv.rect(3, 3, 24, 30, OLIVE)
    cv.frame(3, 3, 24, 30, YELLOW, MAROON)
    cv.rect(6, 6, 21, 28, WHITE)
    cv.frame(6, 6, 21, 28, WHITE, GRAY)
    for y in range(11, 27, 3):
        cv.line(8, y, 19, y, SILVER)
    # Clip.
    cv.rect(9, 1, 18, 5, SILVER)
    cv.frame(9, 1, 18, 5, WHITE, GRAY)
    cv.rect(12, 0, 15, 1, GRAY)
    # Red tick.
    cv.line(8, 17, 12, 22, RED, 2)
    cv.line(12, 22, 20, 9, RED, 2)
    # Small globe.
    globe(cv, 25, 25, 6)
    return cv


def password():
    cv = Canvas(32, 32, CLEAR)
    # Key bow with its hole.
    cv.disc(9, 10, 7, YELLOW)
    cv.ring(9, 10, 7, OLIVE)
    cv.disc(7, 8, 2, CLEAR)
    cv.ring(7, 8, 2.2, OLIVE)
    # Shaft and bit.
    cv.polygon([(13, 13), (15, 11), (27, 23), (25, 25)], YELLOW)
    cv.line(15, 11, 27, 23, OLIVE)
    cv.line(13, 13, 25, 25, OLIVE)
    cv.polygon([(20, 22), (22, 20), (25, 23), (23, 25)], YELLOW)
    cv.line(22, 20, 25, 23, OLIVE)
    cv.polygon([(23, 25), (25, 23), (28, 26), (26, 28)], YELLOW)
    cv.line(26, 28, 28, 26, OLIVE)
    cv.set(10, 6, WHITE)
    cv.set(11, 7, WHITE)
    # Small globe.
    globe(cv, 8, 25, 6)
    return cv


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    wizard_side().write_png(os.path.join(here, "wizard_side.png"), False)
    upgrade_question().write_png(os.path.join(here, "upgrade_question.png"), True)
    password().write_png(os.path.join(here, "password.png"), True)
