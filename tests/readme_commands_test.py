#!/usr/bin/python3
"""Checks tests/readme_commands.py on small documents of a scratch tree: a guide in a
folder below the top runs its commands from the top, a missing link or heading or a document over
its line budget fails, and a printed line that differs fails.

    tests/readme_commands_test.py
"""
import os
import subprocess
import sys
import tempfile

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "readme_commands.py")

GUIDE = """# A guide

See [the top](../CMakeLists.txt) and [this guide](#a-guide).

```console
$ ls CMakeLists.txt
CMakeLists.txt
```
"""

# (name, document text, extra arguments, expected status, a line the output must hold)
CASES = [
    ("runs from the top folder", GUIDE, [], 0, "docs/guide.md:5: $ ls CMakeLists.txt"),
    ("a missing link", GUIDE + "\nAnd [gone](gone.md).\n", [], 1,
     "docs/guide.md:10: the link 'gone.md' names no file or heading"),
    ("a missing heading", GUIDE + "\nAnd [gone](#a-part).\n", [], 1,
     "docs/guide.md:10: the link '#a-part' names no file or heading"),
    ("a heading of another document", GUIDE + "\nAnd [it](guide.md#a-guide).\n", [], 0, ""),
    ("a link inside a block is no link", GUIDE + "\n```\n[x](gone.md)\n```\n", [], 0, ""),
    ("over its line budget", GUIDE, ["--max-lines", "5"], 1,
     "docs/guide.md: 8 lines, more than the 5 it may have"),
    ("within its line budget", GUIDE, ["--max-lines", "8"], 0, ""),
    ("output that differs", GUIDE.replace("CMakeLists.txt\n```", "README.md\n```"), [], 1,
     "where docs/guide.md shows:"),
]


def main():
    failures = 0
    for name, text, extra, status, line in CASES:
        with tempfile.TemporaryDirectory(prefix="readme-test-") as top:
            os.makedirs(os.path.join(top, "docs"))
            os.makedirs(os.path.join(top, "build"))
            open(os.path.join(top, "CMakeLists.txt"), "w").close()
            guide = os.path.join(top, "docs", "guide.md")
            with open(guide, "w", encoding="utf-8") as f:
                f.write(text)
            result = subprocess.run([sys.executable, SCRIPT, guide, os.path.join(top, "build"),
                                     *extra], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                    text=True)
            if result.returncode != status or line not in result.stdout:
                failures += 1
                print(f"FAIL: {name}: status {result.returncode}, expected {status}"
                      f"{', and no line ' + repr(line) if line else ''}:\n{result.stdout}")
    print(f"{len(CASES) - failures} of {len(CASES)} cases pass")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
