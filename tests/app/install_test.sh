#!/usr/bin/env bash
# An install lays out the same program directory as the build tree (lib/selvarine, started
# through a link in bin/), a valid desktop entry
# that starts the installed program, and the program icon in the hicolor theme's sizes. The
# prefix holds a space and a quote, which the entry's Exec must carry through its quoting.
# One test, one install: cmake --install writes its manifest into the build tree, so two
# installs of one tree side by side would share that file.
#
#   install_test.sh BUILD_DIR
set -u
BUILD=$1
ROOT=$(mktemp -d /tmp/selvarine-install.XXXXXX)
trap 'rm -rf "$ROOT"' EXIT
PREFIX="$ROOT/my \"apps\""
cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null || { echo "FAIL: install"; exit 1; }
ENTRY="$PREFIX/share/applications/selvarine.desktop"

failures=0 passes=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"
    else failures=$((failures + 1)); echo "FAIL: $what"; fi
}
# key NAME [GROUP]: a value of the main group, or of another.
key() { sed -n "/^\[${2:-Desktop Entry}\]/,/^\[/ s/^$1=//p" "$ENTRY"; }
# The Exec value's program, unescaped as a launcher does: first the string escapes, then
# the quoting of the command line.
exec_program() {
    key Exec | sed 's/\\\\/\\/g' |
        /usr/bin/python3 -c 'import shlex, sys; print(shlex.split(sys.stdin.read())[0])'
}
icon_size() { file -b "$1" | sed -n 's/^PNG image data, \([0-9]*\) x \([0-9]*\).*/\1x\2/p'; }

same_program_dir() {
    diff <(cd "$BUILD/bin" && find . ! -type d | sort) \
         <(cd "$PREFIX/lib/selvarine" && find . ! -type d | sort)
}
check "build/bin and <prefix>/lib/selvarine hold the same files" same_program_dir
check "bin/selvarine is a relative link to it" \
    test "$(readlink "$PREFIX/bin/selvarine")" = ../lib/selvarine/selvarine
check "the entry is installed" test -f "$ENTRY"
check "desktop-file-validate passes" desktop-file-validate "$ENTRY"
check "its name" test "$(key Name)" = "Selvarine 日中英韓"
check "a Japanese and an English comment" test -n "$(key 'Comment\[ja\]')" -a -n "$(key Comment)"
check "its categories" test "$(key Categories)" = "AudioVideo;Accessibility;"
check "Exec names the installed program" test "$(exec_program)" = "$PREFIX/bin/selvarine"
check "which is executable" test -x "$(exec_program)"
check "its icon is the installed one" test "$(key Icon)" = selvarine
check "actions that read the selection and stop" test "$(key Actions)" = "read-selection;stop;"
for action in read-selection stop; do
    check "action $action runs the program with --$action" \
        test "$(key Exec "Desktop Action $action" | sed 's/.* //')" = "--$action"
done
for size in 16 32 48 256; do
    icon="$PREFIX/share/icons/hicolor/${size}x${size}/apps/selvarine.png"
    check "hicolor icon ${size}x${size}" test "$(icon_size "$icon")" = "${size}x${size}"
done
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
