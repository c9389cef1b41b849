#!/usr/bin/env python3
"""Writes content/figure/figure.gltf: the sample's skinned figure, a chain of
eleven joints (hips, spine, chest, head, two arms and two legs of two joints
each) standing 1.6 units tall with +Z up, and its two cycles: "idle" (two
seconds of breathing) and "walk" (one second, two steps). Rest rotations are
identity, so each inverse bind matrix is a translation back from the joint's
rest position. Its mesh, "body", is one box per joint in that joint's
colour, each box hanging rigidly on its joint, in the skin's bind space."""
import base64
import json
import math
import os
import struct
import sys

# name, parent, rest translation relative to the parent
JOINTS = [
    ("hips", None, (0.0, 0.0, 0.95)),
    ("spine", "hips", (0.0, 0.0, 0.15)),
    ("chest", "spine", (0.0, 0.0, 0.2)),
    ("head", "chest", (0.0, 0.0, 0.3)),
    ("upper_arm.L", "chest", (0.2, 0.0, 0.2)),
    ("lower_arm.L", "upper_arm.L", (0.0, 0.0, -0.28)),
    ("upper_arm.R", "chest", (-0.2, 0.0, 0.2)),
    ("lower_arm.R", "upper_arm.R", (0.0, 0.0, -0.28)),
    ("upper_leg.L", "hips", (0.1, 0.0, -0.05)),
    ("lower_leg.L", "upper_leg.L", (0.0, 0.0, -0.45)),
    ("upper_leg.R", "hips", (-0.1, 0.0, -0.05)),
    ("lower_leg.R", "upper_leg.R", (0.0, 0.0, -0.45)),
]
KEYS_PER_CYCLE = 16
SHIRT, TROUSERS, SKIN, SHOES = (0.75, 0.2, 0.15, 1.0), (0.2, 0.25, 0.6, 1.0), (0.9, 0.75, 0.6, 1.0), (0.15, 0.15, 0.2, 1.0)
# joint: box centre relative to the joint's rest position, half sizes, colour
BOXES = {
    "hips": ((0.0, 0.0, 0.0), (0.16, 0.1, 0.08), TROUSERS),
    "spine": ((0.0, 0.0, 0.1), (0.14, 0.09, 0.1), SHIRT),
    "chest": ((0.0, 0.0, 0.15), (0.18, 0.1, 0.15), SHIRT),
    "head": ((0.0, 0.0, 0.14), (0.1, 0.1, 0.12), SKIN),
    "upper_arm.L": ((0.0, 0.0, -0.14), (0.045, 0.045, 0.14), SHIRT),
    "lower_arm.L": ((0.0, 0.0, -0.13), (0.04, 0.04, 0.13), SKIN),
    "upper_arm.R": ((0.0, 0.0, -0.14), (0.045, 0.045, 0.14), SHIRT),
    "lower_arm.R": ((0.0, 0.0, -0.13), (0.04, 0.04, 0.13), SKIN),
    "upper_leg.L": ((0.0, 0.0, -0.225), (0.06, 0.06, 0.225), TROUSERS),
    "lower_leg.L": ((0.0, 0.0, -0.225), (0.055, 0.055, 0.225), SHOES),
    "upper_leg.R": ((0.0, 0.0, -0.225), (0.06, 0.06, 0.225), TROUSERS),
    "lower_leg.R": ((0.0, 0.0, -0.225), (0.055, 0.055, 0.225), SHOES),
}


def add_box(centre, half, colour, joint, mesh):
    """Six faces wound outward, four corners each, all on the one joint."""
    for axis in range(3):
        for sign in (1.0, -1.0):
            u, v = (axis + 1) % 3, (axis + 2) % 3
            if sign < 0:
                u, v = v, u
            base = len(mesh["positions"]) // 3
            for du, dv in ((-1, -1), (1, -1), (1, 1), (-1, 1)):
                corner = list(centre)
                corner[axis] += sign * half[axis]
                corner[u] += du * half[u]
                corner[v] += dv * half[v]
                mesh["positions"].extend(corner)
                mesh["colours"].extend(colour)
                mesh["joints"].extend((joint, 0, 0, 0))
                mesh["weights"].extend((1.0, 0.0, 0.0, 0.0))
            mesh["indices"].extend(base + k for k in (0, 1, 2, 0, 2, 3))


def turn_about_x(turns):
    half = math.pi * turns
    return (math.sin(half), 0.0, 0.0, math.cos(half))


