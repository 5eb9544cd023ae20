#!/usr/bin/env bash
# Loads isa4's Logisim ROM images into Logisim 2.7 (Debian's logisim package) and checks
# that Logisim reads back every word isa4 meant.
#
#   scripts/logisim-check.sh               checks examples/multiply.s and
#                                          scripts/logisim-check/wide.s
#   scripts/logisim-check.sh prog.s ...    checks these sources
#   ISA4=path/to/isa4 scripts/logisim-check.sh    another isa4 than build/isa4
#
# For each source it assembles the image with `isa4 asm --format logisim`, and the same
# source again as a raw image. It fills the circuit scripts/logisim-check/rom-check.circ.in
# with the image and runs it headless, `logisim CIRCUIT -tty table,halt -load IMAGE`:
# a counter steps the address 0..255 and Logisim prints, a row per address, the word
# of a ROM and of a RAM. Logisim's -load fills RAM components only, so the ROM takes the
# image in its "contents" attribute (the image's values after an "addr/data: 8 WIDTH"
# line, which is how Logisim stores ROM contents in a .circ), and the RAM takes the
# image file itself through -load, header and comments included. The data width is the
# one the image's comment names (20, or 24 when a word uses bits 23..20), so a comment
# naming too narrow a memory shows up as lost bits.
#
# The words of both memories are compared, address by address, with the raw image and
# with the listing of `isa4 dis --all` of the Logisim image. It prints "256 words match"
# or the first mismatches for each source, and exits 0 when all match, 1 otherwise
# (also when Logisim cannot run), 2 on bad usage.
#
# logisim and a Java runtime are installed by scripts/deps.sh when missing, as root or
# through sudo; with neither, it prints the command to run as root and exits 1. It is
# no part of the test suite, which installs no Java. It needs no display: Logisim's tty
# mode opens no window, and Java runs with java.awt.headless set.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
isa4=${ISA4:-$repo/build/isa4}
template=$here/logisim-check/rom-check.circ.in
jar=/usr/share/logisim/logisim.jar
# How many mismatches are listed for one source.
shown_mismatches=8

case "${1:-}" in
    -h | --help)
        sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed -e '$d' -e 's/^# \{0,1\}//'
        exit 0
        ;;
    -*)
        echo "usage: scripts/logisim-check.sh [SOURCE.s ...]" >&2
        exit 2
        ;;
