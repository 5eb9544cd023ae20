#!/usr/bin/env bash
# Installs the npm packages the browser tests use (axe-core, the accessibility checker
# they run inside each page) into tests/a11y/node_modules, exactly as
# tests/a11y/package-lock.json pins them, and prints the path of axe.min.js.
# Does nothing more when that version is installed already.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=tests/a11y
command -v npm >/dev/null || scripts/deps.sh npm >&2
wanted=$(sed -n '/"node_modules\/axe-core"/,/}/s/.*"version": "\(.*\)".*/\1/p' "$folder/package-lock.json")
installed=$(sed -n 's/^  "version": "\(.*\)".*/\1/p' "$folder/node_modules/axe-core/package.json" 2>/dev/null || true)
if [ "$wanted" != "$installed" ]; then
    (cd "$folder" && npm ci --ignore-scripts --no-audit --no-fund >&2)
fi
echo "$PWD/$folder/node_modules/axe-core/axe.min.js"
