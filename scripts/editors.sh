#!/usr/bin/env bash
# The editor set-ups in editors/, built and checked: the VS Code extension is copied into
# the build folder, its npm packages installed there from the committed lockfile (npm ci;
# again only when the lockfile changes), its grammar checked against the table of lines
# and scopes with vscode-textmate and vscode-oniguruma, and the extension packaged with
# @vscode/vsce into isa4.vsix, whose manifest is then checked.
#
#   scripts/editors.sh [BUILD_DIR]     # default build; leaves BUILD_DIR/editors/isa4.vsix
#
# Needs node and npm (and the npm registry on the first run). Without npm it says so
# and exits 77, which CTest counts as skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath -m "${1:-build}")
work=$build/editors/vscode
if ! command -v npm >/dev/null || ! command -v node >/dev/null; then
    echo "editors: no node or npm here: the grammar and the .vsix are not checked"
    exit 77
fi
mkdir -p "$work"
# The extension's own files, fresh; node_modules stays between runs.
find "$work" -mindepth 1 -maxdepth 1 ! -name node_modules -exec rm -rf {} +
(cd editors/vscode && tar -cf - --exclude=node_modules .) | tar -xf - -C "$work"
cd "$work"
if ! cmp -s package-lock.json node_modules/.installed-lock 2>/dev/null; then
    npm ci --no-audit --no-fund --loglevel=error
    cp package-lock.json node_modules/.installed-lock
fi
node test/grammar_test.js
# No repository, licence file or publisher is named: the project has none to name.
npx --no-install vsce package --allow-missing-repository --skip-license \
    -o "$build/editors/isa4.vsix" >"$build/editors/vsce.log" 2>&1 ||
    { cat "$build/editors/vsce.log" >&2; exit 1; }
python3 "$root/tests/editors/vsix_check.py" "$build/editors/isa4.vsix"
