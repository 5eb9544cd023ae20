#!/usr/bin/env bash
# What scripts/logisim-check.sh makes of Logisim's table, with a stand-in for Logisim (java)
# that keeps the circuit it is given and prints a prepared table: the words of the raw
# image pass, one word off fails naming its address, a run that ends without the halt pin
# fails, and without root or sudo a missing logisim gives the apt-get command.
#
#   tests/logisim_check_test.sh SOURCE_DIR ISA4
set -uo pipefail
check=$1/scripts/logisim-check.sh
wide=$1/scripts/logisim-check/wide.s
isa4=$2
source "$(dirname "$0")/check_helpers.sh" logisim-check

bin=$scratch/bin
mkdir -p "$bin"
stand_in() { printf '#!/bin/sh\n%s\n' "$2" >"$bin/$1" && chmod +x "$bin/$1"; }
stand_in dpkg-query 'echo "install ok installed"'
stand_in java 'for a; do case $a in *.circ) cp "$a" "'"$scratch"'/given.circ";; esac; done
cat "'"$scratch"'/table"'

# Logisim's table for the words of wide.s: a row per count 0..256, the address and both
# memories in binary, 4 digits a group; the RAM empty in the first row, as -load fills it
# after the first propagation. $1 names a change: "rom 81" or "ram 81" flips bit 0 of that
# word in one column, "nohalt" leaves off the halt line.
table() {
    "$isa4" asm "$wide" -o "$scratch/wide.rom" >/dev/null || fail "isa4 asm $wide"
    /usr/bin/python3 - "$scratch/wide.rom" "$@" >"$scratch/table" <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
words = [int.from_bytes(data[3 * k:3 * k + 3], "big") for k in range(256)]
change = sys.argv[2:]
def binary(value, bits):
    digits = format(value, "0%db" % bits)
    return " ".join(digits[i:i + 4] for i in range(0, bits, 4))
for count in range(257):
    a = count % 256
    rom = ram = words[a]
    if change[:1] == ["rom"] and a == int(change[1], 16): rom ^= 1
    if change[:1] == ["ram"] and a == int(change[1], 16): ram ^= 1
    if count == 0: ram = 0
    print("\t".join([binary(a, 8), binary(rom, 24), binary(ram, 24)]))
if change != ["nohalt"]:
    print("halted due to halt pin")
EOF
}

run() { PATH=$bin:$PATH ISA4=$isa4 "$check" "$wide" >"$scratch/out" 2>&1; }
expect() {  # expect CASE STATUS LINE: the run exits STATUS and prints LINE
    local status=$?
    [ "$status" -eq "$2" ] || fail "$1: status $status, expected $2"
    grep -qxF -- "$3" "$scratch/out" || { cat "$scratch/out" >&2; fail "$1: no line '$3'"; }
}

table
run
expect "words as in the image" 0 \
    "wide.s: 256 words match (24 data bits; raw image, isa4 dis, Logisim ROM and RAM; 257 Logisim rows)"
grep -q '<a name="dataWidth" val="24"/>' "$scratch/given.circ" &&
    grep -qx '      <a name="contents">addr/data: 8 24' "$scratch/given.circ" &&
    grep -qx '7 115\*0 123456 123456 123456 654321 123\*0 edcba9' "$scratch/given.circ" ||
    fail "the circuit does not hold the image in a ROM of 24 data bits"

for column in rom ram; do
    table "$column" 81
    run
    expect "$column word 81 off" 1 "wide.s: 1 of 256 words differ (24 data bits); the first:"
    grep -q "^    81: raw 123456  dis 123456  Logisim ROM 12345[67]  RAM 12345[67]$" \
        "$scratch/out" || fail "$column word 81 off: address 81 not shown"
done

table nohalt
run
expect "no halt" 1 "wide.s: FAILED, Logisim stopped before the halt pin:"

# Without root or sudo: the command to run, and no Logisim.
plain=$scratch/plain
mkdir -p "$plain"
for tool in bash dirname grep; do ln -s "$(command -v $tool)" "$plain/$tool"; done
printf '#!/bin/sh\necho 1000\n' >"$plain/id"
printf '#!/bin/sh\nexit 1\n' >"$plain/dpkg-query"
chmod +x "$plain/id" "$plain/dpkg-query"
PATH=$plain "$plain/bash" "$check" >"$scratch/out" 2>&1
expect "without sudo" 1 "    apt-get install --no-install-recommends logisim"

[ "$failures" -eq 0 ] && echo "logisim-check: all checks pass"
