#!/usr/bin/env python3
"""Writes the sample's scorch mark into content/textures/scorch.png: a 64 x 64
RGBA image of a sooty blotch, darkest and most opaque in the middle, fading
to clear at a ragged edge, with a few streaks thrown outwards. Deterministic:
the same file every run, so the sample's reference picture stays put."""
import math
import os
import sys

from png_writer import write_png

SIZE = 64


def noise(x, y):
    """A fixed hash of the texel, 0 to 1."""
    h = (x * 374761393 + y * 668265263) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0


def scorch(x, y):
    dx = (x + 0.5) / SIZE * 2.0 - 1.0
    dy = (y + 0.5) / SIZE * 2.0 - 1.0
    distance = math.hypot(dx, dy)
    angle = math.atan2(dy, dx)
    # A ragged rim and seven streaks reaching further out.
    rim = 0.62 + 0.08 * math.sin(angle * 5.0 + 1.3) + 0.05 * math.sin(angle * 11.0)
    streak = max(0.0, math.cos(angle * 7.0 + 0.4)) ** 8 * 0.3
    edge = rim + streak
    if distance >= edge:
        return (0, 0, 0, 0)
    cover = 1.0 - distance / edge
    grain = 0.85 + 0.15 * noise(x, y)
    alpha = min(1.0, cover * 1.8) * grain
    # Soot: nearly black in the middle, a burnt brown towards the rim.
    warmth = min(1.0, distance / edge)
    red = int(10 + 50 * warmth)
    green = int(8 + 30 * warmth)
    blue = int(6 + 12 * warmth)
    return (red, green, blue, int(round(alpha * 255)))


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "content", "textures")
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "scorch.png")
    write_png(target, SIZE, SIZE, scorch)


if __name__ == "__main__":
    main()
