#!/usr/bin/env python3
"""Fails when a source file includes a header of a folder above its own in
layers.txt, or a header of a folder that the list does not know."""
import pathlib
import re
import sys

here = pathlib.Path(__file__).resolve().parent
root = here.parent.parent
layers = [line.strip() for line in (here / "layers.txt").read_text().splitlines()
          if line.strip() and not line.startswith("#")]
rank = {folder: i for i, folder in enumerate(layers)}
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of(path):
    """The listed folder that holds `path`, the longest match."""
    best = None
    for folder in layers:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


faults = []
for source in sorted(root.rglob("*")):
    if source.suffix not in (".h", ".cpp", ".c", ".rc") or "build" in source.relative_to(root).parts[:1]:
        continue
    rel = source.relative_to(root).as_posix()
    own = layer_of(rel)
    in_tests = "/tests/" in "/" + rel
    for target in include.findall(source.read_text(errors="replace")):
        if not (root / target).is_file():
            continue  # a system, generated or same-folder header
        theirs = layer_of(target)
        if theirs is None:
            faults.append(f"{rel}: includes {target}, which lies in no listed folder")
        elif own is None:
            faults.append(f"{rel}: lies in no listed folder")
        elif theirs == "tests/support" and in_tests:
            continue
        elif rank[theirs] > rank[own]:
            faults.append(f"{rel}: includes {target}, from {theirs}, above {own}")

for fault in faults:
    print(fault)
print(f"layering: {len(faults)} wrong includes")
sys.exit(1 if faults else 0)
