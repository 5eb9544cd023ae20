#!/usr/bin/env bash
# Shows that isa4 builds on a machine without the display stack: none of SDL2, Dear
# ImGui, OpenGL or help2man. In a mount namespace of its own, every file that those
# packages installed is covered by an empty one; there the `isa4` preset is configured
# and built afresh in a scratch folder (isa4 and the example images), no compile command may name their headers, the
# program may link none of their libraries, and it assembles and runs an example.
#
#   scripts/isa4-alone-check.sh       root only (a mount namespace); status 77 without
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null; then
    echo "skipped: covering the display stack's files takes root and unshare" >&2
    exit 77
fi

hidden_packages=(libsdl2-dev libimgui-dev libgl-dev libglx-dev libopengl-dev mesa-common-dev
    help2man)
work=$(mktemp -d /tmp/isa4-alone-XXXXXX)
trap 'rm -rf "$work"' EXIT

unshare --mount --propagation private env ROOT="$root" WORK="$work" \
    HIDDEN="${hidden_packages[*]}" bash -euo pipefail -c '
# What stands in for each file: a header that stops the compiler, a CMake file that
# stops CMake, and for the rest (libraries, pkg-config files, help2man) the same text,
# which no linker, pkg-config or shell takes for what it was.
echo "#error a file of the display stack, covered by isa4-alone-check.sh" >"$WORK/cover"
echo "message(FATAL_ERROR \"a file of the display stack, covered\")" >"$WORK/cover.cmake"
chmod 644 "$WORK/cover" "$WORK/cover.cmake"
covered=0
for package in $HIDDEN; do
    dpkg -s "$package" >/dev/null 2>&1 || continue
    while read -r file; do
        # A link is covered through the file it names.
        [ -f "$file" ] || continue
        case "$file" in
            *.cmake) mount --bind "$WORK/cover.cmake" "$file" ;;
            *) mount --bind "$WORK/cover" "$file" ;;
        esac
        covered=$((covered + 1))
    done < <(dpkg -L "$package")
done
echo "covered $covered files of: $HIDDEN"
grep -q "^#error" /usr/include/SDL2/SDL.h || { echo "SDL.h is not covered" >&2; exit 1; }

cd "$ROOT"
cmake --preset isa4 -B "$WORK/build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >"$WORK/configure.log" ||
    { cat "$WORK/configure.log" >&2; exit 1; }
cmake --build "$WORK/build" -j"$(nproc)" >"$WORK/build.log" ||
    { tail -40 "$WORK/build.log" >&2; exit 1; }
if grep -Ei "sdl2|imgui|opengl|/GL\b" "$WORK/build/compile_commands.json"; then
    echo "a compile command names the display stack" >&2
    exit 1
fi
if ldd "$WORK/build/isa4" | grep -Ei "sdl|imgui|libGL"; then
    echo "isa4 links a library of the display stack" >&2
    exit 1
fi
isa4="$WORK/build/isa4"
"$isa4" asm examples/multiply.s -o "$WORK/multiply.rom"
"$isa4" ram examples/multiply.data -o "$WORK/multiply.ram"
"$isa4" run "$WORK/multiply.rom" --ram "$WORK/multiply.ram" --quiet --expect examples/multiply.expect
echo "isa4 builds and runs without SDL2, Dear ImGui, OpenGL and help2man"
'
