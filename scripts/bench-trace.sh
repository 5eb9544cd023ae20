#!/usr/bin/env bash
# The trace pages at 10^3, 10^4 and 10^5 steps: how long `isa4 trace` takes to write one
# (beside `isa4 run --trace` printing the same run as text), the page's size, the time
# from opening it in headless Chromium to its first paint (beside an empty page opened
# the same way), and the median time of 100 jumps to random steps, measured in the page
# with performance.now() (beside 100 single steps forward).
#
#   scripts/bench-trace.sh
#
# Builds isa4 as a Release build in build-bench/ (as scripts/bench.sh does); needs the
# test packages (chromium, chromium-driver, python3-selenium). The program never halts:
# a loop that counts in a register and stores into two RAM cells, cut at the step limit,
# so that every step writes something.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh build test >/dev/null
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKELVANE_TESTS=OFF -DKELVANE_APP=OFF \
    -DKELVANE_BENCH=OFF >/dev/null
cmake --build build-bench --target isa4 -j"$(nproc)" >/dev/null

work=$(mktemp -d /tmp/bench-trace-XXXXXX)
trap 'rm -rf "$work"' EXIT
cat >"$work/loop.s" <<'SOURCE'
loop:   ADDI r1, r1, 1
        MOVE [0x10], r1
        ADD  r2, r2, r1
        MOVE [0x20], r2
        ADDI r0, r0, 0
        JZ   loop
SOURCE

/usr/bin/python3 - "$PWD/build-bench/isa4" "$work" <<'PYTHON'
import os, statistics, subprocess, sys, time
sys.path.insert(0, "tests")
from headless_chromium import start_chromium

isa4, work = sys.argv[1], sys.argv[2]

def seconds(args, **kw):
    times = []
    for _ in range(5):
        start = time.perf_counter()
        subprocess.run(args, check=True, **kw)
        times.append(time.perf_counter() - start)
    return statistics.median(times)

driver = start_chromium(work)

PAINT = """return performance.getEntriesByType("paint").map(e => e.startTime)[0] || 0;"""
JUMPS = """
const v = window.isa4Page.viewers[0], n = v.run.n, times = [], steps = [];
let seed = 12345;
const random = () => (seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648;
for (let i = 0; i < 100; i++) {
  const k = Math.floor(random() * (n + 1)), t0 = performance.now();
  v.slider.value = String(k);
  v.slider.dispatchEvent(new Event("input"));
  void document.body.offsetHeight;
  times.push(performance.now() - t0);
}
v.go(0);
for (let i = 0; i < 100; i++) {
  const t0 = performance.now();
  v.buttons[">"].click();
  void document.body.offsetHeight;
  steps.push(performance.now() - t0);
}
const median = (a) => a.sort((x, y) => x - y)[50];
return [median(times), median(steps)];
"""

def first_paint(path):
    paints = []
    for _ in range(5):
        driver.get("about:blank")
        driver.get("file://" + path)
        for _ in range(50):
            p = driver.execute_script(PAINT)
            if p:
                break
            time.sleep(0.05)
        paints.append(p)
    return statistics.median(paints)

empty = os.path.join(work, "empty.html")
with open(empty, "w") as f:
    f.write("<!DOCTYPE html><html lang=en><head><meta charset=utf-8><title>empty</title></head>"
            "<body><p>empty</p></body></html>")
empty_paint = first_paint(empty)

print("| Steps | `isa4 trace` | `isa4 run --trace` | Page | First paint | Empty page | Jump (median of 100) | One step forward |")
print("|---:|---:|---:|---:|---:|---:|---:|---:|")
for n in (1000, 10000, 100000):
    page = os.path.join(work, "trace-%d.html" % n)
    source = os.path.join(work, "loop.s")
    write = seconds([isa4, "trace", source, "--steps", str(n), "-o", page], stdout=subprocess.DEVNULL)
    text = seconds([isa4, "run", source, "--trace", "--steps", str(n), "--quiet"], stdout=subprocess.DEVNULL)
    paint = first_paint(page)
    jump, step = driver.execute_script(JUMPS)
    print("| %d | %.3f s | %.3f s | %.2f MB | %.0f ms | %.0f ms | %.2f ms | %.2f ms |" % (
        n, write, text, os.path.getsize(page) / 1e6, paint, empty_paint, jump, step))
driver.quit()
PYTHON
