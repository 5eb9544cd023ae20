#!/usr/bin/env bash
# Installs what is missing, builds the workbench and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target kelvane -j"$(nproc)"
exec build/kelvane
