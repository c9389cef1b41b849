#!/usr/bin/env python3
"""Writes the sample HUD's images into content/hud/ as 8-bit RGBA PNG files:
the crosshair, the health bar's frame and fill, the icon slot and four
icons. Shapes that are meant to be tinted by their display element are
white; the icons carry their own colours. Rows are written top first, as PNG
stores them."""
import os
import sys

from png_writer import write_png

CLEAR = (0, 0, 0, 0)
WHITE = (255, 255, 255, 255)


def crosshair(x, y):
    # Arms 3 to 8 texels from the middle and a one-texel dot on it.
    dx, dy = abs(x - 8), abs(y - 8)
    if (dx == 0 and (dy == 0 or dy >= 3)) or (dy == 0 and dx >= 3):
        return WHITE
    return CLEAR


def bar_frame(x, y):
    if x == 0 or y == 0 or x == 103 or y == 11:
        return WHITE
    return (0, 0, 0, 160)


def slot(x, y):
    if min(x, y, 19 - x, 19 - y) < 2:
        return WHITE
    return (255, 255, 255, 48)


def heart(x, y):
    cx, cy = x - 7.5, y - 7.5
    return (220, 40, 60, 255) if cx * cx + cy * cy <= 36 else CLEAR


def shield(x, y):
    return (60, 110, 230, 255) if abs(x - 7.5) + abs(y - 7.5) <= 7 else CLEAR


def key(x, y):
    cx, cy = x - 7.5, y - 7.5
    return (240, 200, 40, 255) if 9 <= cx * cx + cy * cy <= 42 else CLEAR


def potion(x, y):
    # A triangle standing on its base (the bottom rows).
    return (60, 200, 90, 255) if y >= 2 and abs(x - 7.5) <= (y - 1) / 2 else CLEAR


IMAGES = [
    ("crosshair.png", 17, 17, crosshair),
    ("bar_frame.png", 104, 12, bar_frame),
    ("bar_fill.png", 100, 8, lambda x, y: WHITE),
    ("slot.png", 20, 20, slot),
    ("icon_heart.png", 16, 16, heart),
    ("icon_shield.png", 16, 16, shield),
    ("icon_key.png", 16, 16, key),
    ("icon_potion.png", 16, 16, potion),
]


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "content", "hud")
    folder = sys.argv[1] if len(sys.argv) > 1 else root
    os.makedirs(folder, exist_ok=True)
    for name, width, height, texel in IMAGES:
        write_png(os.path.join(folder, name), width, height, texel)


if __name__ == "__main__":
    main()
