#!/usr/bin/env bash
# Fuzzes the isa4 command's text readers (the assembler and the expectation and cell-value
# parser) with libFuzzer for a chosen time, under AddressSanitizer and
# UndefinedBehaviorSanitizer:
#
#   scripts/fuzz.sh            # 60 seconds
#   scripts/fuzz.sh 1200       # 20 minutes; further arguments go to libFuzzer
#
# Builds build-fuzz/ with clang, seeds the corpus build-fuzz/corpus/ from examples/ and
# keeps it between runs. A crash leaves its input as build-fuzz/crash-* and exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

scripts/deps.sh build fuzz
cmake --preset fuzz >/dev/null
cmake --build build-fuzz --target isa4_fuzz -j"$(nproc)"
mkdir -p build-fuzz/corpus
find examples -type f \( -name '*.s' -o -name '*.expect' -o -name '*.data' \) \
    -exec cp -n {} build-fuzz/corpus/ \;
cd build-fuzz
exec ./isa4_fuzz -max_total_time="$seconds" -max_len=4096 "$@" corpus
