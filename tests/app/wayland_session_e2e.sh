#!/usr/bin/env bash
# The toolbar and the dictionary editor on a Wayland desktop (headless weston with XWayland,
# Qt's Wayland plugin installed): with no platform chosen they come up on the X display; a
# Wayland choice, a session without XWayland, or an X display that does not answer is
# refused with one line that says why.
set -u
PROGRAM=$1
EDITOR="$(dirname "$PROGRAM")/VW/VT/Miyu/M16/bin/UserDicJpn"
source "$(dirname "$0")/../e2e/rig.sh"
source "$(dirname "$0")/../e2e/reading_lib.sh"
rig_init
rig_start_weston || { cat "$RIG_DIR/weston.log"; exit 1; }
# A Wayland session as a desktop sets it up; Qt left to itself then picks Wayland.
unset QT_QPA_PLATFORM XDG_CURRENT_DESKTOP
export XDG_SESSION_TYPE=wayland SELVARINE_AUDIO=null SELVARINE_MESSAGES=log:$RIG_DIR/messages
TITLE="Selvarine 日中英韓"

ended_within() {  # ended_within SECONDS PID
    local i
    for (( i = 0; i < $1 * 10; i++ )); do kill -0 "$2" 2>/dev/null || return 0; sleep 0.1; done
    return 1
}
ms() { echo $(( $(date +%s%N) / 1000000 )); }
window_of() { xdotool search --pid "$1" 2>/dev/null | head -1; }
# appears PID SECONDS: prints the X window of PID once it is shown, with how long it took.
appears() {
    local i id start=$(ms)
    for (( i = 0; i < $2 * 20; i++ )); do
        id=$(window_of "$1")
        [ -n "$id" ] && { echo "$id $(( $(ms) - start ))"; return 0; }
        sleep 0.05
    done
    return 1
}
# refuses WHAT PATTERN CMD...: the program ends at once, non-zero, with one matching line.
refuses() {
    local what=$1 pattern=$2 err="$RIG_DIR/refusal.err" rc
    shift 2
    rig_spawn "$@" 2>"$err"
    ended_within 10 "$RIG_LAST_PID" || { fail "$what: still running"; return; }
    wait "$RIG_LAST_PID"; rc=$?
    check "$what: exit status non-zero" [ "$rc" != 0 ]
    check "$what: one line on stderr, got: $(cat "$err")" [ "$(wc -l <"$err")" = 1 ]
    check "$what: says '$pattern', got: $(cat "$err")" grep -q -- "$pattern" "$err"
}

echo "== no platform chosen: the toolbar starts on XWayland"
SELVARINE_VERBOSE=1 rig_spawn "$PROGRAM" 2>"$RIG_DIR/toolbar.err"
toolbar=$RIG_LAST_PID
if shown=$(appears "$toolbar" 5); then
    id=${shown% *}
    figure "toolbar window on the X display after start, ms" "${shown#* }"
    check "the window is the toolbar, got '$(xdotool getwindowname "$id")'" \
        [ "$(xdotool getwindowname "$id")" = "$TITLE" ]
else
    fail "no toolbar window on $DISPLAY within 5 s; stderr: $(cat "$RIG_DIR/toolbar.err")"
fi
check "still running" kill -0 "$toolbar" 2>/dev/null
check "the Wayland limits said once, got: $(cat "$RIG_DIR/toolbar.err")" \
    [ "$(grep -c 'Wayland session, running through XWayland' "$RIG_DIR/toolbar.err")" = 1 ]
kill "$toolbar" 2>/dev/null; check "ends on SIGTERM" ended_within 10 "$toolbar"

echo "== no platform chosen: the dictionary editor starts on XWayland too"
printf '# test\n日中,にっちゅう\n' >"$RIG_DIR/dict.csv"
rig_spawn "$EDITOR" "$RIG_DIR/dict.csv" 2>"$RIG_DIR/editor.err"
editor=$RIG_LAST_PID
shown=$(appears "$editor" 5) && figure "editor window on the X display after start, ms" "${shown#* }" ||
    fail "no editor window on $DISPLAY within 5 s; stderr: $(cat "$RIG_DIR/editor.err")"
kill "$editor"; ended_within 10 "$editor"

echo "== the user's choice of Wayland is refused with the reason"
QT_QPA_PLATFORM=wayland refuses "toolbar on wayland" "QT_QPA_PLATFORM=wayland chooses" "$PROGRAM"
QT_QPA_PLATFORM=wayland refuses "editor on wayland" "QT_QPA_PLATFORM=wayland chooses" \
    "$EDITOR" "$RIG_DIR/dict.csv"
check "no toolbar window was shown" [ -z "$(xdotool search --name "^$TITLE\$" 2>/dev/null)" ]

echo "== a Wayland session without an X display, or with one that does not answer"
refuses "no XWayland" "needs XWayland: install it" env -u DISPLAY "$PROGRAM"
# Qt's xcb platform aborts without a display; the editor must say why instead.
DISPLAY=:$(( ${DISPLAY#:} + 500 )) refuses "editor, X display gone" "cannot connect to the X display" \
    "$EDITOR" "$RIG_DIR/dict.csv"

[ "$failures" = 0 ] && echo "PASS" || echo "$failures failure(s)"
[ "$failures" = 0 ]
