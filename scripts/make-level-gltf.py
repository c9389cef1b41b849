#!/usr/bin/env python3
"""Writes the sample level's glTF files into content/level/ and its textures
into content/textures/.

Coordinates are the engine's, as in make-figure-gltf.py: metres, +Z up, written
as they are (the importer takes glTF positions unconverted). Three rooms:
room A (0,0,0)-(8,8,3), room B (8,0,0)-(16,8,3) and room C (0,8,0)-(8,16,3),
each file its room's inner surfaces facing inwards, in world coordinates,
with the door openings (A-B in the wall x = 8 at y 3..5, A-C in the wall y = 8
at x 3..5, both up to z 2.2) cut out. Floor, walls and ceiling are separate
primitives with the materials "floor", "wall" and "ceiling". The props stand
on their origin: a crate (a 1 m cube, "crate"), a pillar (1 x 1 x 3 m,
"pillar") and a table ("table"); a lamp ("lamp", a small cube about its
origin on a cord up to the ceiling) and a glass pane ("glass", one quad
facing -X, 2 m wide and 1 m high across the top of a door). Triangles wind
counter-clockwise seen from the side their normal points to. Texture coordinates are in metres, so a
texture repeats once a metre. The textures are 64 x 64 RGB PNG files drawn
here: floor tiles, wall bricks and crate planks, and the bricks' normal map;
the glass's is an RGBA PNG whose alpha is the pane's opacity, and the
lamp's a plain bright colour."""
import base64
import json
import os
import struct
import sys

from png_writer import write_png

ROOM_HEIGHT = 3.0
DOOR_HEIGHT = 2.2
# name, minimum, maximum, doors: (wall axis "x" or "y", wall coordinate, low, high) along the wall
ROOMS = [
    ("room_a", (0.0, 0.0, 0.0), (8.0, 8.0, ROOM_HEIGHT), [("x", 8.0, 3.0, 5.0), ("y", 8.0, 3.0, 5.0)]),
    ("room_b", (8.0, 0.0, 0.0), (16.0, 8.0, ROOM_HEIGHT), [("x", 8.0, 3.0, 5.0)]),
    ("room_c", (0.0, 8.0, 0.0), (8.0, 16.0, ROOM_HEIGHT), [("y", 8.0, 3.0, 5.0)]),
]


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def dot(a, b):
    return sum(x * y for x, y in zip(a, b))


class Primitive:
    def __init__(self, material):
        self.material = material
        self.positions, self.normals, self.uvs, self.indices = [], [], [], []

    def quad(self, corners, normal, uvs):
        """Four corners in order around the quad; the winding is turned to face the normal."""
        a, b, c = corners[0], corners[1], corners[2]
        facing = dot(cross(tuple(q - p for p, q in zip(a, b)), tuple(q - p for p, q in zip(a, c))), normal)
        order = [0, 1, 2, 0, 2, 3] if facing > 0 else [0, 2, 1, 0, 3, 2]
        base = len(self.positions)
        self.positions.extend(corners)
        self.normals.extend([normal] * 4)
        self.uvs.extend(uvs)
        self.indices.extend(base + k for k in order)


def horizontal(primitive, minimum, maximum, z, normal):
    (x0, y0), (x1, y1) = minimum, maximum
    corners = [(x0, y0, z), (x1, y0, z), (x1, y1, z), (x0, y1, z)]
    primitive.quad(corners, normal, [(x, y) for x, y, _ in corners])


def wall_rectangle(primitive, axis, at, low, high, bottom, top, normal):
    """A rectangle of the wall on the plane axis = at, from low to high along the wall."""
    if high - low <= 0 or top - bottom <= 0:
        return
    if axis == "x":
        corners = [(at, low, bottom), (at, high, bottom), (at, high, top), (at, low, top)]
    else:
        corners = [(low, at, bottom), (high, at, bottom), (high, at, top), (low, at, top)]
    along = [c[1] if axis == "x" else c[0] for c in corners]
    primitive.quad(corners, normal, [(u, z) for u, (_, _, z) in zip(along, corners)])


def wall(primitive, axis, at, low, high, normal, doors):
    """The wall without its door openings: pieces beside each door and a lintel above it."""
    openings = sorted((d_low, d_high) for d_axis, d_at, d_low, d_high in doors if d_axis == axis and d_at == at)
    start = low
    for d_low, d_high in openings:
        wall_rectangle(primitive, axis, at, start, d_low, 0.0, ROOM_HEIGHT, normal)
        wall_rectangle(primitive, axis, at, d_low, d_high, DOOR_HEIGHT, ROOM_HEIGHT, normal)
        start = d_high
    wall_rectangle(primitive, axis, at, start, high, 0.0, ROOM_HEIGHT, normal)


