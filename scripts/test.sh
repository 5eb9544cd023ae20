#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs every
# test: the whole suite (the end-to-end tests start their own Xvfb), then everything but
# the end-to-end tests once more under AddressSanitizer and UndefinedBehaviorSanitizer,
# then the page for the browser (scripts/web.sh) in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANE_WERROR=ON -DKELVANE_APP=ON \
    -DKELVANE_TESTS=ON -DKELVANE_BENCH=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKELVANE_WERROR=ON \
    -DKELVANE_SANITIZE=ON -DKELVANE_APP=OFF -DKELVANE_BENCH=OFF >/dev/null
cmake --build build-sanitize -j"$jobs"
(cd build-sanitize && ctest --output-on-failure -LE e2e -j"$jobs")

scripts/deps.sh webtest
scripts/web.sh
/usr/bin/python3 tests/web/page_test.py build-web build-wasm/host/isa4 . build/artefacts
