#!/usr/bin/env python3
"""Draws Ambrel's application icon and writes it as a Windows .ico file.

The picture is a cardboard box with a red "remove" badge, drawn from a few
polygons and a circle in unit coordinates and sampled at 16x16, 32x32 and
48x48 pixels. Each image is stored as an 8-bit palette bitmap with its
transparency mask, a form every 32-bit Windows shows. The output depends only
on this script, so running it again gives the same bytes:

    python3 make_icon.py ambrel.ico
"""
import struct
import sys

SIZES = (16, 32, 48)

# Palette index -> (red, green, blue). Index 0 is the transparent background.
PALETTE = [
    (0, 0, 0),        # 0 background (masked out)
    (74, 45, 18),     # 1 outline
    (206, 152, 84),   # 2 box front
    (232, 190, 122),  # 3 box lid
    (168, 112, 52),   # 4 box side
    (242, 226, 178),  # 5 tape
    (204, 32, 32),    # 6 badge
    (255, 255, 255),  # 7 badge bar
    (118, 8, 8),      # 8 badge rim
]

# Shapes in unit coordinates, x to the right and y downwards.
LID = [(0.06, 0.34), (0.22, 0.12), (0.96, 0.12), (0.80, 0.34)]
SIDE = [(0.80, 0.34), (0.96, 0.12), (0.96, 0.74), (0.80, 0.94)]
FRONT = [(0.06, 0.34), (0.80, 0.34), (0.80, 0.94), (0.06, 0.94)]
TAPE = [(0.36, 0.34), (0.50, 0.12), (0.62, 0.12), (0.48, 0.34)]
BADGE_CENTRE = (0.69, 0.69)
BADGE_RADIUS = 0.27
BAR = (0.53, 0.645, 0.85, 0.735)  # left, top, right, bottom


def inside_polygon(x, y, points):
    """Even-odd rule: whether (x, y) lies inside the polygon."""
    result = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y):
            if x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
        j = i
    return result


def inside_badge(x, y, radius=BADGE_RADIUS):
    cx, cy = BADGE_CENTRE
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(x, y):
    """Palette index of the picture at unit point (x, y), outlines aside."""
    if inside_badge(x, y):
        left, top, right, bottom = BAR
        if left <= x <= right and top <= y <= bottom:
            return 7
        return 6
    if inside_polygon(x, y, TAPE):
        return 5
    if inside_polygon(x, y, FRONT):
        return 2
    if inside_polygon(x, y, LID):
        return 3
    if inside_polygon(x, y, SIDE):
        return 4
    return 0


def draw(size):
    """Rows of palette indexes, top row first."""
    def sample(px, py):
        if px < 0 or py < 0 or px >= size or py >= size:
            return 0
        return colour_at((px + 0.5) / size, (py + 0.5) / size)

    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            c = sample(px, py)
            if c != 0:
                badge = c in (6, 7)
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    n = sample(px + dx, py + dy)
                    # The box gets a rim where it meets the background, the
                    # badge wherever it meets anything else.
                    edge = (n not in (6, 7)) if badge else (n == 0)
                    if edge:
                        c = 8 if badge else 1
                        break
            row.append(c)
        rows.append(row)
    return rows


def image_bytes(size):
    """One icon image: BITMAPINFOHEADER, 256-entry palette, pixels, mask."""
    rows = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 8, 0, 0, 0, 0, 0, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    palette += b'\0' * (4 * (256 - len(PALETTE)))
    pixels = b''
    mask = b''
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):  # bitmaps are stored bottom row first
        pixels += bytes(row)  # 8-bit rows of 16, 32 or 48 bytes need no padding
        bits = bytearray(mask_stride)
        for px, c in enumerate(row):
            if c == 0:
                bits[px // 8] |= 0x80 >> (px % 8)
        mask += bytes(bits)
    return header + palette + pixels + mask


def icon_file():
    images = [image_bytes(size) for size in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def main():
    if len(sys.argv) != 2:
        sys.stderr.write('usage: make_icon.py OUTPUT.ico\n')
        return 2
    with open(sys.argv[1], 'wb') as f:
        f.write(icon_file())
    return 0


if __name__ == '__main__':
    sys.exit(main())
