#!/usr/bin/env python3
"""Draws the module's notice pictures and its icon; the build runs it, and anyone may rerun it.

Usage: draw_pictures.py OUTPUT_DIR

Writes into OUTPUT_DIR:
  ready-edition1.bmp, ready-edition2.bmp      a hand with its thumb up (a reader is capturing)
  waiting-edition1.bmp, waiting-edition2.bmp  an hourglass (no reader is capturing)
  notice.ico                                  the logo alone, 32 x 32, 16 colours

Every picture is 150 x 150, 24 bits, bottom-up, 3937 pixels per metre, with the logo in its upper
left corner and the name of its library edition along the bottom. Only the standard library is
used, and the output is the same byte for byte on every run.
"""

import os
import struct
import sys

SIZE = 150
SAMPLES = 4  # supersampling per axis, for smooth edges
PIXELS_PER_METRE = 3937  # 100 dpi

INK = (44, 44, 52)
SKIN = (246, 204, 160)
SKIN_EDGE = (170, 110, 70)
SLEEVE = (52, 98, 170)
SLEEVE_EDGE = (28, 60, 112)
WOOD = (150, 96, 52)
WOOD_EDGE = (96, 58, 28)
GLASS = (214, 234, 246)
GLASS_EDGE = (104, 132, 156)
SAND = (222, 178, 92)
LOGO_FIELD = (24, 62, 120)
LOGO_RIDGE = (255, 255, 255)

# The two moods: ready is fresh green, waiting a patient amber (top and bottom of the gradient).
READY_SKY = ((234, 247, 236), (192, 228, 198))
WAITING_SKY = ((253, 245, 226), (240, 218, 176))

# 5 x 7 capitals for the edition names; add a glyph here to use a new letter.
GLYPHS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    " ": ["00000"] * 7,
}

EDITION_NAMES = {1: "PAPYL 1", 2: "PAPYL 2"}


# --- Shapes: each knows its bounding box and whether a point lies inside it. ---

