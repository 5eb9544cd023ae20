#!/usr/bin/env bash
# Grading a class: 1000 generated submissions of the multiply exercise against a 10-case
# suite, graded by one `isa4 test` process, side by side with the same work done one
# `isa4 run --expect` process per submission and case (after one `isa4 asm` per
# submission), as a wrapper script around `run --expect` would do it.
#
#   scripts/bench-grading.sh                 the reference runs 100 of the submissions
#                                            (1,000 runs) and is scaled by 10
#   scripts/bench-grading.sh --full          the reference runs all 10,000
#
# Builds isa4 alone as a Release build in build-isa4/ (the `isa4` preset). The
# submissions are the correct sample with its registers renamed, one in ten of them
# wrong, one in ten slow and one in ten never halting, so the suite's verdicts vary as in
# a real class.
#
# Then the cost of a never-halting program at a large step limit: a three-word loop run
# for 100,000,000 steps by `isa4 run` and graded by `isa4 test`, beside a plain loop of
# the machine's step over the same image (bench/step_loop.cpp, as bench/ measures the
# bare step). Each is timed three times and the fastest counts; the ratios should stay
# under 1.2.
set -euo pipefail
cd "$(dirname "$0")/.."

reference_share=100
[ "${1:-}" = --full ] && reference_share=1000

scripts/deps.sh build
cmake --preset isa4 >/dev/null
cmake --build build-isa4 --target isa4 step_loop -j"$(nproc)" >/dev/null
isa4=$PWD/build-isa4/isa4

work=$(mktemp -d /tmp/bench-grading-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/class" "$work/cases"

# The suite: ten products, with a step bound on the last.
{
    echo "limit 20000"
    for i in $(seq 0 9); do
        x=$(( (i * 37 + 5) % 23 )) y=$(( (i * 11 + 3) % 19 ))
        echo "case $x times $y"
        echo "    set [0x00..0x01] = $x, $y"
        echo "    expect [0x02] = $(( x * y % 256 ))"
        printf '[0x00..0x01] = %d, %d\n' "$x" "$y" >"$work/cases/$i.data"
        printf '[0x02] = %d\n' $(( x * y % 256 )) >"$work/cases/$i.expect"
    done
    echo "    steps <= 200"
} >"$work/class.suite"
for i in $(seq 0 9); do "$isa4" ram "$work/cases/$i.data" -o "$work/cases/$i.ram"; done

# The class: the correct and the slow sample with their product register r3 renamed,
# the wrong one and the one that never halts.
samples=examples/grading/submissions
for n in $(seq 1 1000); do
    r=$(printf '%x' $(( n % 12 + 3 )))
    case $(( n % 10 )) in
        0) cat "$samples/ben-wrong.s" ;;
        1) sed "s/\br3\b/r$r/g" "$samples/cleo-slow.s" ;;
        2) cat "$samples/dan-never-halts.s" ;;
        *) sed "s/\br3\b/r$r/g" "$samples/ada-correct.s" ;;
    esac >"$work/class/s$(printf '%04d' "$n").s"
done

now() { date +%s.%N; }
calc() { awk "BEGIN { print $1 }"; }

start=$(now)
set +e
"$isa4" test "$work/class.suite" "$work"/class/*.s --csv "$work/grades.csv" >"$work/table.txt"
set -e
grade_time=$(calc "$(now) - $start")
passed=$(grep -c ',pass,' "$work/grades.csv")

start=$(now)
for s in $(ls "$work"/class/*.s | head -n "$reference_share"); do
    "$isa4" asm "$s" -o "$s.rom"
    for i in $(seq 0 9); do
        "$isa4" run "$s.rom" --ram "$work/cases/$i.ram" --steps 20000 --until-halt --quiet \
            --expect "$work/cases/$i.expect" >/dev/null 2>&1 || true
    done
done
reference_time=$(calc "($(now) - $start) * 1000 / $reference_share")

printf '%-60s %10s %14s\n' "1000 submissions x 10 cases" "wall (s)" "cases per s"
printf '%-60s %10.3f %14.0f\n' "isa4 test, one process" "$grade_time" \
    "$(calc "10000 / $grade_time")"
label="1000 isa4 asm + 10000 isa4 run --expect processes"
[ "$reference_share" -lt 1000 ] && label="$label (x10 of 1/10)"
printf '%-60s %10.3f %14.0f\n' "$label" "$reference_time" \
    "$(calc "10000 / $reference_time")"
printf 'ratio %.0f; %d of 10000 cases passed\n' "$(calc "$reference_time / $grade_time")" \
    "$passed"

# A never-halting program at a large limit.
loop_steps=100000000
cat >"$work/loop.s" <<'SOURCE'
loop:   ADDI r1, r1, 1
        ADDI r0, r0, 0          ; z set
        JZ   loop
SOURCE
"$isa4" asm "$work/loop.s" -o "$work/loop.rom"
printf 'limit %d\ncase runs forever\n    expect r1 = 0\n' "$loop_steps" >"$work/loop.suite"

fastest() {  # the fastest of three runs of a command, in seconds
    local best="" t start
    for _ in 1 2 3; do
        start=$(now)
        "$@" >/dev/null 2>&1 || true
        t=$(calc "$(now) - $start")
        if [ -z "$best" ] || [ "$(calc "$t < $best")" = 1 ]; then best=$t; fi
    done
    echo "$best"
}
plain_time=$(fastest build-isa4/step_loop "$work/loop.rom" "$loop_steps")
run_time=$(fastest "$isa4" run "$work/loop.rom" --steps "$loop_steps" --quiet)
test_time=$(fastest "$isa4" test "$work/loop.suite" "$work/loop.rom")

echo
printf '%-60s %10s %14s %6s\n' "a three-word loop, 100,000,000 steps" "wall (s)" "M steps per s" \
    "ratio"
for row in "plain loop of the step (step_loop):$plain_time" "isa4 run --steps:$run_time" \
    "isa4 test, limit 100000000:$test_time"; do
    t=${row##*:}
    printf '%-60s %10.3f %14.0f %6.2f\n' "${row%:*}" "$t" "$(calc "$loop_steps / $t / 1e6")" \
        "$(calc "$t / $plain_time")"
done
