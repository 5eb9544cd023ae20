#!/usr/bin/env bash
# Removes what the last `cmake --install BUILD_DIR` wrote, and nothing else: the files in
# BUILD_DIR/install_manifest.txt, then the folders that install made
# (BUILD_DIR/install_new_dirs.txt), each only once it is empty. A folder that was there
# before the install stays, and so does one that now holds files of someone else's.
#
#   scripts/uninstall.sh [BUILD_DIR]      BUILD_DIR is build by default
#
# An install made with DESTDIR is removed from under the same DESTDIR, which the list of
# folders records. Run it as the user who installed (root for /usr/local). Exits 1 when
# something could not be removed, or there is no install to undo.
set -uo pipefail
build=${1:-build}
manifest=$build/install_manifest.txt
dir_list=$build/install_new_dirs.txt

for list in "$manifest" "$dir_list"; do
    if [ ! -f "$list" ]; then
        printf 'scripts/uninstall.sh: no %q: nothing was installed from there\n' "$list" >&2
        exit 1
    fi
done
first=$(head -n 1 "$dir_list")
if [[ "$first" != DESTDIR=* ]]; then
    printf 'scripts/uninstall.sh: %q is not a list of installed folders\n' "$dir_list" >&2
    exit 1
fi
root=${first#DESTDIR=}

status=0
files=0
while IFS= read -r path || [ -n "$path" ]; do
    [ -n "$path" ] || continue
    target=$root$path
    if [ -L "$target" ] || [ -f "$target" ]; then
        if rm -f -- "$target"; then
            files=$((files + 1))
        else
            status=1
        fi
    elif [ -e "$target" ]; then
        printf 'scripts/uninstall.sh: left %q alone: not a file\n' "$target" >&2
        status=1
    fi
done <"$manifest"

# Deepest first, so that a folder is empty by the time its parent comes.
dirs=0
kept=()
while IFS= read -r path || [ -n "$path" ]; do
    [ -n "$path" ] || continue
    target=$root$path
    [ -d "$target" ] && [ ! -L "$target" ] || continue
    if [ -z "$(ls -A -- "$target")" ]; then
        rmdir -- "$target" && dirs=$((dirs + 1)) || status=1
    else
        kept+=("$target")
    fi
done < <(tail -n +2 "$dir_list")

echo "Removed $files files and $dirs folders."
for target in "${kept[@]}"; do
    printf 'Kept %q: it holds files the install did not write.\n' "$target"
done
exit $status
