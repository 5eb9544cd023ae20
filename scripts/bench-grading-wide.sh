#!/usr/bin/env bash
# Memory of a wide grading run: a class graded against 1,000 cases that each check all
# 256 RAM cells, with every report asked for, beside the same suite with fewer programs.
# A run keeps only a small summary per program, so the peak resident set size should
# stay about the same however many programs are graded.
#
#   scripts/bench-grading-wide.sh [PROGRAMS [REFERENCE [CASES]]]
#
# PROGRAMS is 3000 by default, REFERENCE (the small class) 100, CASES 1000. Half the
# cases check the product and that every other cell stays 0; the other half expect
# cells 03..FF to be 01, which no program does, so each of those fails with 253
# mismatches: the worst case for what a result holds. One program in four is wrong
# everywhere. ISA4 names the binary to measure; otherwise the script builds isa4 alone as
# a Release build in build-isa4/ (the `isa4` preset). Prints, for each class, the wall
# time, the cases per second and the maximum resident set size (`/usr/bin/time -v`).
# ISA4 may name an older isa4 too, to compare: one that holds every result until the end
# grows by about 43 MiB per program here.
set -euo pipefail
cd "$(dirname "$0")/.."

programs=${1:-3000}
reference=${2:-100}
cases=${3:-1000}

if [ -z "${ISA4:-}" ]; then
    scripts/deps.sh build
    cmake --preset isa4 >/dev/null
    cmake --build build-isa4 --target isa4 -j"$(nproc)" >/dev/null
    ISA4=$PWD/build-isa4/isa4
fi
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian's time package)" >&2; exit 2; }

work=$(mktemp -d /tmp/bench-grading-wide-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/class"

{
    echo "limit 5000"
    for i in $(seq 1 "$cases"); do
        x=$(( (i * 37 + 5) % 23 )) y=$(( (i * 11 + 3) % 19 ))
        echo "case $i: $x times $y"
        echo "    set [0x00..0x01] = $x, $y"
        echo "    expect [0x00..0x02] = $x, $y, $(( x * y % 256 ))"
        if [ $(( i % 2 )) = 0 ]; then
            echo "    expect [0x03..0xFF] = 0"
        else
            echo "    expect [0x03..0xFF] = 1"
        fi
        [ $(( i % 3 )) = 0 ] && echo "    hidden"
    done
} >"$work/wide.suite"

# The class, written with the shell's own string operations (a process per file would
# take minutes): the correct sample with its product register r3 renamed, and one in
# four the wrong sample.
samples=examples/grading/submissions
correct=$(<"$samples/ada-correct.s") wrong=$(<"$samples/ben-wrong.s")
registers=(4 5 6 7 8 9 a b c d e f)
for n in $(seq 1 "$programs"); do
    printf -v file '%s/class/s%05d.s' "$work" "$n"
    if [ $(( n % 4 )) = 0 ]; then
        printf '%s\n' "$wrong" >"$file"
    else
        printf '%s\n' "${correct//r3/r${registers[n % 12]}}" >"$file"
    fi
done

# Grades the first $1 programs with every report; prints a row of the table.
measure() {
    local count=$1 out="$work/out-$1"
    mkdir "$out"
    local list=()
    mapfile -t list < <(ls "$work"/class/*.s | head -n "$count")
    # An older isa4, measured for comparison, may lack the Markdown report.
    local markdown=()
    "$ISA4" test --help | grep -q -- --markdown && markdown=(--markdown "$out/m.md")
    set +e
    /usr/bin/time -v -o "$out/time.txt" "$ISA4" test "$work/wide.suite" "${list[@]}" \
        --junit "$out/j.xml" --csv "$out/g.csv" "${markdown[@]}" \
        --feedback "$out/pages" >"$out/table.txt" 2>"$out/err.txt"
    local status=$?
    set -e
    if [ "$status" -gt 1 ]; then
        echo "isa4 test failed ($status):" >&2
        cat "$out/err.txt" >&2
        exit 1
    fi
    local wall rss
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
        for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' "$out/time.txt")
    rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$out/time.txt")
    printf '%-34s %10.1f %14.0f %14.1f\n' "$count programs x $cases cases" "$wall" \
        "$(awk "BEGIN { print $count * $cases / ($wall > 0 ? $wall : 0.01) }")" \
        "$(awk "BEGIN { print $rss / 1024 }")"
    rm -rf "$out/pages" "$out"/*.xml "$out"/*.csv "$out"/*.md
}

printf '%-34s %10s %14s %14s\n' "class (every report, 256 cells)" "wall (s)" "cases per s" \
    "max RSS (MiB)"
measure "$reference"
measure "$programs"
