#!/usr/bin/env python3
"""The scene format's JSON Schema (docs/scene.schema.json) against the reader.

The schema is generated here: its fixed part follows the scene reader's rules,
its parameters come from what the plug-in declares (`tarsivel info`). The test
checks that the committed file is what this generates, that every example and
test scene validates, and that scenes the reader refuses for a missing or
unknown key, a wrong type or an out-of-range value fail the schema too.

    scene_schema_test.py --tarsivel PATH --repo DIR [--write]
"""
import argparse
import copy
import json
import pathlib
import re
import subprocess
import sys
import tempfile

import jsonschema

INT32_MAX = 2147483647
# Points and mask vertices: what the host's 16.16 fixed point holds, in pixels.
COORDINATE = {"type": "number", "minimum": -32768, "maximum": 32767.99998}
XY = {"type": "array", "prefixItems": [COORDINATE, COORDINATE], "minItems": 2, "maxItems": 2}
COLOR = {"type": "string", "pattern": "^#([0-9A-Fa-f]{6}|[0-9A-Fa-f]{8})$"}
# One run of # for the file number, and a PNG or EXR extension in any letter case.
SEQUENCE_PATTERN = r"^[^#]*#+[^#]*\.([Pp][Nn][Gg]|[Ee][Xx][Rr])$"


def integer(lo, hi, description=None):
    schema = {"type": "integer", "minimum": lo, "maximum": hi}
    if description:
        schema["description"] = description
    return schema


def declared_parameters(tarsivel):
    """(name, kind, valid min, valid max, default text) of every parameter a scene can set."""
    info = subprocess.run([tarsivel, "info"], check=True, capture_output=True, text=True).stdout
    line = re.compile(r'^\s+\d+\s+"(.+)"\s+(point|checkbox|slider|float slider|colour|angle|path|'
                      r'group start)\s*(.*)$')
    params = []
    for text in info.splitlines():
        match = line.match(text)
        if match and match.group(2) != "group start":
            name, kind, rest = match.groups()
            valid = re.search(r"valid ([^ ,]+) … ([^ ,]+)", rest)
            default = re.search(r"default ([^,(]+)", rest)
            params.append((name, kind, float(valid.group(1)) if valid else None,
                           float(valid.group(2)) if valid else None,
                           default.group(1).strip() if default else None))
    return params


def number(text):
    value = float(text)
    return int(value) if value.is_integer() else value


def parameter_value(kind, lo, hi, default):
    if kind == "point":
        return dict(XY, description="[x, y] in layer pixels")
    if kind == "checkbox":
        return {"type": "boolean", "default": default == "on"}
    if kind in ("slider", "float slider"):
        schema = {"type": "integer" if kind == "slider" else "number",
                  "minimum": number(str(lo)), "maximum": number(str(hi)),
                  "description": "values outside the range are clamped, with a warning"}
        if default is not None:
            schema["default"] = number(default)
        return schema
    if kind == "colour":
        return dict(COLOR, description='"#RRGGBB" or "#RRGGBBAA"')
    if kind == "angle":
        return {"type": "number", "minimum": -32768, "maximum": 32767.99998,
                "description": "degrees"}
    return {"description": 'a mask name, a 1-based mask index, 0 or "none"',
            "anyOf": [{"type": "string"}, integer(0, 1000000)]}


def parameter(name, kind, lo, hi, default):
    value = parameter_value(kind, lo, hi, default)
    keyframe = {"type": "object", "required": ["frame", "value"], "additionalProperties": False,
                "properties": {"frame": {"type": "number"}, "value": value,
                               "hold": {"type": "boolean"}}}
    return {"title": name, "anyOf": [value, {"type": "array", "minItems": 1, "items": keyframe}]}


