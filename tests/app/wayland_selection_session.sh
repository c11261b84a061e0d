#!/usr/bin/env bash
# Inside a private session bus, as an unprivileged user: sway (headless) with XWayland,
# PulseAudio with its recorder, and mousepad running natively on Wayland with its first
# sentence selected. The toolbar is reached only through its command line.
set -u
PROGRAM=$1
source "$(dirname "$0")/../e2e/rig.sh"
source "$(dirname "$0")/../e2e/reading_lib.sh"
rig_init
RIG_DIR=$2/rig
mkdir -p "$RIG_DIR"
unset NO_AT_BRIDGE QT_QPA_PLATFORM
export XDG_SESSION_TYPE=wayland SELVARINE_VERBOSE=1 SELVARINE_MESSAGES=log:$RIG_DIR/messages
SENTENCE="The quick brown fox reads a native Wayland window."
printf '%s\n%s\n' "$SENTENCE" "This second line is never read." >"$RIG_DIR/doc.txt"
ms() { echo $(( $(date +%s%N) / 1000000 )); }

printf 'xwayland enable\nfocus_on_window_activation none\n' >"$RIG_DIR/sway.conf"
before=$(ls /tmp/.X11-unix)
WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=1 WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    rig_spawn sway -c "$RIG_DIR/sway.conf" 2>"$RIG_DIR/sway.log"
RIG_PARENTS+=("$RIG_LAST_PID")
rig_wait 20 test -S "$XDG_RUNTIME_DIR/wayland-1" || { fail "sway did not start"; exit 1; }
export WAYLAND_DISPLAY=wayland-1
rig_wait 20 sh -c "[ \"\$(ls /tmp/.X11-unix)\" != \"$before\" ]" || { fail "no XWayland"; exit 1; }
DISPLAY=:$(comm -13 <(echo "$before" | tr ' ' '\n' | sort) <(ls /tmp/.X11-unix | sort) |
    sed -n 's/^X//p' | head -1)
export DISPLAY
rig_log "Wayland display $WAYLAND_DISPLAY, XWayland on $DISPLAY"
rig_start_pulse || { fail "no PulseAudio"; exit 1; }
RD_REC=$RIG_DIR/rec.raw
rig_start_recorder "$RD_REC"

# start_editor A11Y: mousepad on Wayland, its PID in EDITOR; A11Y 0 runs it without its
# accessibility bridge.
start_editor() {
    if [ "$1" = 0 ]; then export NO_AT_BRIDGE=1; else unset NO_AT_BRIDGE; fi
    GDK_BACKEND=wayland rig_spawn sh -c 'exec mousepad "$1" 2>>"$2"' mousepad \
        "$RIG_DIR/doc.txt" "$RIG_DIR/mousepad.log"
    EDITOR=$RIG_LAST_PID
    unset NO_AT_BRIDGE
    rig_wait 20 sh -c 'swaymsg -t get_tree | grep -q "\"app_id\": \"mousepad\""' ||
        fail "mousepad did not show"
}
select_first_line() {
    swaymsg -q '[app_id="mousepad"] focus'
    # A client needs the keyboard focus, which takes a key, to set the primary selection.
    wtype -M ctrl -k Home -m ctrl -M shift -k End -m shift
}
selected_is() { [ "$(wl-paste --primary --no-newline 2>/dev/null)" = "$1" ]; }

# read_selection WHAT SOURCE: selvarine --read-selection; the toolbar must say SOURCE answered
# with the sentence's length, and speak. Prints the latency figure.
read_selection() {
    local what=$1 source=$2 from t0 onset rc
    local lines_before
    lines_before=$(wc -l <"$RIG_DIR/toolbar.err")
    from=$(rd_now); t0=$(ms)
    "$PROGRAM" --read-selection 2>>"$RIG_DIR/toolbar.err"; rc=$?
    figure "$what: command returned after, ms" $(( $(ms) - t0 ))
    check "$what: the command succeeds" [ "$rc" = 0 ]
    if onset=$(rd_wait_sound "$from" 15); then
        figure "$what: command to first audio, ms" "$(calc "round(($onset - $from) * 1000)")"
    else
        fail "$what: nothing was heard"
    fi
    local said
    said=$(tail -n +$(( lines_before + 1 )) "$RIG_DIR/toolbar.err" | grep 'selection read through')
    check "$what: read through $source, ${#SENTENCE} characters; said: $said" \
        grep -q "through $source (${#SENTENCE} characters," <<<"$said"
    rd_wait_quiet "$onset" 1.5 20 >/dev/null
}

echo "== no toolbar yet: --read-selection starts it; data control answers without accessibility"
start_editor 0
select_first_line
rig_wait 10 selected_is "$SENTENCE" || fail "the rig: mousepad set no primary selection"
: >"$RIG_DIR/toolbar.err"
read_selection "started by the command" "Wayland data control"
rig_wait 10 sh -c 'xdotool search --name "^Selvarine" >/dev/null' || fail "no toolbar window"
# Started by the command, not by this script: ended by its PID at exit all the same.
TOOLBAR=$(dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.GetConnectionUnixProcessID string:org.selvarine.Toolbar | awk '{print $2}')
[ -n "$TOOLBAR" ] && RIG_PIDS+=("$TOOLBAR")

echo "== the toolbar running: the command's own start to the first audio"
select_first_line
read_selection "toolbar running" "Wayland data control"

echo "== an empty selection is nothing selected, not the text of the last read"
wtype -k End
rig_wait 5 sh -c '! wl-paste --primary >/dev/null 2>&1 || [ -z "$(wl-paste --primary)" ]'
from=$(rd_now)
"$PROGRAM" --read-selection 2>>"$RIG_DIR/toolbar.err"
sleep 2
check "nothing selected: no source had text" grep -q "no selection source had text" "$RIG_DIR/toolbar.err"

echo "== AT-SPI: the focused text object's selection, with accessibility on"
"$PROGRAM" --stop 2>>"$RIG_DIR/toolbar.err"
kill "$EDITOR"; rig_wait 10 rig_gone "$EDITOR"
start_editor 1
select_first_line
rig_wait 10 selected_is "$SENTENCE" || fail "the rig: mousepad set no primary selection"
read_selection "AT-SPI" "AT-SPI"

echo "== --quit ends the toolbar"
"$PROGRAM" --quit 2>>"$RIG_DIR/toolbar.err"
check "the toolbar ended" rig_wait 10 sh -c '! xdotool search --name "^Selvarine" >/dev/null 2>&1'

echo "--- toolbar stderr"; cat "$RIG_DIR/toolbar.err"
[ "$failures" = 0 ] && echo "PASS" || echo "$failures failure(s)"
[ "$failures" = 0 ]
