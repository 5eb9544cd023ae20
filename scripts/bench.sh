#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks as a Release build in build-bench/ and
# runs them all: machine steps per second, and one headless frame of the simulator's
# windows against one frame of the Dear ImGui demo window, with their ratio at the end.
# By default each benchmark runs ten times, the runs of all benchmarks shuffled so that a
# busy spell of the machine spreads over all of them, and the table shows mean, median,
# standard deviation and coefficient of variation; the ratio compares medians. Arguments
# go to the benchmark program and win over these (e.g. --benchmark_filter=frame,
# --benchmark_repetitions=1).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh build bench
cmake --preset bench >/dev/null
cmake --build build-bench --target kelvane_bench -j"$(nproc)"
exec build-bench/kelvane_bench --benchmark_repetitions=10 \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true "$@"
