#!/usr/bin/python3
"""Runs a document's command blocks as written and compares what they print with what the
document shows, so that the README and the guides cannot drift.

    tests/readme_commands.py DOCUMENT BUILD_DIR [--max-lines N]

The blocks run in the order they appear, all in one scratch copy of the source tree (the
nearest folder above DOCUMENT that holds CMakeLists.txt, without .git and the build
folders) that holds `build`, a link to BUILD_DIR; BUILD_DIR comes first on PATH. Every
command runs from the copy's top folder, wherever the document lives.

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

Every relative link of the document ([text](path) and ![text](path)) must name a file
or folder of the tree, and its #anchor, in a Markdown file, one of that file's headings; with --max-lines the document may be at most N lines long.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

MARKER = re.compile(r"^<!--\s*readme-commands:\s*(skip|file)\b[\s,:]*(.*?)\s*-->$")
FENCE = re.compile(r"^```\s*([\w-]*)\s*$")
LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
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


def prose(text):
    """(line number, line) of every line outside the fenced blocks."""
    in_block = False
    for number, line in enumerate(text.splitlines(), 1):
        if FENCE.match(line.strip()) or line.strip() == "```":
            in_block = not in_block
        elif not in_block:
            yield number, line


def anchors(text):
    """The anchors GitHub gives the headings of a Markdown text."""
    found = set()
    for _, line in prose(text):
        heading = re.match(r"^#{1,6}\s+(.*?)\s*#*\s*$", line)
        if not heading:
            continue
        slug = re.sub(r"[^\w\- ]", "", heading.group(1).lower()).replace(" ", "-")
        anchor, k = slug, 0
        while anchor in found:
            k += 1
            anchor = f"{slug}-{k}"
        found.add(anchor)
    return found


def broken_links(text, folder):
    """(line number, target) of every relative link whose file or heading is missing."""
    missing = []
    for number, line in prose(text):
        for target in LINK.findall(line):
            if re.match(r"^[a-z][a-z0-9+.-]*:", target):
                continue
            path, _, anchor = target.partition("#")
            file = os.path.join(folder, path) if path else None
            if file and not os.path.exists(file):
                missing.append((number, target))
            elif anchor and (file is None or file.endswith(".md")):
                if file is None:
                    headings = anchors(text)
                else:
                    with open(file, encoding="utf-8") as f:
                        headings = anchors(f.read())
                if anchor not in headings:
                    missing.append((number, target))
    return missing


def source_root(document):
    folder = os.path.dirname(document)
    while not os.path.exists(os.path.join(folder, "CMakeLists.txt")):
        parent = os.path.dirname(folder)
        if parent == folder:
            sys.exit(f"{document}: no CMakeLists.txt in any folder above it")
        folder = parent
    return folder


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
    arguments = sys.argv[1:]
    max_lines = None
    if "--max-lines" in arguments:
        at = arguments.index("--max-lines")
        max_lines = int(arguments[at + 1])
        del arguments[at:at + 2]
    document, build = os.path.abspath(arguments[0]), os.path.abspath(arguments[1])
    source = source_root(document)
    name = os.path.relpath(document, source)
    with open(document, encoding="utf-8") as f:
        text = f.read()
    found = blocks(text)

    ran = failed = 0
    length = len(text.splitlines())
    if max_lines is not None and length > max_lines:
        failed += 1
        print(f"{name}: {length} lines, more than the {max_lines} it may have")
    for line, target in broken_links(text, os.path.dirname(document)):
        failed += 1
        print(f"{name}:{line}: the link '{target}' names no file or heading")
    with tempfile.TemporaryDirectory(prefix="readme-") as scratch:
        copy_tree(source, scratch)
        os.symlink(build, os.path.join(scratch, "build"))
        env = dict(os.environ, PATH=build + os.pathsep + os.environ.get("PATH", ""))
        for line, language, kind, argument, body in found:
            where = f"{name}:{line}"
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
                print(f"  where {name} shows:")
                print("\n".join("    " + l for l in expected))
    if ran == 0:
        print(f"no command block found in {name}: has its format changed?")
        return 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
