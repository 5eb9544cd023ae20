#!/usr/bin/env bash
# Installs a build (stripped, as the README says) into scratch prefixes and removes it
# again with scripts/uninstall.sh: the prefix must be left as it was found, unrelated
# files and folders included, empty ones too; a file of the user's own among the
# installed ones keeps its folders.
#
#   tests/uninstall_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1
uninstall=$2/scripts/uninstall.sh
source "$(dirname "$0")/check_helpers.sh" uninstall

# Every entry under a folder: its type, mode and, for files, content.
tree() {
    (cd "$1" && find . -printf '%y %m %p\n' | sort &&
        find . -type f -exec md5sum {} + | sort -k 2)
}

# Installs into PREFIX (twice, the second over the first), checks that the install is
# there and stripped, uninstalls and compares the tree under TOP with how it was.
install_and_remove() {
    local top=$1 prefix=$2 before=$scratch/before after=$scratch/after
    tree "$top" >"$before"
    for round in 1 2; do
        cmake --install "$build" --prefix "$prefix" --strip >"$scratch/install.log" 2>&1 ||
            { cat "$scratch/install.log" >&2; fail "install into $prefix"; return; }
    done
    [ -x "$prefix/bin/isa4" ] && [ -f "$prefix/share/kelvane/examples/count.s" ] ||
        fail "$prefix: the install is not there"
    file "$prefix/bin/isa4" | grep -q ', stripped' || fail "$prefix: isa4 is not stripped"
    "$uninstall" "$build" >"$scratch/uninstall.log" 2>&1 ||
        { cat "$scratch/uninstall.log" >&2; fail "$prefix: uninstall failed"; }
    tree "$top" >"$after"
    diff "$before" "$after" >&2 || fail "$prefix: the tree is not as it was"
}

# A prefix that holds other programs' files and folders, and an empty man1 of its own.
used=$scratch/used
mkdir -p "$used/bin" "$used/share/applications" "$used/share/man/man1" "$used/share/doc/other"
echo other >"$used/bin/other-tool"
echo other >"$used/share/applications/other.desktop"
echo other >"$used/share/doc/other/README"
chmod 0750 "$used/share/doc/other"
install_and_remove "$used" "$used"

# A prefix that does not exist yet: every folder of it goes again.
mkdir -p "$scratch/fresh"
install_and_remove "$scratch/fresh" "$scratch/fresh/opt/kelvane"

# A file the user put among the examples stays, and with it the folders above it.
mine=$scratch/mine
mkdir -p "$mine"
cmake --install "$build" --prefix "$mine" --strip >/dev/null 2>&1 || fail "install into $mine"
echo mine >"$mine/share/kelvane/examples/mine.s"
"$uninstall" "$build" >"$scratch/uninstall.log" 2>&1 ||
    { cat "$scratch/uninstall.log" >&2; fail "uninstall beside a file of the user's"; }
left=$(cd "$mine" && find . | sort | tr '\n' ' ')
[ "$left" = ". ./share ./share/kelvane ./share/kelvane/examples ./share/kelvane/examples/mine.s " ] ||
    fail "beside a file of the user's, left: $left"
grep -q "Kept .*examples: it holds files the install did not write" "$scratch/uninstall.log" ||
    fail "the uninstall does not say which folder it kept"

# Without an install to undo it says so and fails.
mkdir -p "$scratch/empty-build"
"$uninstall" "$scratch/empty-build" 2>"$scratch/none.err" && fail "no install: status 0"
grep -q "nothing was installed" "$scratch/none.err" || fail "no install: no message"

[ "$failures" -eq 0 ] && echo "uninstall: all checks pass"
exit $((failures > 0))
