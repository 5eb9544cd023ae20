#!/usr/bin/python3
"""Runs the README's command blocks as written and compares what they print with what the
README shows, so that the README cannot drift.

    tests/readme_commands.py README.md BUILD_DIR

The blocks run in the order they appear, all in one scratch copy of the source tree
(without .git and the build folders) that holds `build`, a link to BUILD_DIR; BUILD_DIR
comes first on PATH.

- ```sh: the block runs whole under `bash -e`; every line must succeed. What it prints is
  not compared.
- ```console: a line starting with `$ ` is a command (a line ending in `\\` goes on with the
  next); the lines under it, up to the next command, are what it prints on standard
  output and standard error together. A line `...` stands for any number of lines, none
  included. Each command runs on its own in the scratch copy's top folder.
- The line right before a block's opening fence may hold a marker:
  `<!-- readme-commands: skip, REASON -->` skips the block and says why (a display, the
  network, root); `<!-- readme-commands: file NAME -->` writes the block's text into NAME
  in the scratch copy, for the commands after it to read.

Other blocks (```, ```yaml, ...) and commands inside the prose are not run.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

MARKER = re.compile(r"^<!--\s*readme-commands:\s*(skip|file)\b[\s,:]*(.*?)\s*-->$")
FENCE = re.compile(r"^```\s*([\w-]*)\s*$")
TIMEOUT = 300


def blocks(text):
    """(line number, language, marker, argument, lines) of every fenced block."""
    lines = text.splitlines()
    found = []
    i = 0
    while i < len(lines):
        opening = FENCE.match(lines[i].strip())
        if not opening:
            i += 1
            continue
        start = i
        body = []
        i += 1
        while i < len(lines) and lines[i].strip() != "```":
            body.append(lines[i])
            i += 1
        previous = lines[start - 1].strip() if start > 0 else ""
        marker = MARKER.match(previous)
        kind, argument = (marker.group(1), marker.group(2)) if marker else (None, "")
        found.append((start + 1, opening.group(1), kind, argument, body))
        i += 1
    return found


def transcript(body):
    """(command, expected output lines) of every `$ ` command of a console block."""
    steps = []
    continuing = False
    for line in body:
        if continuing:
            steps[-1][0] += "\n" + line
            continuing = line.endswith("\\")
        elif line.startswith("$ "):
            steps.append([line[2:], []])
            continuing = line.endswith("\\")
        elif steps:
            steps[-1][1].append(line.rstrip())
    return steps


def matches(expected, actual):
    """Whether the lines match, `...` in `expected` standing for any run of lines."""
    # reachable[j]: the expected lines so far can match the first j actual lines.
    reachable = [True] + [False] * len(actual)
    for want in expected:
        if want == "...":
            for j in range(1, len(actual) + 1):
                reachable[j] = reachable[j] or reachable[j - 1]
        else:
            reachable = [False] + [reachable[j] and actual[j] == want
                                   for j in range(len(actual))]
    return reachable[-1]


def copy_tree(source, scratch):
    def ignored(folder, names):
        if os.path.abspath(folder) != source:
            return []
        return [n for n in names if n == ".git" or n.startswith("build")]
    shutil.copytree(source, scratch, symlinks=True, ignore=ignored, dirs_exist_ok=True)


def run(command, cwd, env, shell_flags):
    return subprocess.run(["bash", *shell_flags, "-c", command], cwd=cwd, env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          stdin=subprocess.DEVNULL, timeout=TIMEOUT,
                          text=True, errors="backslashreplace")


def main():
    readme, build = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    source = os.path.dirname(readme)
    with open(readme, encoding="utf-8") as f:
        found = blocks(f.read())

    ran = failed = 0
    with tempfile.TemporaryDirectory(prefix="readme-") as scratch:
        copy_tree(source, scratch)
        os.symlink(build, os.path.join(scratch, "build"))
        env = dict(os.environ, PATH=build + os.pathsep + os.environ.get("PATH", ""))
        for line, language, kind, argument, body in found:
            where = f"README.md:{line}"
            if kind == "file":
                with open(os.path.join(scratch, argument), "w", encoding="utf-8") as f:
                    f.write("\n".join(body) + "\n")
                print(f"{where}: written to {argument}")
                continue
            if language not in ("sh", "console"):
                continue
            if kind == "skip":
                print(f"{where}: skipped: {argument or 'no reason given'}")
                continue
            ran += 1
            if language == "sh":
                result = run("\n".join(body) + "\n", scratch, env, ["-e", "-x"])
                if result.returncode != 0:
                    failed += 1
                    print(f"{where}: the block fails (status {result.returncode}):")
                    print(result.stdout)
                else:
                    print(f"{where}: {len(body)} lines run")
                continue
            steps = transcript(body)
            if not steps:
                failed += 1
                print(f"{where}: a console block without a `$ ` command")
            for command, expected in steps:
                result = run(command, scratch, env, [])
                actual = [l.rstrip() for l in result.stdout.splitlines()]
                if matches(expected, actual):
                    print(f"{where}: $ {command}")
                    continue
                failed += 1
                print(f"{where}: $ {command}\n  printed (status {result.returncode}):")
                print("\n".join("    " + l for l in actual))
                print("  where the README shows:")
                print("\n".join("    " + l for l in expected))
    if ran == 0:
        print("no command block found in the README: has its format changed?")
        return 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