def generate(tarsivel):
    vertex = {"anyOf": [
        dict(XY, description="a corner: [x, y]"),
        {"type": "object", "required": ["pos", "in", "out"], "additionalProperties": False,
         "description": "a vertex with absolute tangent points",
         "properties": {"pos": XY, "in": XY, "out": XY}}]}
    vertices = {"type": "array", "minItems": 1, "items": {"$ref": "#/$defs/vertex"}}
    mask = {
        "type": "object", "additionalProperties": False,
        "oneOf": [{"required": ["vertices"], "not": {"required": ["keyframes"]}},
                  {"required": ["keyframes"], "not": {"required": ["vertices"]}}],
        "properties": {
            "name": {"type": "string", "not": {"const": "none"},
                     "description": 'unique; default "Mask N"'},
            "closed": {"type": "boolean", "default": True},
            "vertices": {"$ref": "#/$defs/vertices"},
            "keyframes": {"type": "array", "minItems": 1, "items": {
                "type": "object", "required": ["frame", "vertices"], "additionalProperties": False,
                "properties": {"frame": {"type": "number"},
                               "vertices": {"$ref": "#/$defs/vertices"}}}}}}
    params = {name: parameter(name, kind, lo, hi, default)
              for name, kind, lo, hi, default in declared_parameters(tarsivel)}
    return {
        "$schema": "https://json-schema.org/draft/2020-12/schema",
        "title": "Tarsivel scene",
        "description": "A scene for the tarsivel command; see docs/scenes.md.",
        "type": "object",
        "required": ["format", "layer"],
        "additionalProperties": False,
        "properties": {
            "$schema": {"type": "string", "description": "where editors find this schema"},
            "format": {"const": "tarsivel-scene/1"},
            "layer": {
                "type": "object", "required": ["width", "height"], "additionalProperties": False,
                "properties": {
                    "width": integer(1, 16384, "pixels"),
                    "height": integer(1, 16384, "pixels"),
                    "background": {"anyOf": [
                        {"const": "transparent"}, COLOR,
                        {"type": "object", "required": ["image"], "additionalProperties": False,
                         "properties": {"image": {
                             "type": "string",
                             "description": "a PNG or EXR of the layer's size, relative to the "
                                            "scene"}}},
                        {"type": "object", "required": ["sequence"], "additionalProperties": False,
                         "properties": {
                             "sequence": {
                                 "type": "string", "pattern": SEQUENCE_PATTERN,
                                 "description": "PNG or EXR files of the layer's size, relative "
                                                "to the scene; one run of # is the file number, "
                                                "zero-padded to the run's width"},
                             "offset": dict(integer(0, INT32_MAX,
                                                    "frame f shows file number f + offset"),
                                            default=0),
                             "missing": {"enum": ["error", "hold"], "default": "error",
                                         "description": "a missing file: an error, or the "
                                                        "nearest earlier frame's file"}}},
                        {"type": "object", "required": ["movie"], "additionalProperties": False,
                         "properties": {"movie": {
                             "type": "string",
                             "description": "a movie of the layer's size, relative to the "
                                            "scene, read through ffmpeg; frame f shows its "
                                            "frame f"}}}]}}},
            "time": {
                "type": "object", "additionalProperties": False,
                "dependentRequired": {"time_scale": ["time_step"], "time_step": ["time_scale"]},
                "properties": {
                    "fps": {"type": "number", "minimum": 0.005, "maximum": 21474836.47,
                            "default": 30},
                    "time_scale": integer(1, INT32_MAX),
                    "time_step": integer(1, INT32_MAX),
                    "local_time_step": integer(0, INT32_MAX),
                    "frames": dict(integer(1, INT32_MAX), default=1)}},
            "render": {
                "type": "object", "additionalProperties": False,
                "properties": {
                    "depth": {"enum": [8, 16, 32], "default": 8},
                    "downsample": dict(integer(1, 16384), default=1),
                    "renderer": {"enum": ["cpu", "opencl", "cuda"], "default": "cpu"}}},
            "params": {"type": "object", "additionalProperties": False, "properties": params},
            "masks": {"type": "array", "items": mask}},
        "$defs": {"vertex": vertex, "vertices": vertices}}


MINIMAL = {"format": "tarsivel-scene/1", "layer": {"width": 64, "height": 32}}


def scene(**changes):
    """The minimal scene with `changes` merged in: "layer.width": 0 sets a nested key,
    a value of None removes it."""
    document = copy.deepcopy(MINIMAL)
    for path, value in changes.items():
        keys = path.split(".")
        target = document
        for key in keys[:-1]:
            target = target.setdefault(key, {})
        if value is None:
            target.pop(keys[-1], None)
        else:
            target[keys[-1]] = value
    return document


MASK = {"name": "Floor", "vertices": [[0, 20], [60, 20], [60, 30]]}