def room(minimum, maximum, doors):
    floor, walls, ceiling = Primitive("floor"), Primitive("wall"), Primitive("ceiling")
    horizontal(floor, minimum[:2], maximum[:2], minimum[2], (0.0, 0.0, 1.0))
    horizontal(ceiling, minimum[:2], maximum[:2], maximum[2], (0.0, 0.0, -1.0))
    wall(walls, "x", minimum[0], minimum[1], maximum[1], (1.0, 0.0, 0.0), doors)
    wall(walls, "x", maximum[0], minimum[1], maximum[1], (-1.0, 0.0, 0.0), doors)
    wall(walls, "y", minimum[1], minimum[0], maximum[0], (0.0, 1.0, 0.0), doors)
    wall(walls, "y", maximum[1], minimum[0], maximum[0], (0.0, -1.0, 0.0), doors)
    return [floor, walls, ceiling]


def box(primitive, minimum, maximum):
    """The outer faces of a box, facing outwards."""
    (x0, y0, z0), (x1, y1, z1) = minimum, maximum
    horizontal(primitive, (x0, y0), (x1, y1), z1, (0.0, 0.0, 1.0))
    horizontal(primitive, (x0, y0), (x1, y1), z0, (0.0, 0.0, -1.0))
    wall_rectangle(primitive, "x", x0, y0, y1, z0, z1, (-1.0, 0.0, 0.0))
    wall_rectangle(primitive, "x", x1, y0, y1, z0, z1, (1.0, 0.0, 0.0))
    wall_rectangle(primitive, "y", y0, x0, x1, z0, z1, (0.0, -1.0, 0.0))
    wall_rectangle(primitive, "y", y1, x0, x1, z0, z1, (0.0, 1.0, 0.0))


def prop(material, boxes):
    primitive = Primitive(material)
    for minimum, maximum in boxes:
        box(primitive, minimum, maximum)
    return [primitive]


def table_boxes():
    top = ((-0.6, -0.4, 0.7), (0.6, 0.4, 0.75))
    legs = [((x - 0.03, y - 0.03, 0.0), (x + 0.03, y + 0.03, 0.7)) for x in (-0.55, 0.55) for y in (-0.35, 0.35)]
    return [top] + legs


# How far above the lamp's centre its cord reaches: to the ceiling where the
# level hangs it.
LAMP_CORD = 0.55


def lamp_boxes():
    shade = ((-0.1, -0.1, -0.1), (0.1, 0.1, 0.1))
    cord = ((-0.01, -0.01, 0.1), (0.01, 0.01, LAMP_CORD))
    return [shade, cord]


PROPS = [
    ("crate", "crate", [((-0.5, -0.5, 0.0), (0.5, 0.5, 1.0))]),
    ("pillar", "pillar", [((-0.5, -0.5, 0.0), (0.5, 0.5, ROOM_HEIGHT))]),
    ("table", "table", table_boxes()),
    ("lamp", "lamp", lamp_boxes()),
]

# The pane across a door's top, from its origin on the door's plane: y
# along the door, from 1.2 m above the floor up to the lintel.
GLASS_WIDTH = 2.0
GLASS_BOTTOM = 1.2


def glass_pane():
    pane = Primitive("glass")
    wall_rectangle(pane, "x", 0.0, -GLASS_WIDTH / 2, GLASS_WIDTH / 2, GLASS_BOTTOM, DOOR_HEIGHT, (-1.0, 0.0, 0.0))
    return [pane]


