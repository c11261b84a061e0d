#!/usr/bin/env bash
# The build tree's program directory and an installed one hold the same files.
set -eu
BUILD=$1
PREFIX=$(mktemp -d /tmp/selvarine-install.XXXXXX)
trap 'rm -rf "$PREFIX"' EXIT
cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null
built=$(cd "$BUILD/bin" && find . ! -type d | sort)
installed=$(cd "$PREFIX/bin" && find . ! -type d | sort)
if [ "$built" != "$installed" ]; then
    echo "FAIL: build/bin and <prefix>/bin differ:"
    diff <(echo "$built") <(echo "$installed")
    exit 1
fi
test -x "$PREFIX/bin/selvarine"
echo "$(echo "$built" | wc -l) files alike; 1 passed, 0 failed"
