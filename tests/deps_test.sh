#!/usr/bin/env bash
# What scripts/deps.sh does for a user who is not root, with stand-ins for id, dpkg-query,
# sudo and apt-get: without sudo it prints the apt-get command and installs nothing; with
# sudo it installs through it; with everything installed it does nothing. And the test
# command asks once: its first call names every package any later step asks for.
#
#   tests/deps_test.sh SOURCE_DIR
set -uo pipefail
deps=$1/scripts/deps.sh
source "$(dirname "$0")/check_helpers.sh" deps

# A PATH of stand-ins and the few real tools the script uses; no sudo unless added.
bin=$scratch/bin
mkdir -p "$bin"
for tool in bash grep env; do ln -s "$(command -v $tool)" "$bin/$tool"; done
stand_in() { printf '#!/bin/sh\n%s\n' "$2" >"$bin/$1" && chmod +x "$bin/$1"; }
stand_in id 'echo 1000'
stand_in apt-get 'echo "apt-get $*" >>"'"$scratch"'/calls"'
# libsdl2-dev is installed, the rest of the run list missing.
stand_in dpkg-query '[ "$3" = libsdl2-dev ] && echo "install ok installed"; exit 0'

run() { PATH=$bin "$bin/bash" "$deps" "$@" >"$scratch/out" 2>&1; }

run build run
status=$?
[ "$status" -eq 1 ] || fail "without sudo: status $status, expected 1"
grep -qx '    apt-get install --no-install-recommends cmake make g++ pkg-config libimgui-dev libgl-dev libcli11-dev libedit-dev nlohmann-json3-dev help2man libgl1-mesa-dri libglx-mesa0' \
    "$scratch/out" || { cat "$scratch/out" >&2; fail "without sudo: no exact apt-get command"; }
[ -e "$scratch/calls" ] && fail "without sudo: apt-get was called"

stand_in sudo 'echo "sudo $1" >>"'"$scratch"'/calls"; exec "$@"'
run run || fail "with sudo: status $?"
grep -q '^apt-get install .*libgl1-mesa-dri libglx-mesa0$' "$scratch/calls" &&
    grep -q '^sudo apt-get$' "$scratch/calls" || fail "with sudo: not installed through sudo"

rm -f "$scratch/calls"
stand_in dpkg-query 'echo "install ok installed"'
run || fail "all installed: status $?"
[ -e "$scratch/calls" ] && fail "all installed: apt-get was called"

# The test command on a machine with nothing installed: its first call asks for every
# package, the browser page's included, each once; every later call of deps.sh in it or
# in the scripts it runs asks for no list the first did not.
first=$(grep -m1 -o '^scripts/deps.sh.*' "$1/scripts/test.sh")
read -r -a first_lists <<<"${first#scripts/deps.sh}"
stand_in dpkg-query 'exit 0'
rm -f "$bin/sudo"
run "${first_lists[@]}"
asked=$(sed -n 's/^    apt-get install --no-install-recommends //p' "$scratch/out")
for package in cmake libgtest-dev libbenchmark-dev emscripten esbuild chromium python3-selenium npm; do
    printf '%s\n' $asked | grep -qx "$package" || fail "the test command's first call does not ask for $package"
done
[ -z "$(printf '%s\n' $asked | sort | uniq -d)" ] || fail "a package is asked for twice: $asked"
# npm is wanted only where no npm is on PATH: a Node.js from elsewhere brings its own.
stand_in npm 'exit 0'
run npm
grep -q 'npm' "$scratch/out" && fail "npm asked for although one is on PATH: $(cat "$scratch/out")"
rm -f "$bin/npm"
for script in test.sh web.sh npm-tools.sh; do
    while read -r -a later; do
        for list in "${later[@]:1}"; do
            printf '%s\n' "${first_lists[@]}" | grep -qx -- "$list" ||
                fail "scripts/$script asks for the $list list, which the first call did not"
        done
    done < <(grep -o '^ *scripts/deps.sh.*' "$1/scripts/$script" | sed 's/^ *//; s/ *[;&|>].*//')
done

[ "$failures" -eq 0 ] && echo "deps: all checks pass"
exit $((failures > 0))
