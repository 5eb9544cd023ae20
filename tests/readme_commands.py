#!/usr/bin/python3
"""Runs the isa4 commands that the README shows, so that the README cannot drift.

    tests/readme_commands.py README.md BUILD_DIR

Which blocks run: every fenced block marked ```sh with a line that calls isa4
(`build/isa4 ...` or `isa4 ...`). Each such block runs whole, line by line under
`bash -e`, in a scratch directory that holds `build` (a link to BUILD_DIR) and a copy of
`examples/`, with BUILD_DIR first on PATH; every line must succeed. A block opts out with
the line `<!-- readme-commands: skip -->` right before its opening fence. Blocks marked
otherwise (```, ```console) and commands inside the prose are not run.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = "<!-- readme-commands: skip -->"
CALLS_ISA4 = re.compile(r"(^|[\s/;&|(])isa4\s")


def shell_blocks(text):
    """(line number, previous line, lines) of every ```sh block."""
    lines = text.splitlines()
    blocks = []
    i = 0
    while i < len(lines):
        if lines[i].strip() == "```sh":
            start = i
            body = []
            i += 1
            while i < len(lines) and lines[i].strip() != "```":
                body.append(lines[i])
                i += 1
            previous = lines[start - 1].strip() if start > 0 else ""
            blocks.append((start + 1, previous, body))
        i += 1
    return blocks


def main():
    readme, build = sys.argv[1], os.path.abspath(sys.argv[2])
    source = os.path.dirname(os.path.abspath(readme))
    with open(readme, encoding="utf-8") as f:
        blocks = shell_blocks(f.read())

    ran = failed = 0
    for line, previous, body in blocks:
        if previous == SKIP or not any(CALLS_ISA4.search(l) for l in body):
            continue
        ran += 1
        with tempfile.TemporaryDirectory(prefix="readme-") as scratch:
            os.symlink(build, os.path.join(scratch, "build"))
            shutil.copytree(os.path.join(source, "examples"), os.path.join(scratch, "examples"))
            env = dict(os.environ, PATH=build + os.pathsep + os.environ.get("PATH", ""))
            script = "set -e\n" + "\n".join(body) + "\n"
            result = subprocess.run(["bash", "-x", "-c", script], cwd=scratch, env=env,
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                    text=True, timeout=120)
        if result.returncode != 0:
            failed += 1
            print(f"README.md:{line}: the block fails (status {result.returncode}):")
            print(result.stdout)
        else:
            print(f"README.md:{line}: {len(body)} lines run")
    if ran == 0:
        print("no ```sh block in the README calls isa4: has its format changed?")
        return 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