def cycle(seconds, tracks):
    """tracks: {joint: {"rotation": f(phase) -> turns about X, "translation": f(phase) -> xyz}}"""
    times = [seconds * k / KEYS_PER_CYCLE for k in range(KEYS_PER_CYCLE + 1)]
    channels = []
    for joint, paths in tracks.items():
        for path, curve in paths.items():
            values = []
            for k in range(KEYS_PER_CYCLE + 1):
                phase = 2 * math.pi * k / KEYS_PER_CYCLE
                values.append(turn_about_x(curve(phase)) if path == "rotation" else curve(phase))
            channels.append((joint, path, values))
    return times, channels


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "content", "figure",
                                                             "figure.gltf")
    names = [joint[0] for joint in JOINTS]
    world = {}
    for name, parent, offset in JOINTS:
        base = world[parent] if parent else (0.0, 0.0, 0.0)
        world[name] = tuple(b + o for b, o in zip(base, offset))

    hips_height = JOINTS[0][2][2]
    idle = cycle(2.0, {
        "hips": {"translation": lambda p: (0.0, 0.0, hips_height + 0.005 * math.sin(p))},
        "chest": {"rotation": lambda p: 0.004 * math.sin(p)},
        "head": {"rotation": lambda p: -0.003 * math.sin(p)},
        "upper_arm.L": {"rotation": lambda p: 0.005 * math.sin(p)},
        "upper_arm.R": {"rotation": lambda p: 0.005 * math.sin(p)},
    })
    walk = cycle(1.0, {
        "hips": {"translation": lambda p: (0.0, 0.0, hips_height + 0.02 * math.cos(2 * p))},
        "spine": {"rotation": lambda p: 0.01},
        "upper_leg.L": {"rotation": lambda p: 0.07 * math.sin(p)},
        "lower_leg.L": {"rotation": lambda p: -0.06 * max(0.0, math.sin(p + math.pi / 2))},
        "upper_leg.R": {"rotation": lambda p: -0.07 * math.sin(p)},
        "lower_leg.R": {"rotation": lambda p: -0.06 * max(0.0, -math.sin(p + math.pi / 2))},
        "upper_arm.L": {"rotation": lambda p: -0.05 * math.sin(p)},
        "lower_arm.L": {"rotation": lambda p: 0.03},
        "upper_arm.R": {"rotation": lambda p: 0.05 * math.sin(p)},
        "lower_arm.R": {"rotation": lambda p: 0.03},
    })

    data = bytearray()
    views, accessors = [], []

    def add(values, kind, count):
        offset = len(data)
        data.extend(struct.pack("<%df" % len(values), *values))
        views.append({"buffer": 0, "byteOffset": offset, "byteLength": len(values) * 4})
        accessor = {"bufferView": len(views) - 1, "componentType": 5126, "count": count, "type": kind}
        if kind == "SCALAR":
            accessor["min"] = [min(values)]
            accessor["max"] = [max(values)]
        accessors.append(accessor)
        return len(accessors) - 1

    binds = []
    for name in names:
        x, y, z = world[name]
        binds.extend([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -x, -y, -z, 1])
    bind_accessor = add(binds, "MAT4", len(names))

    mesh = {"positions": [], "colours": [], "joints": [], "weights": [], "indices": []}
    for joint, (centre, half, colour) in BOXES.items():
        rest = world[joint]
        add_box(tuple(r + c for r, c in zip(rest, centre)), half, colour, names.index(joint), mesh)
    vertex_count = len(mesh["positions"]) // 3
    position_accessor = add(mesh["positions"], "VEC3", vertex_count)
    accessors[position_accessor]["min"] = [min(mesh["positions"][axis::3]) for axis in range(3)]
    accessors[position_accessor]["max"] = [max(mesh["positions"][axis::3]) for axis in range(3)]
    colour_accessor = add(mesh["colours"], "VEC4", vertex_count)
    weight_accessor = add(mesh["weights"], "VEC4", vertex_count)

    def add_integers(values, component_type, pack, kind, count):
        offset = len(data)
        data.extend(struct.pack("<%d%s" % (len(values), pack), *values))
        views.append({"buffer": 0, "byteOffset": offset, "byteLength": len(values) * struct.calcsize(pack)})
        while len(data) % 4:
            data.append(0)
        accessors.append({"bufferView": len(views) - 1, "componentType": component_type, "count": count,
                          "type": kind})
        return len(accessors) - 1

    joint_accessor = add_integers(mesh["joints"], 5121, "B", "VEC4", vertex_count)
    index_accessor = add_integers(mesh["indices"], 5123, "H", "SCALAR", len(mesh["indices"]))
    meshes = [{"name": "body", "primitives": [{
        "attributes": {"POSITION": position_accessor, "COLOR_0": colour_accessor, "JOINTS_0": joint_accessor,
                       "WEIGHTS_0": weight_accessor},
        "indices": index_accessor, "material": 0}]}]

    animations = []
    for animation_name, (times, channels) in (("idle", idle), ("walk", walk)):
        time_accessor = add(times, "SCALAR", len(times))
        samplers, targets = [], []
        for joint, path, values in channels:
            flat = [component for value in values for component in value]
            output = add(flat, "VEC4" if path == "rotation" else "VEC3", len(values))
            samplers.append({"input": time_accessor, "output": output, "interpolation": "LINEAR"})
            targets.append({"sampler": len(samplers) - 1, "target": {"node": names.index(joint) + 1, "path": path}})
        animations.append({"name": animation_name, "samplers": samplers, "channels": targets})

    nodes = [{"name": "figure", "children": [1]}]
    for name, parent, offset in JOINTS:
        children = [names.index(child) + 1 for child, child_parent, _ in JOINTS if child_parent == name]
        node = {"name": name, "translation": list(offset)}
        if children:
            node["children"] = children
        nodes.append(node)
    nodes.append({"name": "body", "mesh": 0, "skin": 0})

    document = {
        "asset": {"version": "2.0", "generator": "scripts/make-figure-gltf.py"},
        "scene": 0,
        "scenes": [{"nodes": [0, len(nodes) - 1]}],
        "nodes": nodes,
        "materials": [{"name": "figure"}],
        "meshes": meshes,
        "skins": [{"name": "figure", "joints": list(range(1, len(names) + 1)), "inverseBindMatrices": bind_accessor}],
        "animations": animations,
        "accessors": accessors,
        "bufferViews": views,
        "buffers": [{"byteLength": len(data),
                     "uri": "data:application/octet-stream;base64," + base64.b64encode(bytes(data)).decode()}],
    }
    with open(out, "w") as file:
        json.dump(document, file, indent=1)
        file.write("\n")


if __name__ == "__main__":
    main()
