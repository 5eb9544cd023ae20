#!/bin/sh
# Runs "$ISA4" for help2man. With --help-all it reshapes the help of every subcommand
# into what help2man turns into one section per subcommand: a heading "isa4 NAME:", the
# subcommand's description, then its arguments and options as a list.
[ "$1" = --help-all ] || exec "$ISA4" "$@"
# The first line and the footer repeat what the page says elsewhere.
"$ISA4" --help-all | sed 's|^Usage: [^ ]*isa4|Usage: isa4|' | awk '
    NR == 1 && /^isa4:/ { next }
    /^Exit status:/ { next }
    /^Subcommands:/ { in_subcommands = 1; next }
    !in_subcommands { print; next }
    /^[a-z][a-z0-9-]*$/ { print "isa4 " $1 ":"; described = 0; next }
    /^  [^ ]/ && !described { print; print ""; described = 1; next }
    /^  (Positionals|Options):$/ { next }
    /^    / { sub(/^  /, ""); print; next }
    { print }
'
