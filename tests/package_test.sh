#!/usr/bin/env bash
# Makes the Debian package with cpack -G DEB and checks it with dpkg-deb: its dependencies
# (found by dpkg-shlibdeps) and that it holds the whole install under /usr.
#
#   tests/package_test.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/check_helpers.sh" deb

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; exit 1; }
debs=("$scratch"/kelvane_*.deb)
[ -f "${debs[0]}" ] || { ls -R "$scratch" >&2; echo "FAIL: no kelvane_*.deb" >&2; exit 1; }
deb=${debs[0]}

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libc6 libstdc++6 libsdl2-2.0-0; do
    [[ ", $depends," == *", $needed "* ]] || fail "Depends lacks $needed: $depends"
done
# Every dependency is a package the archive has, so apt can fetch it on a new machine.
for package in $(echo "$depends" | sed 's/([^)]*)//g; s/,/ /g'); do
    apt-cache show "$package" >/dev/null 2>&1 || fail "Depends names $package, which apt does not know"
done
[ "$(dpkg-deb -f "$deb" Package)" = kelvane ] || fail "the package is not named kelvane"

dpkg-deb -c "$deb" | awk '{ print $6 }' >"$scratch/contents"
for file in usr/bin/kelvane usr/bin/isa4 usr/share/man/man1/kelvane.1 usr/share/man/man1/isa4.1 \
    usr/share/applications/org.kelvane.Kelvane.desktop \
    usr/share/icons/hicolor/scalable/apps/org.kelvane.Kelvane.svg \
    usr/share/metainfo/org.kelvane.Kelvane.metainfo.xml \
    usr/share/kelvane/examples/multiply.rom usr/share/kelvane/examples/multiply.expect; do
    grep -qx "\./$file" "$scratch/contents" || fail "the package lacks /$file"
done
grep -v '^\./usr/' "$scratch/contents" | grep -qvx '\./' && fail "files outside /usr"

[ "$failures" -eq 0 ] && echo "package: $(basename "$deb"), Depends: $depends"
exit $((failures > 0))
