#!/usr/bin/env bash
# The Debian packages Kelvane needs, one list per purpose, and the installer of the
# missing ones.
#
#   scripts/deps.sh build run         installs what building and running need
#   scripts/deps.sh --list test       prints one list, one package a line
#
# Without arguments it takes the build, run, test and bench lists. Packages already
# installed are left alone; when nothing is missing it does nothing. The missing ones are
# installed with apt-get in one go, as root or through sudo; with neither, it prints the
# one command to run as root and exits with status 1. A caller that will need several
# lists (scripts/test.sh: all but fuzz and logisim) names them all at once, so that a
# user without root is asked once.
set -euo pipefail

# Compiling kelvane and isa4, and the pages and images the install holds.
build=(
    cmake make g++ pkg-config
    libsdl2-dev libimgui-dev libgl-dev  # the workbench: SDL2, Dear ImGui 1.86, OpenGL
    libcli11-dev                        # the isa4 command line
    libedit-dev                         # line editing and history in isa4 debug
    nlohmann-json3-dev                  # isa4 lsp's JSON (header-only)
    help2man                            # isa4(1), made from isa4 --help-all
)

# Running the workbench: software OpenGL where the machine has no driver of its own.
run=(
    libgl1-mesa-dri libglx-mesa0
)

# The tests, and the tools they read our outputs with.
test=(
    libgtest-dev
    clang-format                        # every C++ file as .clang-format lays it out
    xvfb xdotool libx11-dev             # end-to-end tests under a private X server
    python3                             # the README commands test
    perl                                # prove, for TAP output
    python3-junitparser                 # JUnit XML reports
    python3-jsonschema                  # JSON output against its schema
    cmark-gfm                           # Markdown reports as GitHub renders them
    libxml2-utils                       # xmllint
    binutils srecord                    # objcopy and srec_cat read converted images
    desktop-file-utils appstream man-db # the installed desktop entry, metainfo, man pages
    dpkg-dev file fakeroot              # cpack -G DEB: dpkg-shlibdeps finds the dependencies
    chromium chromium-driver python3-selenium  # the trace pages in a headless browser
    tidy                                # the pages' HTML
    unzip                               # the autograder zip, unpacked as Gradescope does
    neovim                              # the Neovim set-up in editors/, tried headless
)

# The page for the browser (scripts/web.sh): emscripten, and dpkg-source, which unpacks
# the SDL2 and Dear ImGui sources that apt-get source fetches; esbuild bundles the
# editor's CodeMirror, which npm installs from its lockfile.
web=(
    emscripten dpkg-dev python3
    esbuild
)

# npm, for the packages of the page's editor, the VS Code extension and the accessibility
# checks, each installed from its committed lockfile; wanted only where no npm is on PATH.
npm=(
    npm
)

# Its tests and measurements in a real browser: Debian's Chromium, driven by Selenium.
webtest=(
    chromium chromium-driver python3-selenium
    nodejs                              # the editor's share links under node --test
)


# The benchmarks (scripts/bench.sh); the ordinary build compiles them when it is there.
bench=(
    libbenchmark-dev
)

# The libFuzzer target of the isa4 readers (scripts/fuzz.sh).
fuzz=(
    clang libclang-rt-14-dev
)

# Logisim 2.7 and with it a Java runtime, for scripts/logisim-check.sh.
logisim=(
    logisim
)

purposes=()
list_only=false
for arg in "$@"; do
    case "$arg" in
        --list) list_only=true ;;
        build | run | test | bench | fuzz | logisim | web | webtest | npm) purposes+=("$arg") ;;
        *)
            echo "usage: scripts/deps.sh [--list] [build] [run] [test] [bench] [fuzz] [logisim] [web] [webtest] [npm]" >&2
            exit 2
            ;;
    esac
done
[ ${#purposes[@]} -eq 0 ] && purposes=(build run test bench)

# Each package once, in the order the lists name them.
packages=()
declare -A named=()
for purpose in "${purposes[@]}"; do
    declare -n list="$purpose"
    for package in "${list[@]}"; do
        [ -n "${named[$package]:-}" ] && continue
        named[$package]=1
        packages+=("$package")
    done
    unset -n list
done

if $list_only; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

missing=()
for package in "${packages[@]}"; do
    # A Node.js from elsewhere brings its own npm, which Debian's would conflict with.
    [ "$package" = npm ] && command -v npm >/dev/null && continue
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

command="apt-get install --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null; then
    sudo=(sudo)
else
    echo "These Debian packages are missing (for ${purposes[*]}): ${missing[*]}" >&2
    echo "Install them as root with:" >&2
    echo "    $command" >&2
    echo "then run this command again." >&2
    exit 1
fi

echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${missing[@]}"
