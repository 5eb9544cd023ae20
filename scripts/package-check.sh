#!/usr/bin/env bash
# Installs the Debian packages on a machine that has never built Kelvane: a minimal
# Debian 12 made with debootstrap in a scratch directory, with nothing added but the
# packages (apt fetches what they depend on, and what they recommend, as it would for a
# user). First isa4's own package, unpacked into a scratch folder with dpkg -x (isa4
# --version runs there) and then installed in the machine:
#   - isa4 runs the installed multiply example against its expectations;
#   - its libraries resolve, and apt brought in no SDL2, OpenGL or X library.
# Then the workbench's package, which takes isa4's place (they exclude each other):
#   - isa4 runs the installed multiply example against its expectations;
#   - every shared library of kelvane and isa4 resolves (ldd);
#   - kelvane with no display says why and exits 255;
#   - kelvane under an X server (Xvfb, added for this step only) stays up for 5 s.
#
#   scripts/package-check.sh [KELVANE_DEB [ISA4_DEB]]
#       the packages default to the ones cpack makes in build-package/ and
#       build-package-isa4/ (the `package` and `package-isa4` presets)
#
# Needs root (debootstrap and chroot) and Debian's network mirror; it takes a few minutes,
# so the test command does not run it. Exits 0 when every check passes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
[ "$(id -u)" -eq 0 ] || { echo "scripts/package-check.sh: run it as root (debootstrap, chroot)" >&2; exit 1; }

scripts/deps.sh build run test
command -v debootstrap >/dev/null ||
    env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap

# make_package PRESET NAME: builds the preset's package, prints its path.
make_package() {
    cmake --preset "$1" >/dev/null
    cmake --build "build-$1" -j"$(nproc)" >/dev/null
    (cd "build-$1" && cpack -G DEB >/dev/null)
    ls "$root/build-$1/$2"_*.deb
}
deb=${1:-}
[ -n "$deb" ] || deb=$(make_package package kelvane)
deb=$(realpath "$deb")
isa4_deb=${2:-}
[ -n "$isa4_deb" ] || isa4_deb=$(make_package package-isa4 isa4)
isa4_deb=$(realpath "$isa4_deb")

scratch=$(mktemp -d /tmp/kelvane-package-XXXXXX)
machine=$scratch/machine
# The machine's /dev is the host's, bound in: nothing is removed while any of it is
# still mounted, and the removal never crosses into another file system.
cleanup() {
    local mounted left=false
    for mounted in dev/pts dev proc; do
        if mountpoint -q "$machine/$mounted"; then
            umount "$machine/$mounted" || umount -l "$machine/$mounted" || left=true
        fi
    done
    for mounted in dev/pts dev proc; do
        mountpoint -q "$machine/$mounted" && left=true
    done
    if $left; then
        echo "scripts/package-check.sh: $machine is still mounted; not removed" >&2
    else
        rm -rf --one-file-system "$scratch"
    fi
}
trap cleanup EXIT

echo "debootstrap bookworm (minbase) into $machine"
debootstrap --variant=minbase bookworm "$machine" http://deb.debian.org/debian \
    >"$scratch/debootstrap.log" 2>&1 || { tail -20 "$scratch/debootstrap.log" >&2; exit 1; }
mount -t proc proc "$machine/proc"
mount --bind /dev "$machine/dev"
mount --bind /dev/pts "$machine/dev/pts"
in_machine() { chroot "$machine" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }

failures=0
check() {  # check WHAT COMMAND...: runs COMMAND in the machine, reports
    local what=$1
    shift
    if in_machine "$@" >"$scratch/out" 2>&1; then
        echo "ok: $what"
    else
        echo "FAIL: $what" >&2
        sed 's/^/    /' "$scratch/out" >&2
        failures=$((failures + 1))
    fi
}
install_package() {  # install_package DEB: apt installs it in the machine
    cp "$1" "$machine/tmp/"
    echo "apt install ./$(basename "$1")"
    in_machine sh -c "apt-get update -q >/dev/null && DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q /tmp/$(basename "$1")" >"$scratch/install.log" 2>&1 ||
        { tail -20 "$scratch/install.log" >&2; exit 1; }
}
examples=/usr/share/kelvane/examples

# isa4 alone: unpacked, then installed.
dpkg -x "$isa4_deb" "$scratch/isa4-root"
if "$scratch/isa4-root/usr/bin/isa4" --version >"$scratch/out" 2>&1; then
    echo "ok: isa4 --version runs unpacked with dpkg -x: $(cat "$scratch/out")"
else
    echo "FAIL: isa4 --version unpacked with dpkg -x" >&2
    failures=$((failures + 1))
fi
install_package "$isa4_deb"
check "isa4 alone runs the installed multiply example" sh -c "isa4 run $examples/multiply.rom \
    --ram $examples/multiply.ram --quiet --expect $examples/multiply.expect"
check "every library of isa4 resolves" sh -c '! ldd /usr/bin/isa4 | grep "not found"'
check "isa4 alone brought no display stack" sh -c \
    '! dpkg-query -W -f "\${Package}\n" | grep -E "^(libsdl2|libgl1|libx11|libopengl|mesa)"'

# The workbench, in isa4's place.
install_package "$deb"

check "isa4 runs the installed multiply example" sh -c "isa4 run $examples/multiply.rom \
    --ram $examples/multiply.ram --quiet --expect $examples/multiply.expect"
check "every library of kelvane and isa4 resolves" sh -c \
    '! ldd /usr/bin/kelvane /usr/bin/isa4 | grep "not found"'
check "kelvane with no display says why and exits 255" sh -c \
    'cd /root; kelvane >out.txt 2>&1; status=$?; cat out.txt; [ $status -eq 255 ] &&
     grep -q "^Error: no display found" out.txt'
in_machine sh -c "DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
    --no-install-recommends xvfb xauth >/dev/null" >"$scratch/xvfb.log" 2>&1 ||
    { tail -20 "$scratch/xvfb.log" >&2; exit 1; }
check "kelvane stays up for 5 s under Xvfb" sh -c \
    'cd /root; xvfb-run -a -s "-screen 0 1600x900x24" timeout 5 kelvane; [ $? -eq 124 ]'
check "kelvane under Xvfb wrote its layout on the way out" sh -c 'test -s /root/imgui.ini'

echo "package: $(basename "$isa4_deb"), $(dpkg-deb -f "$isa4_deb" Depends)"
echo "package: $(basename "$deb"), $(dpkg-deb -f "$deb" Depends)"
[ "$failures" -eq 0 ] && echo "all checks pass"
exit $((failures > 0))