# Scenes the reader refuses: a missing or unknown key, a wrong type, a value out of range.
REFUSED = {
    "no format": scene(format=None),
    "no layer": scene(layer=None),
    "no width": scene(**{"layer.width": None}),
    "unknown root key": scene(colour=1),
    "schema as number": scene(**{"$schema": 1}),
    "unknown layer key": scene(**{"layer.depth": 8}),
    "unknown time key": scene(**{"time.rate": 30}),
    "unknown render key": scene(**{"render.quality": 1}),
    "unknown parameter": scene(params={"Friction": 1}),
    "group as parameter": scene(params={"Physics": 1}),
    "unknown mask key": scene(masks=[dict(MASK, colour=1)]),
    "unknown vertex key": scene(masks=[{"vertices": [{"pos": [0, 0], "in": [0, 0], "out": [0, 0],
                                                      "w": 1}]}]),
    "unknown keyframe key": scene(params={"Gravity": [{"frame": 0, "value": 1, "ease": 1}]}),
    "vertex without out": scene(masks=[{"vertices": [{"pos": [0, 0], "in": [0, 0]}]}]),
    "keyframe without value": scene(params={"Gravity": [{"frame": 0}]}),
    "time_scale alone": scene(**{"time.time_scale": 30}),
    "width as text": scene(**{"layer.width": "64"}),
    "fractional width": scene(**{"layer.width": 64.5}),
    "fps as text": scene(**{"time.fps": "30"}),
    "depth as text": scene(**{"render.depth": "8"}),
    "renderer as number": scene(**{"render.renderer": 1}),
    "segments as text": scene(params={"Segments": "many"}),
    "fractional segments": scene(params={"Segments": 2.5}),
    "point as text": scene(params={"Point A": "x"}),
    "point of one number": scene(params={"Point A": [1]}),
    "checkbox as number": scene(params={"Tearing": 1}),
    "colour by name": scene(params={"Rope Color": "red"}),
    "mask choice as boolean": scene(params={"Collision Mask": True}),
    "masks as object": scene(masks={}),
    "vertex of one number": scene(masks=[{"vertices": [[1]]}]),
    "closed as text": scene(masks=[dict(MASK, closed="yes")]),
    "mask name as number": scene(masks=[dict(MASK, name=3)]),
    "hold as number": scene(params={"Gravity": [{"frame": 0, "value": 1, "hold": 1}]}),
    "frame as text": scene(params={"Gravity": [{"frame": "0", "value": 1}]}),
    "background by name": scene(**{"layer.background": "red"}),
    "short background colour": scene(**{"layer.background": "#12345"}),
    "width 0": scene(**{"layer.width": 0}),
    "width 16385": scene(**{"layer.width": 16385}),
    "fps 0": scene(**{"time.fps": 0}),
    "fps too high": scene(**{"time.fps": 3e7}),
    "frames 0": scene(**{"time.frames": 0}),
    "time_scale 0": scene(**{"time.time_scale": 0, "time.time_step": 100}),
    "negative local_time_step": scene(**{"time.local_time_step": -1}),
    "depth 12": scene(**{"render.depth": 12}),
    "downsample 0": scene(**{"render.downsample": 0}),
    "renderer metal": scene(**{"render.renderer": "metal"}),
    "point beyond the host's range": scene(params={"Point A": [40000, 0]}),
    "vertex beyond the host's range": scene(masks=[{"vertices": [[0, -1e6]]}]),
    "tangent beyond the host's range": scene(masks=[{"vertices": [{"pos": [0, 0], "in": [1e308, 0],
                                                                   "out": [0, 0]}]}]),
    "angle beyond the host's range": scene(params={"Wind Direction": 40000}),
    "negative mask index": scene(params={"Collision Mask": -1}),
    "mask named none": scene(masks=[dict(MASK, name="none")]),
    "mask without vertices": scene(masks=[{"vertices": []}]),
    "mask with both forms": scene(masks=[dict(MASK, keyframes=[{"frame": 0,
                                                                "vertices": [[0, 0]]}])]),
    "mask with neither form": scene(masks=[{"name": "a"}]),
    "no keyframes": scene(params={"Gravity": []}),
    "background with two sources": scene(**{"layer.background": {"image": "a.png",
                                                                  "movie": "a.mov"}}),
    "background without a source": scene(**{"layer.background": {"offset": 1}}),
    "unknown background key": scene(**{"layer.background": {"movie": "a.mov", "rate": 24}}),
    "offset of a movie": scene(**{"layer.background": {"movie": "a.mov", "offset": 1}}),
    "missing of a still": scene(**{"layer.background": {"image": "a.png", "missing": "hold"}}),
    "sequence without #": scene(**{"layer.background": {"sequence": "plate.png"}}),
    "sequence with two runs of #": scene(**{"layer.background": {"sequence": "p#_##.png"}}),
    "sequence of JPEG files": scene(**{"layer.background": {"sequence": "p_##.jpg"}}),
    "negative offset": scene(**{"layer.background": {"sequence": "p_##.png", "offset": -1}}),
    "fractional offset": scene(**{"layer.background": {"sequence": "p_##.png", "offset": 1.5}}),
    "missing as boolean": scene(**{"layer.background": {"sequence": "p_##.png",
                                                        "missing": True}}),
    "missing skip": scene(**{"layer.background": {"sequence": "p_##.png", "missing": "skip"}}),
    "movie as number": scene(**{"layer.background": {"movie": 3}}),
}

