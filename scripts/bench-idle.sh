#!/usr/bin/env bash
# Measures what an idle workbench costs where nothing paces its frames: the real kelvane
# binary on a first launch (no imgui.ini) under an Xvfb of its own, left alone for 10 s
# (or the seconds given as the first argument) after a few seconds to settle, and, in the
# same run and the same way, Dear ImGui's own SDL2 + OpenGL2 example built from Debian's
# libimgui-dev. For each it prints the CPU seconds the program used per second (all its
# threads, llvmpipe's included), the CPU seconds per second of the X server meanwhile,
# and the frames per second it presented. Frames are counted by a small LD_PRELOAD
# library over SDL_GL_SwapWindow (scripts/bench-idle/frame_counter.cpp), so neither
# program is changed. Two more rows show where the time goes: the example paced by that
# library to 60 frames a second, as the workbench paces itself (FRAME_PACE_HZ), and the
# workbench with every window folded to its title bar (an imgui.ini of the first-launch
# places with Collapsed=1), what clearing and presenting the window costs alone. They run
# one after the other, never at once.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-10}
settle=3

scripts/deps.sh
cmake --preset idle >/dev/null
cmake --build build-idle --target kelvane -j"$(nproc)" >/dev/null
example=/usr/share/doc/libimgui-dev/examples/example_sdl_opengl2/main.cpp
# shellcheck disable=SC2046  # the flags are meant to split into words
g++ -O2 -o build-idle/example_sdl_opengl2 "$example" $(pkg-config --cflags imgui) \
    -I"$(pkg-config --variable=includedir imgui)/backends" $(sdl2-config --cflags) \
    $(pkg-config --libs imgui) $(sdl2-config --libs) -lGL
g++ -O2 -shared -fPIC -o build-idle/frame_counter.so scripts/bench-idle/frame_counter.cpp -ldl

scratch=$(mktemp -d /tmp/kelvane-idle-XXXXXX)
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp -noreset 3>"$scratch/display" \
    2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
display=":$(tr -d '\n' <"$scratch/display")"

# The CPU time of a process so far, in clock ticks: user + system of all its threads.
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
frames() { od -An -t u8 "$1" | tr -d ' '; }
now() { date +%s.%N; }
ticks_per_second=$(getconf CLK_TCK)
runs=0

# measure NAME PROGRAM [VAR=VALUE...]: starts PROGRAM in a directory of its own, with
# those variables set, and prints one row.
measure() {
    local name=$1 program=$2 dir="$scratch/run$((++runs))"
    shift 2
    mkdir -p "$dir"
    [ -n "${ini:-}" ] && cp "$ini" "$dir/imgui.ini"
    truncate -s 8 "$dir/frames"
    (cd "$dir" && exec env DISPLAY="$display" XDG_CACHE_HOME="$dir/cache" \
        FRAME_COUNTER="$dir/frames" LD_PRELOAD="$root/build-idle/frame_counter.so" "$@" \
        "$program" >/dev/null) &
    local pid=$!
    sleep "$settle"
    local t0 c0 x0 f0 t1 c1 x1 f1
    t0=$(now) c0=$(cpu_ticks "$pid") x0=$(cpu_ticks "$xvfb_pid") f0=$(frames "$dir/frames")
    sleep "$seconds"
    t1=$(now) c1=$(cpu_ticks "$pid") x1=$(cpu_ticks "$xvfb_pid") f1=$(frames "$dir/frames")
    kill -TERM "$pid"
    wait "$pid" || true
    awk -v n="$name" -v t0="$t0" -v t1="$t1" -v c=$((c1 - c0)) -v x=$((x1 - x0)) \
        -v f=$((f1 - f0)) -v hz="$ticks_per_second" 'BEGIN {
            t = t1 - t0
            printf "%-22s %14.2f %14.2f %10.1f\n", n, c / hz / t, x / hz / t, f / t
        }'
}

printf '%s idle, %s s each, %s processors, load average %s\n' "$display" "$seconds" \
    "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-22s %14s %14s %10s\n' program "CPU-s/s" "Xvfb CPU-s/s" "frames/s"
measure kelvane "$root/build-idle/kelvane"
measure example_sdl_opengl2 "$root/build-idle/example_sdl_opengl2"
measure "example, paced to 60/s" "$root/build-idle/example_sdl_opengl2" FRAME_PACE_HZ=60
# The first-launch layout as the workbench seeds it, every window folded.
ini="$scratch/folded.ini"
sed -n '/R"(/,/)";/p' app/first_launch_layout.cpp | sed -e 's/.*R"(//' -e '/)";/d' \
    -e 's/^Collapsed=0$/Collapsed=1/' >"$ini"
grep -q '^\[Window\]\[CPU state\]$' "$ini" || { echo "no layout in app/first_launch_layout.cpp" >&2; exit 1; }
measure "kelvane, windows folded" "$root/build-idle/kelvane"
