#!/usr/bin/env python3
"""Packs a skin source into one self-contained skin file.

Every string of the form "@file:NAME" in the source is replaced by the base64
text of the file NAME (relative to the source's folder), so images can be
kept as plain PNG files next to skin.json. The result is checked to be valid
JSON and written compactly.

usage: pack_skin.py SOURCE.json OUTPUT
"""
import base64
import json
import os
import sys


def embed(value, base_dir, source):
    if isinstance(value, dict):
        return {k: embed(v, base_dir, source) for k, v in value.items()}
    if isinstance(value, list):
        return [embed(v, base_dir, source) for v in value]
    if isinstance(value, str) and value.startswith("@file:"):
        path = os.path.join(base_dir, value[len("@file:"):])
        try:
            with open(path, "rb") as f:
                return base64.b64encode(f.read()).decode("ascii")
        except OSError as e:
            sys.exit(f"{source}: cannot embed {path}: {e.strerror}")
    return value


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, output = sys.argv[1], sys.argv[2]
    try:
        with open(source, encoding="utf-8") as f:
            skin = json.load(f)
    except OSError as e:
        sys.exit(f"{source}: {e.strerror}")
    except json.JSONDecodeError as e:
        sys.exit(f"{source}: line {e.lineno}, column {e.colno}: {e.msg}")
    if not isinstance(skin, dict) or not isinstance(skin.get("forms"), dict):
        sys.exit(f"{source}: a skin needs a \"forms\" object")
    packed = embed(skin, os.path.dirname(os.path.abspath(source)), source)
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    tmp = output + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(packed, f, ensure_ascii=False, separators=(",", ":"))
        f.write("\n")
    os.replace(tmp, output)


if __name__ == "__main__":
    main()