def write_gltf(path, name, primitives):
    data = bytearray()
    views, accessors = [], []

    def add(values, fmt, kind, count, target, with_bounds=False, component=5126):
        while len(data) % 4:
            data.append(0)
        offset = len(data)
        data.extend(struct.pack("<%d%s" % (len(values), fmt), *values))
        views.append({"buffer": 0, "byteOffset": offset, "byteLength": len(data) - offset, "target": target})
        accessor = {"bufferView": len(views) - 1, "componentType": component, "count": count, "type": kind}
        if with_bounds:
            width = len(values) // count
            accessor["min"] = [min(values[k::width]) for k in range(width)]
            accessor["max"] = [max(values[k::width]) for k in range(width)]
        accessors.append(accessor)
        return len(accessors) - 1

    materials, gltf_primitives = [], []
    for primitive in primitives:
        materials.append({"name": primitive.material, "doubleSided": False,
                          "pbrMetallicRoughness": {"metallicFactor": 0.0, "roughnessFactor": 1.0}})
        count = len(primitive.positions)
        flat = lambda rows: [component for row in rows for component in row]
        position = add(flat(primitive.positions), "f", "VEC3", count, 34962, True)
        normal = add(flat(primitive.normals), "f", "VEC3", count, 34962)
        uv = add(flat(primitive.uvs), "f", "VEC2", count, 34962)
        indices = add(primitive.indices, "H", "SCALAR", len(primitive.indices), 34963, component=5123)
        gltf_primitives.append({"attributes": {"POSITION": position, "NORMAL": normal, "TEXCOORD_0": uv},
                                "indices": indices, "material": len(materials) - 1, "mode": 4})
    while len(data) % 4:
        data.append(0)
    document = {
        "asset": {"version": "2.0", "generator": "scripts/make-level-gltf.py"},
        "scene": 0,
        "scenes": [{"nodes": [0]}],
        "nodes": [{"name": name, "mesh": 0}],
        "meshes": [{"name": name, "primitives": gltf_primitives}],
        "materials": materials,
        "accessors": accessors,
        "bufferViews": views,
        "buffers": [{"byteLength": len(data),
                     "uri": "data:application/octet-stream;base64," + base64.b64encode(bytes(data)).decode()}],
    }
    with open(path, "w") as file:
        json.dump(document, file, indent=1)
        file.write("\n")


def write_png_square(path, size, colour_at):
    write_png(path, size, size, colour_at, channels=3)


def shade(colour, amount):
    return tuple(max(0, min(255, int(c * amount))) for c in colour)


def floor_texel(x, y):
    """Four tiles a metre, with dark grout."""
    if x % 32 < 2 or y % 32 < 2:
        return (70, 66, 60)
    checker = ((x // 32) + (y // 32)) % 2
    return shade((178, 166, 140), 0.92 + 0.08 * checker + 0.02 * ((x * 7 + y * 13) % 5 - 2))


def wall_texel(x, y):
    """Bricks of 32 x 16 texels, every other row shifted by half a brick."""
    row = y // 16
    if y % 16 < 2 or (x + 16 * (row % 2)) % 32 < 2:
        return (200, 196, 188)
    return shade((160, 82, 60), 0.9 + 0.05 * ((x // 8 + row * 3) % 3))


def wall_normal_texel(x, y):
    """The bricks' tangent-space normals (x along u, y along v, 0.5 + 0.5 n):
    flat mortar, flat brick faces, and a bevel of three texels round each brick
    that leans towards the mortar."""
    row = y // 16
    along = (x + 16 * (row % 2)) % 32
    up = y % 16
    if up < 2 or along < 2:
        return (128, 128, 255)
    nx = -0.6 if along < 5 else (0.6 if along >= 29 else 0.0)
    ny = -0.6 if up < 5 else (0.6 if up >= 13 else 0.0)
    nz = max(0.0, 1.0 - nx * nx - ny * ny) ** 0.5
    length = (nx * nx + ny * ny + nz * nz) ** 0.5
    return tuple(int(round((0.5 + 0.5 * c / length) * 255)) for c in (nx, ny, nz))


def crate_texel(x, y):
    """Planks inside a dark frame, with a diagonal brace."""
    if x < 6 or y < 6 or x >= 58 or y >= 58 or abs(x - y) < 4:
        return (96, 64, 32)
    if y % 13 == 0:
        return (120, 82, 42)
    return shade((170, 120, 64), 0.94 + 0.03 * ((x * 3 + y) % 4))


def glass_texel(x, y):
    """A cool green-blue tint, 40 % opaque: the sample's test reads the pane's
    blend with this alpha."""
    return (150, 205, 215, 102)


def lamp_texel(x, y):
    """Warm white, brighter than the level's glow threshold."""
    return (255, 246, 220)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    level = os.path.join(root, "content", "level")
    textures = os.path.join(root, "content", "textures")
    os.makedirs(level, exist_ok=True)
    for name, minimum, maximum, doors in ROOMS:
        write_gltf(os.path.join(level, name + ".gltf"), name, room(minimum, maximum, doors))
    for name, material, boxes in PROPS:
        write_gltf(os.path.join(level, name + ".gltf"), name, prop(material, boxes))
    write_gltf(os.path.join(level, "glass.gltf"), "glass", glass_pane())
    write_png_square(os.path.join(textures, "floor.png"), 64, floor_texel)
    write_png_square(os.path.join(textures, "wall.png"), 64, wall_texel)
    write_png_square(os.path.join(textures, "crate.png"), 64, crate_texel)
    write_png(os.path.join(textures, "glass.png"), 64, 64, glass_texel)
    write_png_square(os.path.join(textures, "lamp.png"), 64, lamp_texel)
    write_png_square(os.path.join(textures, "wall_normal.png"), 64, wall_normal_texel)


if __name__ == "__main__":
    main()
