# Sourced by the shell tests: a scratch directory removed on exit, and fail, which
# reports one failed check and counts it; end with finish.
scratch=$(mktemp -d "/tmp/kelvane-$1.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