esac
sources=("$@")
[ ${#sources[@]} -eq 0 ] && sources=("$repo/examples/multiply.s" "$here/logisim-check/wide.s")

# --- what it needs ---

"$repo/scripts/deps.sh" logisim
if [ ! -x "$isa4" ]; then
    echo "error: $isa4 is missing; build it first:" >&2
    echo "    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release && cmake --build build --target isa4" >&2
    exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# /usr/bin/logisim is the jar itself, started through binfmt_misc, which containers
# often lack; java -jar is what that does. The preferences Logisim saves go to the
# scratch directory, not the user's home.
logisim() {
    timeout 300 java -Djava.awt.headless=true -Djava.util.prefs.userRoot="$scratch/prefs" \
        -jar "$jar" "$@"
}

# The words of a raw ROM image, one per line as 6 hex digits.
raw_words() {
    od -An -v -tx1 "$1" | tr -s ' ' '\n' | sed '/^$/d' | paste -d '' - - -
}

# The words of an `isa4 dis --all` listing: each line ends "; AA: WORD", maybe followed
# by a note ("  executes as ...").
dis_words() {
    awk 'match($0, /; [0-9A-F][0-9A-F]: [0-9A-F]+/) {
             word = tolower(substr($0, RSTART + 6, RLENGTH - 6))
             while (length(word) < 6) word = "0" word
             print word
         }' "$1"
}

# The circuit for image $1 in a memory of $2 data bits: the template with the width and
# the ROM contents filled in, the values escaped for XML.
make_circuit() {
    awk -v image="$1" -v width="$2" '
        function escaped(s) {
            gsub(/&/, "\\&amp;", s); gsub(/</, "\\&lt;", s); gsub(/>/, "\\&gt;", s)
            return s
        }
        {
            gsub(/@WIDTH@/, width)
            if (!index($0, "@CONTENTS@")) { print; next }
            split($0, around, "@CONTENTS@")
            printf "%saddr/data: 8 %s\n", around[1], width
            getline line < image  # "v2.0 raw", which the attribute does without
            while ((getline line < image) > 0) print escaped(line)
            print around[2]
        }' "$template"
}

# The table Logisim printed, as "address rom ram" in hex, the last row of each address.
# A column Logisim cannot show as a number (floating, an error) stays as it printed it.
table_words() {
    awk -F '\t' '
        function hex(bits,   v, i, c) {
            gsub(/ /, "", bits)
            if (bits !~ /^[01]+$/) return "?" bits
            v = 0
            for (i = 1; i <= length(bits); ++i) v = v * 2 + substr(bits, i, 1)
            return sprintf("%06x", v)
        }
        NF == 3 { a = hex($1); rom[a] = hex($2); ram[a] = hex($3) }
        END {
            for (k = 0; k < 256; ++k) {
                a = sprintf("%06x", k)
                print (a in rom) ? rom[a] " " ram[a] : "none none"
            }
        }' "$1"
}

# Checks one source; prints its summary line and returns 1 on a mismatch.
check() {
    local source=$1 name work width rows
    name=$(basename "$source")
    work=$scratch/${name%.*}
    mkdir -p "$work"
    if ! "$isa4" asm "$source" -o "$work/image.txt" --format logisim >"$work/asm.log" 2>&1 ||
        ! "$isa4" asm "$source" -o "$work/image.rom" --format raw >>"$work/asm.log" 2>&1; then
        echo "$name: FAILED, isa4 asm:"
        sed 's/^/    /' "$work/asm.log"
        return 1
    fi
    width=$(sed -n '2s/.* \([0-9][0-9]*\) data bits\..*/\1/p' "$work/image.txt")
    if [ -z "$width" ]; then
        echo "$name: FAILED, the image's comment names no data width:"
        sed -n 2p "$work/image.txt" | sed 's/^/    /'
        return 1
    fi
    make_circuit "$work/image.txt" "$width" >"$work/check.circ"
    "$isa4" dis "$work/image.txt" --all >"$work/dis.txt"

    if ! logisim "$work/check.circ" -tty table,halt -load "$work/image.txt" \
        >"$work/table.txt" 2>"$work/logisim.log"; then
        echo "$name: FAILED, Logisim did not run the circuit:"
        cat "$work/table.txt" "$work/logisim.log" | tail -n 20 | sed 's/^/    /'
        return 1
    fi
    # Rows for 0..256, then the line of the halt option.
    if [ "$(tail -n 1 "$work/table.txt")" != "halted due to halt pin" ]; then
        echo "$name: FAILED, Logisim stopped before the halt pin:"
        tail -n 5 "$work/table.txt" | sed 's/^/    /'
        return 1
    fi
    rows=$(grep -c $'\t' "$work/table.txt" || true)

    raw_words "$work/image.rom" >"$work/raw.words"
    dis_words "$work/dis.txt" >"$work/dis.words"
    table_words "$work/table.txt" >"$work/logisim.words"
    paste -d ' ' "$work/raw.words" "$work/dis.words" "$work/logisim.words" |
        awk -v name="$name" -v width="$width" -v rows="$rows" -v shown="$shown_mismatches" '
            { ++n }
            NF != 4 || $1 != $2 || $1 != $3 || $1 != $4 {
                if (++bad <= shown)
                    wrong = wrong sprintf("    %02X: raw %s  dis %s  Logisim ROM %s  RAM %s\n",
                                          n - 1, $1, $2, $3, $4)
            }
            END {
                if (n != 256) { ++bad; wrong = wrong sprintf("    %d words, not 256\n", n) }
                if (!bad) {
                    printf "%s: 256 words match (%d data bits; raw image, isa4 dis, Logisim ROM and RAM; %d Logisim rows)\n",
                           name, width, rows
                    exit 0
                }
                printf "%s: %d of 256 words differ (%d data bits); the first:\n%s", name, bad,
                       width, wrong
                exit 1
            }'
}

status=0
for source in "${sources[@]}"; do
    check "$source" || status=1
done
exit $status
