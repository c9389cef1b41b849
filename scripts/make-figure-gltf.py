#!/usr/bin/env python3
"""Writes content/figure/figure.gltf: the sample's skinned figure, a chain of
eleven joints (hips, spine, chest, head, two arms and two legs of two joints
each) standing 1.6 units tall with +Z up, and its two cycles: "idle" (two
seconds of breathing) and "walk" (one second, two steps). Rest rotations are
identity, so each inverse bind matrix is a translation back from the joint's
rest position. The file holds no mesh: only the skin and the animations."""
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

    document = {
        "asset": {"version": "2.0", "generator": "scripts/make-figure-gltf.py"},
        "scene": 0,
        "scenes": [{"nodes": [0]}],
        "nodes": nodes,
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
