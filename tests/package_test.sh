#!/usr/bin/env bash
# Makes the Debian package of a build folder with cpack -G DEB and checks it with dpkg-deb:
# its dependencies (found by dpkg-shlibdeps) and that it holds the whole install under
# /usr. The workbench's (kelvane) holds the desktop files and isa4; the package of isa4
# alone holds isa4, its manual page and the examples, and depends on the C and C++
# runtimes and libedit (line editing in isa4 debug) only.
#
#   tests/package_test.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/check_helpers.sh" deb

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; exit 1; }
# The workbench's build makes kelvane_*.deb; a build of isa4 alone (KELVANE_APP=OFF) isa4_*.deb.
debs=("$scratch"/kelvane_*.deb "$scratch"/isa4_*.deb)
debs=($(ls "${debs[@]}" 2>/dev/null))
[ "${#debs[@]}" -eq 1 ] || { ls -R "$scratch" >&2; echo "FAIL: not one package" >&2; exit 1; }
deb=${debs[0]}
name=$(dpkg-deb -f "$deb" Package)
[[ $(basename "$deb") == "${name}_"* ]] || fail "the file $(basename "$deb") is not named after $name"

depends=$(dpkg-deb -f "$deb" Depends)
# Every dependency is a package the archive has, so apt can fetch it on a new machine.
for package in $(echo "$depends" | sed 's/([^)]*)//g; s/,/ /g'); do
    apt-cache show "$package" >/dev/null 2>&1 || fail "Depends names $package, which apt does not know"
done
dpkg-deb -c "$deb" | awk '{ print $6 }' >"$scratch/contents"
has() { grep -qx "\./$1" "$scratch/contents"; }
isa4_files=(usr/bin/isa4 usr/share/kelvane/examples/multiply.rom
    usr/share/kelvane/examples/multiply.expect)
workbench_files=(usr/bin/kelvane usr/share/man/man1/kelvane.1
    usr/share/applications/org.kelvane.Kelvane.desktop
    usr/share/icons/hicolor/scalable/apps/org.kelvane.Kelvane.svg
    usr/share/metainfo/org.kelvane.Kelvane.metainfo.xml)
# The manual page is made where help2man is installed, as the test command installs it.
command -v help2man >/dev/null && isa4_files+=(usr/share/man/man1/isa4.1)
isa4_files+=(usr/share/man/man5/isa4-asm.5 usr/share/man/man5/isa4-files.5
    usr/share/man/man5/isa4-suite.5 usr/share/man/man7/isa4.7)

case $name in
kelvane)
    for needed in libc6 libstdc++6 libsdl2-2.0-0; do
        [[ ", $depends," == *", $needed "* ]] || fail "Depends lacks $needed: $depends"
    done
    [ "$(dpkg-deb -f "$deb" Provides)" = isa4 ] || fail "kelvane does not provide isa4"
    for file in "${isa4_files[@]}" "${workbench_files[@]}"; do
        has "$file" || fail "the package lacks /$file"
    done
    ;;
isa4)
    # The C and C++ runtimes, and libedit for the debugger's line editing; no display stack.
    for package in $(echo "$depends" | sed 's/([^)]*)//g; s/,/ /g'); do
        case $package in
            libc6 | libgcc-s1 | libstdc++6 | libedit2) ;;
            *) fail "isa4 depends on $package: $depends" ;;
        esac
    done
    [ -z "$(dpkg-deb -f "$deb" Recommends)" ] || fail "isa4 recommends something"
    [ "$(dpkg-deb -f "$deb" Conflicts)" = kelvane ] || fail "isa4 does not conflict with kelvane"
    for file in "${isa4_files[@]}"; do
        has "$file" || fail "the package lacks /$file"
    done
    for file in "${workbench_files[@]}"; do
        has "$file" && fail "the package holds /$file"
    done
    grep -E '\.(desktop|svg|png)$|/icons/|/applications/|/metainfo/' "$scratch/contents" &&
        fail "the package holds desktop files"
    # Unpacked into a scratch root, the program runs.
    dpkg -x "$deb" "$scratch/root"
    "$scratch/root/usr/bin/isa4" --version | grep -q "^isa4 (Kelvane) " || fail "isa4 --version"
    ;;
*) fail "the package is named $name, not kelvane or isa4" ;;
esac
grep -v '^\./usr/' "$scratch/contents" | grep -qvx '\./' && fail "files outside /usr"

[ "$failures" -eq 0 ] && echo "package: $(basename "$deb"), Depends: $depends"
exit $((failures > 0))
