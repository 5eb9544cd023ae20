#!/usr/bin/env bash
# The Neovim set-up in editors/nvim, in Debian's Neovim run headless: a source with a
# mistake gets the server's diagnostic at the right line, and a hover shows the word.
#
#   tests/editors/nvim_test.sh SOURCE_DIR ISA4
set -uo pipefail
source_dir=$(cd "$1" && pwd)
isa4=$2
source "$source_dir/tests/check_helpers.sh" nvim
command -v nvim >/dev/null || { echo "SKIP: no nvim"; exit 0; }

mkdir -p "$scratch/lua" "$scratch/course"
cp "$source_dir/editors/nvim/isa4.lua" "$scratch/lua/isa4.lua"
cat >"$scratch/init.lua" <<LUA
vim.opt.runtimepath:prepend('$scratch')
require('isa4').setup({ cmd = '$isa4', patterns = { '*/course/*.s' } })
LUA
printf 'ADDI r1, r2, 5\ndone: JZ @done\nMUL r1, r2\n' >"$scratch/course/prog.s"

export ISA4_NVIM_OUT=$scratch/result XDG_STATE_HOME=$scratch/state XDG_DATA_HOME=$scratch/data
export XDG_CACHE_HOME=$scratch/cache
cd "$scratch/course"
timeout 60 nvim --headless --clean -u "$scratch/init.lua" prog.s \
    -c "luafile $source_dir/tests/editors/nvim_check.lua" </dev/null >"$scratch/nvim.log" 2>&1
status=$?
cat "$scratch/result" 2>/dev/null
[ "$status" -eq 0 ] || { cat "$scratch/nvim.log" >&2; fail "nvim: status $status"; }
grep -qx 'diagnostic 3:1 unknown instruction .*' "$scratch/result" || fail "no diagnostic at line 3"
grep -q "^hover \`00: 11205\` r1 = r2 + 0x05, sets z$" "$scratch/result" || fail "no hover with the word"
[ "$failures" -eq 0 ] && echo "nvim: all checks pass"
exit $((failures > 0))
