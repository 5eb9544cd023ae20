#!/usr/bin/python3
"""Reads the Logisim images isa4 writes with a reader of our own, written from Logisim's
documentation of its memory files (the "v2.0 raw" header line, then hex values from
address 0 separated by white space, "N*value" for N equal values with N in decimal,
addresses the file leaves out holding 0), and hands isa4 files written the way Logisim
writes them. Programs and RAM images must hold the same values as the raw images.

Usage: logisim_format_test.py ISA4 SOURCE_DIR
"""
import os
import random
import subprocess
import sys
import tempfile

ISA4, SOURCE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
EXAMPLES = os.path.join(SOURCE, "examples")

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def isa4(*args):
    return subprocess.run([ISA4, *args], capture_output=True, text=True)


def read_logisim(text, size):
    """The values of a v2.0 raw file for a memory of `size` addresses."""
    lines = text.split("\n")
    if lines[0].strip() != "v2.0 raw":
        raise ValueError("no v2.0 raw header: %r" % lines[0])
    values = []
    for line in lines[1:]:
        line = line.split("#", 1)[0]  # a comment runs to the end of its line
        for token in line.split():
            count, _, value = token.rpartition("*")
            values += [int(value, 16)] * (int(count, 10) if count else 1)
    if len(values) > size:
        raise ValueError("%d values for %d addresses" % (len(values), size))
    return values + [0] * (size - len(values))


def raw_words(data):
    return [int.from_bytes(data[i:i + 3], "big") for i in range(0, len(data), 3)]


def write_like_logisim(values):
    """A file as Logisim's own Save Image writes one: runs of four or more as N*value,
    eight entries a line, the zeros at the end left out."""
    while values and values[-1] == 0:
        values = values[:-1]
    entries, k = [], 0
    while k < len(values):
        end = k
        while end < len(values) and values[end] == values[k]:
            end += 1
        run = end - k
        entries.append("%d*%x" % (run, values[k]) if run >= 4 else "%x" % values[k])
        k = end if run >= 4 else k + 1
    lines = [" ".join(entries[i:i + 8]) for i in range(0, len(entries), 8)]
    return "v2.0 raw\n" + "".join(line + "\n" for line in lines)


def main():
    rng = random.Random(20261210)
    with tempfile.TemporaryDirectory() as tmp:
        os.chdir(tmp)

        # Programs: the examples, and words of every width with runs among them.
        sources = [os.path.join(EXAMPLES, name) for name in sorted(os.listdir(EXAMPLES))
                   if name.endswith(".s")]
        for trial in range(5):
            words = []
            while len(words) < 256:
                word = rng.choice([0, 0xFFFFF, 0x100000, 0xFFFFFF, rng.randrange(1 << 24)])
                words += [word] * rng.choice([1, 1, 2, 3, 4, 9, 17])
            path = "words%d.s" % trial
            with open(path, "w") as f:
                f.writelines(".word 0x%06X\n" % w for w in words[:256])
            sources.append(path)
        for source in sources:
            name = os.path.basename(source)
            run = isa4("asm", source, "-o", "p.rom")
            check(run.returncode == 0, "%s: asm: %s" % (name, run.stderr))
            run = isa4("asm", source, "-o", "p.txt", "--format", "logisim")
            check(run.returncode == 0, "%s: asm --format logisim: %s" % (name, run.stderr))
            if failures:
                break
            raw = raw_words(open("p.rom", "rb").read())
            text = open("p.txt").read()
            check(read_logisim(text, 256) == raw, "%s: the Logisim words differ" % name)
            width = "24 data bits" if max(raw) > 0xFFFFF else "20 data bits"
            check(width in text.split("\n")[1], "%s: the comment should say %s" % (name, width))

        # RAM images from the examples' data.
        for name in sorted(os.listdir(EXAMPLES)):
            if not name.endswith(".data"):
                continue
            data = os.path.join(EXAMPLES, name)
            run = isa4("ram", data, "-o", "d.ram")
            check(run.returncode == 0, "%s: ram: %s" % (name, run.stderr))
            run = isa4("ram", data, "-o", "d.txt", "--format", "logisim")
            check(run.returncode == 0, "%s: ram --format logisim: %s" % (name, run.stderr))
            check(read_logisim(open("d.txt").read(), 256) == list(open("d.ram", "rb").read()),
                  "%s: the Logisim cells differ" % name)

        # Files written as Logisim writes them load as the values they hold.
        for trial in range(20):
            ram = trial % 2 == 1
            top = 0xFF if ram else 0xFFFFFF
            values = []
            for _ in range(rng.randrange(0, 60)):
                values += [rng.choice([0, top, rng.randrange(top + 1)])] * rng.randrange(1, 30)
            values = values[:256]
            with open("l.txt", "w") as f:
                f.write(write_like_logisim(values))
            args = ["convert", "l.txt", "-o", "l.img", "--to", "raw"] + (["--ram"] if ram else [])
            run = isa4(*args)
            check(run.returncode == 0, "trial %d: convert: %s" % (trial, run.stderr))
            if run.returncode != 0:
                continue
            data = open("l.img", "rb").read()
            got = list(data) if ram else raw_words(data)
            check(got == values + [0] * (256 - len(values)),
                  "trial %d: a Logisim-written %s loads differently" % (trial, "RAM" if ram else "ROM"))

    for failure in failures:
        print("FAIL:", failure)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
