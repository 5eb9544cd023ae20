#!/usr/bin/env python3
"""The isa4 layers include only downward: each folder's sources include headers of the
folders below it and of no other, so the include graph has no circle and matches the
libraries' links. Usage: layers_test.py SOURCE_DIR"""
import pathlib
import re
import sys

# Each folder and the folders it may include, besides itself.
MAY_INCLUDE = {
    "machine": set(),
    "text": {"machine"},
    "toolchain": {"text", "machine"},
    "language": {"toolchain", "text", "machine"},
    "lsp": {"language", "toolchain", "text", "machine"},
    "formats": {"text", "machine"},
    "headless": {"toolchain", "text", "machine"},
    "trace": {"headless", "toolchain", "text", "machine"},
    "grading": {"trace", "headless", "formats", "toolchain", "text", "machine"},
    "cli": {"grading", "trace", "headless", "formats", "lsp", "language", "toolchain", "text",
            "machine"},
}
# Nothing of the display stack below the workbench, but for the run clock's one call.
DISPLAY = re.compile(r'#include\s*<(SDL|imgui|GL/)')
INCLUDE = re.compile(r'#include\s*"([a-z_]+)/')

root = pathlib.Path(sys.argv[1])
faults = []
for folder, allowed in MAY_INCLUDE.items():
    for source in sorted((root / folder).glob("*.[ch]*")):
        for number, line in enumerate(source.read_text().splitlines(), 1):
            place = f"{source.relative_to(root)}:{number}"
            m = INCLUDE.match(line)
            if m and m.group(1) != folder and m.group(1) not in allowed:
                faults.append(f"{place}: {folder}/ may not include {m.group(1)}/")
            if DISPLAY.match(line) and source.name != "cpu_stepper.cpp":
                faults.append(f"{place}: {folder}/ may not include the display stack")
for fault in faults:
    print(fault)
print(f"{len(faults)} includes against the layers" if faults else "every include goes downward")
sys.exit(1 if faults else 0)
