#!/usr/bin/env bash
# Installs the Debian packages that Kelvane's build, tests and benchmarks need and that
# are not installed yet. Does nothing when everything is there.
set -euo pipefail

packages=(
    cmake make g++ pkg-config           # the build
    libsdl2-dev libimgui-dev libgl-dev  # the workbench: SDL2, Dear ImGui 1.86, OpenGL
    libgl1-mesa-dri libglx-mesa0        # software OpenGL, for the window under Xvfb
    libcli11-dev                        # the isa4 command line
    libgtest-dev libbenchmark-dev       # tests and benchmarks
    xvfb xdotool libx11-dev             # end-to-end tests under a private X server
    perl python3-junitparser python3-jsonschema libxml2-utils  # readers of the grading reports
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
