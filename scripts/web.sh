#!/usr/bin/env bash
# Builds Kelvane's page for the browser into build-web/, a static folder (index.html,
# page.js, kelvane.js, kelvane.wasm, kelvane.data) that any web server can serve.
#
#   scripts/web.sh                 installs what is missing, builds the page
#   scripts/web.sh --serve [PORT]  builds it, then serves it on http://127.0.0.1:PORT/ (8000)
#
# SDL2 and Dear ImGui come from Debian's own source packages, of the versions installed
# for the desktop build, fetched with apt-get source through an apt configuration of this
# script's own (the system's apt sources are only read). SDL2 is built once with
# emscripten and kept, keyed by the versions, in KELVANE_WEB_CACHE (by default
# ${XDG_CACHE_HOME:-~/.cache}/kelvane/web), so that later builds and fresh clones reuse it.
# The editor pane's CodeMirror comes from npm, pinned by web/editor/package-lock.json and
# bundled by Debian's esbuild; nothing is fetched by the page at run time.
# The examples the page carries are assembled by isa4 built for this machine (the `isa4`
# preset, build-isa4/); the page's own build tree is build-wasm/page/ (the `web` preset).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

serve=false
port=8000
case "${1:-}" in
    "") ;;
    --serve)
        serve=true
        port=${2:-8000}
        ;;
    *)
        echo "usage: scripts/web.sh [--serve [PORT]]" >&2
        exit 2
        ;;
esac

scripts/deps.sh build web
command -v npm >/dev/null || scripts/deps.sh npm

# Debian's emscripten runs its JavaScript tools under node; a node from elsewhere does
# not look in Debian's folder for the modules they need (acorn).
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

source_version() {
    dpkg-query -W -f='${source:Version}' "$1"
}
sdl2_version=$(source_version libsdl2-dev)
imgui_version=$(source_version libimgui-dev)
emscripten_version=$(source_version emscripten)
cache=${KELVANE_WEB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kelvane/web}
deps=$cache/emscripten-${emscripten_version}_libsdl2-${sdl2_version}_imgui-${imgui_version}

# --- The dependencies, once per set of versions ---
build_dependencies() {
    local work=$deps.partial
    rm -rf "$work"
    mkdir -p "$work/apt/sources.list.d" "$work/apt/lists/partial" \
        "$work/apt/cache/archives/partial" "$work/src"
    : >"$work/apt/sources.list"
    # A deb-src entry for each archive the system takes packages from.
    local sources=()
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -e "$file" ] || continue
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /(^|\n)Types:[^\n]*deb/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' \
            "$file" >>"$work/apt/sources.list.d/kelvane-src.sources"
    done
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -e "$file" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file" >>"$work/apt/sources.list"
    done
    local apt=(-o "Dir::Etc::SourceList=$work/apt/sources.list"
        -o "Dir::Etc::SourceParts=$work/apt/sources.list.d"
        -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache"
        -o "APT::Sandbox::User=$(id -un)")
    echo "Fetching the sources of libsdl2 $sdl2_version and imgui $imgui_version"
    apt-get "${apt[@]}" -q update >/dev/null
    (cd "$work/src" && apt-get "${apt[@]}" -q source "libsdl2=$sdl2_version" \
        "imgui=$imgui_version" >/dev/null)

    echo "Building SDL2 with emscripten (some minutes, once)"
    local sdl_source
    sdl_source=$(echo "$work"/src/libsdl2-*/)
    emcmake cmake -S "$sdl_source" -B "$work/sdl2-build" -DCMAKE_BUILD_TYPE=Release \
        -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_TESTS=OFF \
        -DCMAKE_INSTALL_PREFIX="$deps/sdl2" >"$work/sdl2-configure.log" 2>&1 ||
        { cat "$work/sdl2-configure.log" >&2; exit 1; }
    cmake --build "$work/sdl2-build" -j"$jobs" >"$work/sdl2-build.log" 2>&1 ||
        { tail -50 "$work/sdl2-build.log" >&2; exit 1; }
    # Installed straight into its place, named by the versions; the sources beside it.
    rm -rf "$deps"
    mkdir -p "$deps"
    cmake --install "$work/sdl2-build" >/dev/null
    mv "$work/src" "$deps/src"
    rm -rf "$work"
    touch "$deps/complete"
}
[ -f "$deps/complete" ] || build_dependencies
imgui_source=$(echo "$deps"/src/imgui-*/)

# --- isa4 for this machine, which makes the examples' images ---
cmake --preset isa4 >/dev/null
cmake --build build-isa4 --target isa4 -j"$jobs" >/dev/null

# --- The editor's packages, from the lockfile (again only when it has changed) ---
editor=web/editor
if [ ! -f "$editor/node_modules/.package-lock.json" ] ||
    [ "$editor/package-lock.json" -nt "$editor/node_modules/.package-lock.json" ]; then
    echo "Installing the editor's packages (npm ci)"
    npm ci --prefix "$editor" --no-audit --no-fund --ignore-scripts >/dev/null
fi

# --- The page ---
emcmake cmake --preset web -DKELVANE_WEB_SDL2="$deps/sdl2" \
    -DKELVANE_WEB_IMGUI="$imgui_source" -DKELVANE_HOST_ISA4="$root/build-isa4/isa4" \
    -DKELVANE_WEB_SITE="$root/build-web" >/dev/null
cmake --build build-wasm/page --target kelvane_page -j"$jobs"
echo "The page is in build-web/"

if $serve; then
    echo "Serving it on http://127.0.0.1:$port/ (Ctrl+C ends)"
    exec python3 -m http.server --bind 127.0.0.1 --directory build-web "$port"
fi
