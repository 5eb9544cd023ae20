#!/usr/bin/env bash
# The analysis of a 500-line and a 4 MiB source, and isa4 lsp's answer to a hover and to
# a keystroke, as a Release build in build-bench/ (see docs/performance.md). Each
# benchmark runs ten times; the table shows mean, median, standard deviation and
# coefficient of variation. Arguments go to the benchmark program.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh build bench
cmake --preset bench >/dev/null
cmake --build build-bench --target language_bench -j"$(nproc)"
exec build-bench/language_bench --benchmark_repetitions=10 \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true "$@"
