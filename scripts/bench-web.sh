#!/usr/bin/env bash
# The page against Dear ImGui's own emscripten example, in the same run of headless
# Chromium (SwiftShader's software WebGL): bytes transferred, raw and gzip; time from
# navigation to the first drawn frame; the median cost of a frame over an idle spell; and
# for the page, the time to its editor ready and from a key press to fresh diagnostics.
#
#   scripts/bench-web.sh [SECONDS] [LOADS]     (10 s of frames; first frame over 5 loads)
#
# The example (examples/example_emscripten_opengl3/main.cpp of Debian's imgui source) is
# built as the page is: the same emscripten, -Os, the same Dear ImGui sources and the
# same libSDL2.a, with its own Makefile's link flags (no file system, so no file
# functions) and a page of ours in place of its shell_minimal.html. It lands in
# build-wasm/example/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
loads=${2:-5}

scripts/deps.sh webtest
scripts/web.sh
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

imgui=$(sed -n 's/^KELVANE_WEB_IMGUI:PATH=//p' build-wasm/page/CMakeCache.txt)
sdl2=$(sed -n 's/^KELVANE_WEB_SDL2:PATH=//p' build-wasm/page/CMakeCache.txt)
out=build-wasm/example
mkdir -p "$out/objects"
sources=("$imgui"/examples/example_emscripten_opengl3/main.cpp "$imgui"/imgui.cpp
    "$imgui"/imgui_demo.cpp "$imgui"/imgui_draw.cpp "$imgui"/imgui_tables.cpp
    "$imgui"/imgui_widgets.cpp "$imgui"/backends/imgui_impl_sdl.cpp
    "$imgui"/backends/imgui_impl_opengl3.cpp)
flags=(-Os -DNDEBUG -DIMGUI_DISABLE_FILE_FUNCTIONS -I"$imgui" -I"$imgui/backends"
    -I"$sdl2/include/SDL2" -w)
objects=()
for source in "${sources[@]}"; do
    object=$out/objects/$(basename "$source" .cpp).o
    [ "$object" -nt "$source" ] || em++ "${flags[@]}" -c "$source" -o "$object" &
    objects+=("$object")
    [ "$(jobs -r | wc -l)" -lt "$(nproc)" ] || wait -n
done
wait
em++ -Os "${objects[@]}" "$sdl2/lib/libSDL2.a" -sALLOW_MEMORY_GROWTH=1 -sNO_EXIT_RUNTIME=0 \
    -sNO_FILESYSTEM=1 -o "$out/example.js"
cp scripts/bench-web/example.html "$out/index.html"

echo "Measuring ($seconds s of frames, first frame over $loads loads) ..."
/usr/bin/python3 scripts/bench-web/measure.py "$seconds" "$loads" kelvane=build-web \
    example_emscripten_opengl3="$out"