# Scenes at the edges of what the reader accepts.
ACCEPTED = {
    "integral numbers as integers": scene(**{"layer.width": 64.0}, params={"Segments": 4.0,
                                                                           "Collision Mask": 1.0},
                                          masks=[MASK]),
    "every key": scene(**{"$schema": "../docs/scene.schema.json",
                          "layer.background": "#102030AA", "time.time_scale": 2997,
                          "time.time_step": 100, "time.local_time_step": 0, "time.frames": 3,
                          "render.depth": 16, "render.downsample": 2, "render.renderer": "cpu"},
                       params={"Point A": [-32768, 32767.99], "Wind Direction": -720,
                               "Collision Mask": "none",
                               "Gravity": [{"frame": 0, "value": 1, "hold": True},
                                           {"frame": 2.5, "value": 2}]},
                       masks=[dict(MASK, closed=False),
                              {"keyframes": [{"frame": 0, "vertices": [
                                  {"pos": [1, 2], "in": [0, 2], "out": [2, 2]}]}]}]),
    "every sequence key": scene(**{"layer.background": {"sequence": "plates/p_####.EXR",
                                                        "offset": INT32_MAX,
                                                        "missing": "hold"}}),
    "a movie": scene(**{"layer.background": {"movie": "take 3.mov"}}),
}


def reader_accepts(tarsivel, document, folder):
    path = pathlib.Path(folder) / "scene.json"
    path.write_text(json.dumps(document))
    run = subprocess.run([tarsivel, "dump", str(path), "--frame", "0"], capture_output=True,
                         text=True)
    return run.returncode == 0, run.stderr.strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tarsivel", required=True)
    parser.add_argument("--repo", required=True)
    parser.add_argument("--write", action="store_true")
    args = parser.parse_args()
    repo = pathlib.Path(args.repo)
    schema_path = repo / "docs" / "scene.schema.json"
    schema = generate(args.tarsivel)
    text = json.dumps(schema, indent=2, ensure_ascii=False) + "\n"
    if args.write:
        schema_path.write_text(text)
        return 0

    faults = []
    if schema_path.read_text() != text:
        faults.append(f"{schema_path} is not what the reader and the plug-in give: run "
                      f"{sys.argv[0]} --write")
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)

    scenes = sorted(repo.glob("examples/**/*.json")) + sorted(repo.glob("tests/**/scenes/*.json"))
    if not scenes:
        faults.append("no example scenes found")
    for path in scenes:
        for error in validator.iter_errors(json.loads(path.read_text())):
            faults.append(f"{path}: {error.json_path}: {error.message}")

    with tempfile.TemporaryDirectory() as folder:
        for name, document in REFUSED.items():
            accepted, message = reader_accepts(args.tarsivel, document, folder)
            if accepted:
                faults.append(f"refused case \"{name}\": the reader accepts it")
            if validator.is_valid(document):
                faults.append(f"refused case \"{name}\": the schema accepts it ({message})")
        for name, document in ACCEPTED.items():
            accepted, message = reader_accepts(args.tarsivel, document, folder)
            if not accepted:
                faults.append(f"accepted case \"{name}\": the reader refuses it: {message}")
            for error in validator.iter_errors(document):
                faults.append(f"accepted case \"{name}\": {error.json_path}: {error.message}")

    for fault in faults:
        print(fault)
    print(f"{len(scenes)} scenes, {len(REFUSED)} refused and {len(ACCEPTED)} accepted cases: "
          f"{len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
