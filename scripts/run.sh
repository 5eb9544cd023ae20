#!/usr/bin/env bash
# Installs what building and running need, builds the workbench, the isa4 command and
# the example images and manual pages (no tests, no benchmarks) and starts the workbench.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh build run
cmake --preset default >/dev/null
cmake --build build --target kelvane isa4 examples man_pages -j"$(nproc)"
exec build/kelvane
