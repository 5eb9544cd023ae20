#!/usr/bin/env bash
# What a session of isa4 debug with a full history costs: a program that never halts is
# run to a million steps with continue (ten times the step limit), then searched back
# with a watch, gone to, stepped back through and asked who wrote a register. Prints the
# session's wall time and peak memory (/usr/bin/time -v) for the default --history and
# for a history of 1000 steps, which shows what the history itself takes.
#
#   scripts/bench-debug.sh              builds isa4 alone as Release in build-isa4/
#   ISA4=build/isa4 scripts/bench-debug.sh
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${ISA4:-}" ]; then
    scripts/deps.sh build
    cmake --preset isa4 >/dev/null
    cmake --build build-isa4 --target isa4 -j"$(nproc)" >/dev/null
    ISA4=$PWD/build-isa4/isa4
fi
isa4=$(realpath "$ISA4")

work=$(mktemp -d /tmp/bench-debug-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
cat >counter.s <<'PROGRAM'
loop:   ADDI r1, r1, 1
        MOVE [0x10], r1
        ADDI r2, r1, 0
        ADDI r0, r0, 0
        JZ   loop
PROGRAM
{
    for _ in $(seq 10); do echo continue; done
    echo "watch [0x10]"
    echo reverse-continue
    echo "goto 5"
    echo "goto 999999"
    echo "back 500000"
    echo "when r2"
} >session.txt

printf '%-18s %10s %14s %12s\n' history steps "wall time" "peak memory"
for history in 1000000 1000; do
    /usr/bin/time -v "$isa4" debug counter.s --history "$history" <session.txt \
        >out.txt 2>time.txt
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' time.txt)
    peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' time.txt)
    printf '%-18s %10s %14s %9s KiB\n' "--history $history" 1000000 "$wall" "$peak"
done