class RoundRect:
    def __init__(self, x0, y0, x1, y1, radius):
        self.x0, self.y0, self.x1, self.y1, self.r = x0, y0, x1, y1, radius
        self.box = (x0, y0, x1, y1)

    def contains(self, x, y):
        if not (self.x0 <= x <= self.x1 and self.y0 <= y <= self.y1):
            return False
        cx = min(max(x, self.x0 + self.r), self.x1 - self.r)
        cy = min(max(y, self.y0 + self.r), self.y1 - self.r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= self.r ** 2

    def inset(self, d):
        return RoundRect(self.x0 + d, self.y0 + d, self.x1 - d, self.y1 - d, max(self.r - d, 0))


class Capsule:
    """A segment from (ax, ay) to (bx, by) thickened to the given radius."""

    def __init__(self, ax, ay, bx, by, radius):
        self.a, self.b, self.r = (ax, ay), (bx, by), radius
        self.box = (min(ax, bx) - radius, min(ay, by) - radius,
                    max(ax, bx) + radius, max(ay, by) + radius)

    def contains(self, x, y):
        (ax, ay), (bx, by) = self.a, self.b
        dx, dy = bx - ax, by - ay
        length2 = dx * dx + dy * dy
        t = 0.0 if length2 == 0 else ((x - ax) * dx + (y - ay) * dy) / length2
        t = min(max(t, 0.0), 1.0)
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= self.r ** 2

    def inset(self, d):
        return Capsule(self.a[0], self.a[1], self.b[0], self.b[1], self.r - d)


class Polygon:
    def __init__(self, points):
        self.points = points
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.box = (min(xs), min(ys), max(xs), max(ys))

    def contains(self, x, y):
        inside = False
        pts = self.points
        for i, (x1, y1) in enumerate(pts):
            x2, y2 = pts[i - 1]
            if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                inside = not inside
        return inside


class Ring:
    def __init__(self, cx, cy, inner, outer):
        self.cx, self.cy, self.inner, self.outer = cx, cy, inner, outer
        self.box = (cx - outer, cy - outer, cx + outer, cy + outer)

    def contains(self, x, y):
        d2 = (x - self.cx) ** 2 + (y - self.cy) ** 2
        return self.inner ** 2 <= d2 <= self.outer ** 2


class Clipped:
    """The part of a shape that lies inside another."""

    def __init__(self, shape, clip):
        self.shape, self.clip = shape, clip
        a, b = shape.box, clip.box
        self.box = (max(a[0], b[0]), max(a[1], b[1]), min(a[2], b[2]), min(a[3], b[3]))

    def contains(self, x, y):
        return self.clip.contains(x, y) and self.shape.contains(x, y)


class Canvas:
    """RGB pixels, row 0 at the top; shapes are blended in by their sampled coverage."""

    def __init__(self, width, height, top_colour, bottom_colour):
        self.width, self.height = width, height
        self.rows = []
        for y in range(height):
            t = y / max(height - 1, 1)
            colour = tuple(round(a + (b - a) * t) for a, b in zip(top_colour, bottom_colour))
            self.rows.append([colour] * width)

    def fill(self, shape, colour):
        x0, y0, x1, y1 = (int(v) for v in shape.box)
        offsets = [(i + 0.5) / SAMPLES for i in range(SAMPLES)]
        for y in range(max(y0 - 1, 0), min(y1 + 2, self.height)):
            row = self.rows[y]
            for x in range(max(x0 - 1, 0), min(x1 + 2, self.width)):
                hits = sum(shape.contains(x + ox, y + oy) for oy in offsets for ox in offsets)
                if hits:
                    cover = hits / (SAMPLES * SAMPLES)
                    row[x] = tuple(round(o + (c - o) * cover) for o, c in zip(row[x], colour))

    def outlined(self, shape, edge, fill, width=1.5):
        self.fill(shape, edge)
        self.fill(shape.inset(width), fill)


# --- The pieces of every picture. ---

def draw_logo(canvas, x, y, size):
    """The product's logo: fingerprint ridges on a rounded navy tile."""
    tile = RoundRect(x, y, x + size, y + size, size * 0.2)
    canvas.fill(tile, LOGO_FIELD)
    inner = tile.inset(size * 0.1)
    cx, cy = x + size * 0.5, y + size * 0.58
    step = size * 0.14
    for i in range(4):
        ridge = Ring(cx, cy, step * (i + 0.55), step * (i + 1.0))
        canvas.fill(Clipped(ridge, inner), LOGO_RIDGE)


def draw_text(canvas, text, centre_x, top, scale, colour):
    width = len(text) * 6 * scale - scale
    left = centre_x - width / 2
    for n, char in enumerate(text):
        glyph = GLYPHS.get(char)
        if glyph is None:
            raise SystemExit(f"draw_pictures: no glyph for {char!r}; add one to GLYPHS")
        for row, bits in enumerate(glyph):
            for col, bit in enumerate(bits):
                if bit == "1":
                    gx = left + (n * 6 + col) * scale
                    gy = top + row * scale
                    canvas.fill(RoundRect(gx, gy, gx + scale, gy + scale, 0), colour)


def draw_thumb_up(canvas):
    canvas.outlined(RoundRect(32, 72, 52, 126, 3), SLEEVE_EDGE, SLEEVE)
    canvas.outlined(RoundRect(48, 68, 100, 124, 11), SKIN_EDGE, SKIN)
    canvas.outlined(Capsule(64, 76, 70, 34, 10), SKIN_EDGE, SKIN)
    canvas.fill(RoundRect(63, 26, 76, 36, 5), (252, 226, 204))  # the nail
    for finger_y in (76, 88, 100, 112):
        canvas.outlined(Capsule(76, finger_y, 106, finger_y, 6.5), SKIN_EDGE, SKIN)


def draw_hourglass(canvas):
    glass = Polygon([(64, 38), (100, 38), (100, 45), (84, 73), (84, 79), (100, 107),
                     (100, 114), (64, 114), (64, 107), (80, 79), (80, 73), (64, 45)])
    canvas.fill(glass, GLASS)
    points = glass.points
    for i, (x, y) in enumerate(points):
        px, py = points[i - 1]
        canvas.fill(Capsule(px, py, x, y, 1.2), GLASS_EDGE)
    canvas.fill(Polygon([(71, 55), (93, 55), (82, 73)]), SAND)
    canvas.fill(Capsule(82, 73, 82, 104, 1.0), SAND)
    canvas.fill(Polygon([(68, 112), (96, 112), (90, 102), (82, 96), (74, 102)]), SAND)
    for post_x in (54, 105):
        canvas.outlined(RoundRect(post_x, 34, post_x + 5, 118, 2), WOOD_EDGE, WOOD, 1.0)
    canvas.outlined(RoundRect(48, 28, 116, 39, 4), WOOD_EDGE, WOOD)
    canvas.outlined(RoundRect(48, 113, 116, 124, 4), WOOD_EDGE, WOOD)


def draw_picture(figure, sky, edition):
    canvas = Canvas(SIZE, SIZE, *sky)
    figure(canvas)
    draw_logo(canvas, 6, 6, 30)
    draw_text(canvas, EDITION_NAMES[edition], SIZE / 2, 133, 2, INK)
    return canvas


# --- File formats. ---

def bmp_bytes(canvas):
    """A 24-bit BI_RGB bitmap file: bottom-up rows, BGR, each row padded to 4 bytes."""
    stride = (canvas.width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(canvas.rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        pixels += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(pixels),
                       PIXELS_PER_METRE, PIXELS_PER_METRE, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


# The standard 16-colour palette of the icon.
PALETTE_16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
              (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
              (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


# The logo's edges blend navy into white; in 16 colours they read best as silver, not teal.
ICON_INKS = (4, 7, 15)


def nearest_icon_ink(colour):
    return min(ICON_INKS, key=lambda i: sum((a - b) ** 2 for a, b in zip(colour, PALETTE_16[i])))


def ico_bytes():
    """A one-image icon file: 32 x 32, 4 bits per pixel, transparent outside the logo's tile."""
    size = 32
    canvas = Canvas(size, size, (0, 0, 0), (0, 0, 0))
    draw_logo(canvas, 1, 1, 30)
    tile = RoundRect(1, 1, 31, 31, 6)
    colour_rows, mask_rows = [], []
    for y in reversed(range(size)):
        indices, mask_bits = [], 0
        for x in range(size):
            opaque = tile.contains(x + 0.5, y + 0.5)
            indices.append(nearest_icon_ink(canvas.rows[y][x]) if opaque else 0)
            if not opaque:
                mask_bits |= 1 << (size - 1 - x)
        colour_rows.append(bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2)))
        mask_rows.append(struct.pack(">I", mask_bits))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE_16)
    bits = b"".join(colour_rows) + b"".join(mask_rows)
    # The height counts the colour image and the mask together, as icon images do.
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(bits), 0, 0, 0, 0)
    image = info + palette + bits
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main(argv):
    if len(argv) != 2:
        raise SystemExit(__doc__)
    out = argv[1]
    os.makedirs(out, exist_ok=True)
    pictures = {
        "ready-edition1.bmp": (draw_thumb_up, READY_SKY, 1),
        "ready-edition2.bmp": (draw_thumb_up, READY_SKY, 2),
        "waiting-edition1.bmp": (draw_hourglass, WAITING_SKY, 1),
        "waiting-edition2.bmp": (draw_hourglass, WAITING_SKY, 2),
    }
    for name, (figure, sky, edition) in pictures.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(bmp_bytes(draw_picture(figure, sky, edition)))
    with open(os.path.join(out, "notice.ico"), "wb") as f:
        f.write(ico_bytes())


if __name__ == "__main__":
    main(sys.argv)
