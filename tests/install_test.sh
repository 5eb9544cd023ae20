#!/usr/bin/env bash
# Installs a build, stripped, into a scratch directory, with DESTDIR and a prefix of its
# own, and checks the install as the tools that read it do: the desktop entry and the
# metainfo validate, every manual page renders without warnings, the menu starts the
# workbench in the home directory, and the installed isa4 runs every installed example to
# its expectations. Then scripts/uninstall.sh empties the stage again.
#
#   tests/install_test.sh BUILD_DIR
set -uo pipefail
build=$1
source "$(dirname "$0")/check_helpers.sh" install
id=org.kelvane.Kelvane

mkdir -p "$scratch/stage"
DESTDIR=$scratch/stage cmake --install "$build" --prefix /opt/kelvane --strip >"$scratch/install.log" ||
    { cat "$scratch/install.log" >&2; exit 1; }
root=$scratch/stage/opt/kelvane
examples=$root/share/kelvane/examples

pages=(man1/kelvane.1 man1/isa4.1 man5/isa4-asm.5 man5/isa4-files.5 man5/isa4-suite.5
    man7/isa4.7)
for file in bin/kelvane bin/isa4 "${pages[@]/#/share/man/}" \
    share/applications/$id.desktop share/icons/hicolor/scalable/apps/$id.svg \
    share/metainfo/$id.metainfo.xml; do
    [ -f "$root/$file" ] || fail "$file is not installed"
done
[ -x "$root/bin/isa4" ] && [ -x "$root/bin/kelvane" ] || fail "the programs are not executable"

desktop-file-validate "$root/share/applications/$id.desktop" || fail "desktop-file-validate"
# Offline, and as a software centre checks it, fetching every address the file names. The
# file names none (the project has no homepage yet), so the online check asks nothing of
# the network and gives the same answer on a machine without a route; an address added
# later is fetched, and one that does not answer fails here.
metainfo=$root/share/metainfo/$id.metainfo.xml
for net in --no-net ""; do
    timeout 120 appstreamcli validate $net "$metainfo" >"$scratch/as.log" ||
        { cat "$scratch/as.log" >&2; fail "appstreamcli validate ${net:-(online)}"; }
done
xmllint --noout "$root/share/icons/hicolor/scalable/apps/$id.svg" || fail "the icon is not XML"

for page in "${pages[@]}"; do
    name=$(basename "$page")
    man --warnings -l "$root/share/man/$page" >"$scratch/$name.txt" 2>"$scratch/$name.err"
    [ -s "$scratch/$name.err" ] && { cat "$scratch/$name.err" >&2; fail "$name has warnings"; }
    # Every page it refers to (.BR name (N) in the source) is installed too.
    for seen in $(sed -n 's/^\.BR \([a-z0-9\\-]*\) (\([0-9]\)).*/\1.\2/p' "$root/share/man/$page" |
        sed 's/\\-/-/g' | sort -u); do
        [ -f "$root/share/man/man${seen##*.}/$seen" ] || fail "$name refers to $seen, which is not installed"
    done
done
for page in kelvane isa4; do
    grep -q "EXIT STATUS" "$scratch/$page.1.txt" || fail "$page(1) has no EXIT STATUS"
done
# Every subcommand that isa4 --help names has its own part of the page.
for sub in $("$root/bin/isa4" --help | sed -n '/^Subcommands:/,$p' | awk '/^  [a-z]/ { print $1 }'); do
    grep -q "^ *isa4 $sub:" "$scratch/isa4.1.txt" || fail "isa4(1) does not describe '$sub'"
done

# The menu's command line, with a stand-in kelvane that says where it was started.
exec_line=$(sed -n 's/^Exec=//p' "$root/share/applications/$id.desktop")
mkdir -p "$scratch/home" "$scratch/fake"
printf '#!/bin/sh\npwd >"$HOME/started-in"\n' >"$scratch/fake/kelvane"
chmod +x "$scratch/fake/kelvane"
(cd / && HOME=$scratch/home PATH=$scratch/fake:$PATH eval "$exec_line")
[ "$(cat "$scratch/home/started-in" 2>/dev/null)" = "$scratch/home" ] ||
    fail "the menu does not start kelvane in the home directory"

count=0
for expect in "$examples"/*.expect; do
    name=${expect%.expect}
    ram=()
    [ -f "$name.data" ] && ram=(--ram "$name.ram")
    "$root/bin/isa4" run "$name.rom" "${ram[@]}" --quiet --expect "$expect" >/dev/null ||
        fail "installed example $(basename "$name")"
    count=$((count + 1))
done
[ "$count" -gt 0 ] || fail "no examples installed"

# The uninstall finds the DESTDIR in what the install recorded and empties the stage.
"$(dirname "$0")/../scripts/uninstall.sh" "$build" >"$scratch/uninstall.log" 2>&1 ||
    { cat "$scratch/uninstall.log" >&2; fail "scripts/uninstall.sh"; }
[ -z "$(ls -A "$scratch/stage")" ] || fail "the uninstall left $(cd "$scratch/stage" && find .)"

[ "$failures" -eq 0 ] && echo "install: all checks pass ($count examples run)"
exit $((failures > 0))
