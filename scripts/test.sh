#!/usr/bin/env bash
# Installs what is missing, checks the formatting of the C++ sources, builds everything
# with warnings as errors (the `test` preset) and runs every test: the whole suite (the
# end-to-end tests start their own Xvfb), then everything but the end-to-end, install
# and isa4-alone tests once more under AddressSanitizer and UndefinedBehaviorSanitizer,
# then the page for the browser (scripts/web.sh) in headless Chromium, with its accessible
# view checked by axe-core (from npm, through scripts/npm-tools.sh) and driven by keys.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

# Every package the steps below need, the browser page's included: one list, so that a
# user without root installs them in one round.
scripts/deps.sh build run test bench web webtest npm

# Every C++ file as the root .clang-format lays it out: a difference fails the run.
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

cmake --preset test >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake --preset sanitize >/dev/null
cmake --build build-sanitize -j"$jobs"
(cd build-sanitize && ctest --output-on-failure -LE 'e2e|install' -E isa4_alone -j"$jobs")

# The page for the browser, built by scripts/web.sh, in headless Chromium.
scripts/web.sh
/usr/bin/python3 tests/web/page_test.py build-web build-isa4/isa4 . build/artefacts
/usr/bin/python3 tests/web/access_test.py build-web build-isa4/isa4 .
/usr/bin/python3 tests/web/editor_test.py build-web build-isa4/isa4 .
node --test tests/web/share_test.mjs tests/web/columns_test.mjs tests/web/typing_test.mjs
/usr/bin/python3 tests/web/check_test.py build-web build-isa4/isa4 .
