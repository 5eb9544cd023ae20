#!/usr/bin/env bash
# isa4 under its largest inputs: one file of each kind at the cap on text inputs (4 MiB),
# built to hit the slow paths (names in falling order, the most differences an
# expectation file can name, the most names a trace looks up), each run once with its
# wall time and peak memory from /usr/bin/time -v:
#
#   scripts/hostile-bench.sh             builds isa4 alone as Release in build-isa4/
#   ISA4=build-dev/isa4 scripts/hostile-bench.sh
#
# Every run must finish in seconds; the status is the command's own (most of these
# inputs are refused, which is part of what is measured). The wide class (many
# programs at once) is measured by scripts/bench-grading.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${ISA4:-}" ]; then
    scripts/deps.sh build
    cmake --preset isa4 >/dev/null
    cmake --build build-isa4 --target isa4 -j"$(nproc)" >/dev/null
    ISA4=$PWD/build-isa4/isa4
fi
isa4=$(realpath "$ISA4")

work=$(mktemp -d /tmp/hostile-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

# fill EXPR TAIL [HEAD]: HEAD, then lines EXPR(n) for n = 0, 1, ... and TAIL, as many as
# fit in 4 MiB.
fill() {
    python3 -c '
import sys
text = lambda s: s.encode().decode("unicode_escape")
tail, head = text(sys.argv[2]), text(sys.argv[3] if len(sys.argv) > 3 else "")
cap, out, size = 4 * 1024 * 1024, [head], len(head)
gen = eval("lambda n: " + sys.argv[1])
n = 0
while True:
    line = gen(n)
    if size + len(line) + len(tail) > cap: break
    out.append(line); size += len(line); n += 1
sys.stdout.write("".join(out) + tail)
' "$@"
}

fill '"z%d:\n" % (1000000 - n)' 'ADDI r0, r0, 0\nh: JZ @h\n' >falling.s
fill '".equ c%d, %d\n" % (n, 1000000 - n)' 'ADDI r0, r0, 0\nh: JZ @h\n' >equ.s
fill '"s%d 0x%02X\n" % (n, 255 - n % 256)' '' >falling.sym
fill '"l%d 0x%02X\n" % (n, n % 3)' '' >trace.sym
printf 'ADDI r1, r1, 1\nADDI r0, r0, 0\nJZ 0xFF\n' >loop.s
printf 'ADDI r1, r0, 1\nADDI r0, r0, 0\nh: JZ @h\n' >halts.s
"$isa4" asm loop.s -o loop.rom
fill '":0000000000\n"' ':0100000001FE\n:00000001FF\n' >many.hex
fill '"# %d\n" % n' '256*0\n' 'v2.0 raw\n' >comments.lgs
fill '"[0..255] = 1\n"' '' >many.expect
fill '"case c%d\n  expect r1 = 1\n" % n' '' >many.suite
python3 -c 'import sys; sys.stdout.write("".join("case c%d\n  expect r1 = 1\n" % n for n in range(100000)))' >cap.suite
printf 'case one\n  expect r1 = 0\n' >one.suite

printf '%-44s %8s %10s %7s\n' "input (4 MiB)" seconds "peak KiB" status
measure() {
    local label=$1
    shift
    local status=0
    /usr/bin/time -v -o time.txt "$isa4" "$@" >out.txt 2>err.txt || status=$?
    local wall peak
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' time.txt)
    peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' time.txt)
    wall=$(echo "$wall" | awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
    printf '%-44s %8s %10s %7s\n' "$label" "$wall" "$peak" "$status"
}

measure "asm: labels in falling order" asm falling.s -o falling.rom
measure "asm --symbols: the same (refused, too large)" asm falling.s -o f.rom --symbols f.sym
measure "asm --symbols: .equ lines" asm equ.s -o equ.rom --symbols equ.sym
measure "test: the falling labels as a submission" test one.suite falling.s
measure "dis --symbols: names in falling order" dis loop.rom --symbols falling.sym
measure "run --trace --symbols: 100000 steps" run loop.rom --steps 100000 --trace --quiet \
    --symbols trace.sym
measure "convert: Intel HEX of empty records" convert many.hex -o hex.rom --to raw
measure "convert: Logisim of comment lines" convert comments.lgs -o lgs.rom --to raw
measure "run --expect: every cell differs" run loop.rom --steps 10 --quiet --expect many.expect
measure "test: a suite of many cases (refused)" test many.suite halts.s
measure "test: 100000 cases, the most a suite has" test cap.suite halts.s --junit j.xml --csv c.csv
