#!/usr/bin/env bash
# Inside a private session bus, as an unprivileged user: sway (headless) with XWayland,
# PulseAudio with its recorder, and a GTK 3 window running natively on Wayland that keeps the
# focus. The toolbar is reached only through its command line, and must speak what is
# selected: the Wayland PRIMARY selection through data control, or the GTK window's own
# selection through AT-SPI.
set -u
PROGRAM=$1
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../e2e/rig.sh"
source "$HERE/../e2e/reading_lib.sh"
rig_init
RIG_DIR=$2/rig
mkdir -p "$RIG_DIR"
unset NO_AT_BRIDGE QT_QPA_PLATFORM
export XDG_SESSION_TYPE=wayland SELVARINE_VERBOSE=timing SELVARINE_MESSAGES=log:$RIG_DIR/messages
SENTENCE="The quick brown fox reads a native Wayland window."
OTHER="Accessible text is read from the focused window."

printf 'xwayland enable\n' >"$RIG_DIR/sway.conf"
before=$(ls /tmp/.X11-unix)
WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=1 WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    rig_spawn sway -c "$RIG_DIR/sway.conf" 2>"$RIG_DIR/sway.log"
RIG_PARENTS+=("$RIG_LAST_PID")
rig_wait 20 test -S "$XDG_RUNTIME_DIR/wayland-1" || { fail "sway did not start"; exit 1; }
export WAYLAND_DISPLAY=wayland-1
SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock | head -1)
export SWAYSOCK
rig_wait 20 sh -c "[ \"\$(ls /tmp/.X11-unix)\" != \"$before\" ]" || { fail "no XWayland"; exit 1; }
DISPLAY=:$(comm -13 <(echo "$before" | tr ' ' '\n' | sort) <(ls /tmp/.X11-unix | sort) |
    sed -n 's/^X//p' | head -1)
export DISPLAY
rig_log "Wayland display $WAYLAND_DISPLAY, XWayland on $DISPLAY"
# Without an input device no window has the keyboard focus (and a toolkit then reports none to
# AT-SPI): a virtual keyboard that stays for the session, as a desktop's keyboard does. Its one
# key, Shift alone, changes no selection.
rig_spawn wtype -k Shift_L -s 600000
rig_start_pulse 2>>"$RIG_DIR/pulse.log" || { fail "no PulseAudio"; exit 1; }
RD_REC=$RIG_DIR/rec.raw
rig_start_recorder "$RD_REC"

# start_window A11Y TEXT: the GTK window on Wayland with TEXT's first line selected and the
# focus; its PID in WINDOW. A11Y 0 runs it without its accessibility bridge.
start_window() {
    printf '%s\nThis second line is never read.\n' "$2" >"$RIG_DIR/doc.txt"
    if [ "$1" = 0 ]; then export NO_AT_BRIDGE=1; else unset NO_AT_BRIDGE; fi
    GDK_BACKEND=wayland rig_spawn /usr/bin/python3 "$HERE/../e2e/gtk_editor.py" \
        "$RIG_DIR/doc.txt" gtk-window 2>>"$RIG_DIR/window.log"
    WINDOW=$RIG_LAST_PID
    unset NO_AT_BRIDGE
    rig_wait 20 sh -c 'swaymsg -t get_tree | grep -q "\"name\": \"gtk-window\""' ||
        fail "the GTK window did not show"
    focus_window
}
focus_window() { swaymsg -q '[title="^gtk-window$"] focus' && wtype -k Shift_L; }
focused_is_window() {
    swaymsg -t get_tree | python3 -c '
import json, sys
def focused(n):
    if n.get("focused"): return n.get("name")
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        f = focused(c)
        if f: return f
sys.exit(0 if focused(json.load(sys.stdin)) == "gtk-window" else 1)'
}

# What the toolbar said (on stderr) since the latest mark_said.
mark_said() { lines=$(wc -l <"$RIG_DIR/toolbar.err"); }
said_since() { tail -n +$(( lines + 1 )) "$RIG_DIR/toolbar.err"; }
# toolbar_said PATTERN...: it said each of them since the mark.
toolbar_said() {
    local out pattern
    out=$(said_since)
    for pattern; do grep -q -- "$pattern" <<<"$out" || return 1; done
}

# stage_figures WHAT T0 LINES: each stage of the reading since T0 (wall clock, µs), from the
# toolbar's and the command's lines (stamped under SELVARINE_VERBOSE=timing) after line LINES.
stage_figures() {
    tail -n +$(( $3 + 1 )) "$RIG_DIR/toolbar.err" | python3 -c '
import re, sys
what, t0 = sys.argv[1], int(sys.argv[2]) / 1000
stages = [("--read-selection asked", "command process started"),
          ("asked over the session bus", "toolbar asked over the bus"),
          ("selection read through", "selection read"),
          ("first audio of language", "first audio to the sink"),
          ("the sound server starts playing", "sound server starts playing")]
seen = {}
for line in sys.stdin:
    m = re.match(r"selvarine: at ([0-9.]+) ms: (.*)", line)
    if not m: continue
    for key, name in stages:
        if key in m.group(2) and name not in seen: seen[name] = float(m.group(1)) - t0
for _, name in stages:
    if name in seen: print(f"FIGURE {what}: {name} after, ms: {seen[name]:.0f}")
' "$1" "$2"
}

# read_selection WHAT SOURCE TEXT: selvarine --read-selection, with the GTK window focused;
# the toolbar must say SOURCE answered with TEXT's length, and speak.
read_selection() {
    local what=$1 source=$2 text=$3 bytes from t0 onset rc lines said
    check "$what: the GTK window has the focus" focused_is_window
    mark_said
    # No process between these and the command: they would count as its time.
    bytes=$(stat -c %s "$RD_REC"); t0=${EPOCHREALTIME/./}
    "$PROGRAM" --read-selection 2>>"$RIG_DIR/toolbar.err"; rc=$?
    figure "$what: command returned after, ms" $(( (${EPOCHREALTIME/./} - t0) / 1000 ))
    from=$(calc "$bytes / 2 / 22050")
    check "$what: the command succeeds" [ "$rc" = 0 ]
    if onset=$(rd_wait_sound "$from" 15); then
        stage_figures "$what" "$t0" "$lines"
        figure "$what: command to first audio, ms" "$(calc "round(($onset - $from) * 1000)")"
        rd_wait_quiet "$onset" 1.5 20 >/dev/null
    else
        fail "$what: nothing was heard"
    fi
    said=$(said_since | grep 'selection read through')
    check "$what: read through $source, ${#text} characters; said: $said" \
        grep -q "through $source (${#text} characters," <<<"$said"
}

: >"$RIG_DIR/toolbar.err"
echo "== no toolbar yet: --read-selection starts it; data control reads PRIMARY without focus"
wl-copy --primary "$SENTENCE"
start_window 0 "$OTHER"
read_selection "started by the command" "Wayland data control" "$SENTENCE"
if rig_wait 10 sh -c 'xdotool search --name "^Selvarine" >/dev/null'; then
    # Started by the command, not by this script: ended by its PID at exit all the same.
    TOOLBAR=$(dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:org.selvarine.Toolbar |
        awk '{print $2}')
    [ -n "$TOOLBAR" ] && RIG_PIDS+=("$TOOLBAR")
else
    fail "no toolbar window on XWayland"
fi

echo "== the toolbar running: from the command's own start to the first audio"
# scripts/bench-wayland asks for several rounds, for figures steadier than one.
for (( round = 0; round < ${BENCH_ROUNDS:-1}; round++ )); do
    focus_window
    read_selection "toolbar running" "Wayland data control" "$SENTENCE"
done

echo "== a selection offered only as an image is nothing to read, and the last text never returns"
printf '\x89PNG\r\n\x1a\n' >"$RIG_DIR/img.png"
wl-copy --primary --type image/png <"$RIG_DIR/img.png"
mark_said
"$PROGRAM" --read-selection 2>>"$RIG_DIR/toolbar.err"
rig_wait 10 toolbar_said 'no selection source had text' ||
    fail "image only: expected no text; toolbar said: $(said_since)"

echo "== data control: a 100 KB selection"
python3 -c "print('Lorem ipsum dolor sit amet. ' * 3658, end='')" >"$RIG_DIR/big.txt"
wl-copy --primary <"$RIG_DIR/big.txt"
mark_said
"$PROGRAM" --read-selection 2>>"$RIG_DIR/toolbar.err"
rig_wait 10 toolbar_said 'selection read through'
said=$(said_since | grep 'selection read through')
check "100 KB through data control, whole; said: $said" \
    grep -q "Wayland data control ($(stat -c %s "$RIG_DIR/big.txt") characters" <<<"$said"
figure "data control read of a 100 KB selection, ms" "$(sed -n 's/.* characters, \(.*\) ms)/\1/p' <<<"$said")"
"$PROGRAM" --stop 2>>"$RIG_DIR/toolbar.err"
sleep 1

echo "== data control: a selection over 50 MB is refused with a line, not spoken"
head -c $(( 50 * 1024 * 1024 + 1 )) /dev/zero | tr '\0' a | wl-copy --primary
mark_said
"$PROGRAM" --read-selection 2>>"$RIG_DIR/toolbar.err"
check "over 50 MB: refused; said: $(said_since)" \
    rig_wait 15 toolbar_said 'larger than 50 MB'
check "over 50 MB: nothing read" rig_wait 15 toolbar_said 'no selection source had text'

echo "== data control: an owner that stops answering costs one bounded wait, said; then reading goes on"
wl-copy --foreground --primary "$OTHER" 2>/dev/null & STALLED=$!
RIG_PIDS+=("$STALLED")
rig_wait 10 sh -c 'wl-paste --primary --no-newline 2>/dev/null | grep -q .'
kill -STOP "$STALLED"
mark_said
t0=${EPOCHREALTIME/./}
"$PROGRAM" --read-selection 2>>"$RIG_DIR/toolbar.err"
figure "stalled owner: command returned after, ms" $(( (${EPOCHREALTIME/./} - t0) / 1000 ))
check "stalled owner: said so, and nothing read; said: $(said_since)" \
    rig_wait 5 toolbar_said 'stopped answering for 500 ms' 'no selection source had text'
kill -KILL "$STALLED"
wl-copy --primary "$SENTENCE"
mark_said
"$PROGRAM" --read-selection 2>>"$RIG_DIR/toolbar.err"
check "after a stalled owner: the next read goes through" rig_wait 5 \
    toolbar_said "through Wayland data control (${#SENTENCE} characters"
"$PROGRAM" --stop 2>>"$RIG_DIR/toolbar.err"

echo "== AT-SPI: the focused GTK window's own selection, with no PRIMARY selection at all,"
echo "   while another application on the accessibility bus answers nothing (stopped)"
wl-copy --primary --clear
kill "$WINDOW"; rig_wait 10 rig_gone "$WINDOW"
GDK_BACKEND=wayland rig_spawn /usr/bin/python3 "$HERE/../e2e/gtk_editor.py" "$RIG_DIR/doc.txt" \
    stopped-window 2>>"$RIG_DIR/window.log"
STOPPED=$RIG_LAST_PID
rig_wait 20 sh -c 'swaymsg -t get_tree | grep -q "\"name\": \"stopped-window\""' ||
    fail "the second GTK window did not show"
start_window 1 "$OTHER"
kill -STOP "$STOPPED"
read_selection "AT-SPI" "AT-SPI" "$OTHER"
"$PROGRAM" --stop 2>>"$RIG_DIR/toolbar.err"

echo "== read all in a Wayland window: the focused text field's whole text through AT-SPI"
focus_window
mark_said
from=$(rd_now)
"$PROGRAM" --read-all 2>>"$RIG_DIR/toolbar.err"
rd_wait_sound "$from" 15 >/dev/null || fail "read all: nothing was heard"
check "read all: the whole text through AT-SPI; said: $(said_since)" \
    grep -q "whole text read through AT-SPI ($(wc -m <"$RIG_DIR/doc.txt") characters)" \
    <(said_since)
"$PROGRAM" --stop 2>>"$RIG_DIR/toolbar.err"

echo "== AT-SPI: a 100 KB selection"
kill "$WINDOW"; rig_wait 10 rig_gone "$WINDOW"
start_window 1 "$(cat "$RIG_DIR/big.txt")"
mark_said
"$PROGRAM" --read-selection 2>>"$RIG_DIR/toolbar.err"
rig_wait 10 toolbar_said 'selection read through'
said=$(said_since | grep 'selection read through')
check "100 KB through AT-SPI, whole; said: $said" \
    grep -q "AT-SPI ($(stat -c %s "$RIG_DIR/big.txt") characters" <<<"$said"
figure "AT-SPI read of a 100 KB selection, ms" "$(sed -n 's/.* characters, \(.*\) ms)/\1/p' <<<"$said")"
"$PROGRAM" --stop 2>>"$RIG_DIR/toolbar.err"

kill -KILL "$STOPPED"

echo "== --read-selection while the toolbar's language dialog is open: it reads, and the dialog still answers"
dbus-send --session --type=method_call --dest=org.selvarine.Toolbar /org/selvarine/Toolbar \
    org.selvarine.Toolbar.Act string:language
if /usr/bin/python3 "$HERE/../e2e/atspi.py" wait-window 言語選択 10; then
    wl-copy --primary "$SENTENCE"
    mark_said
    from=$(rd_now)
    "$PROGRAM" --read-selection 2>>"$RIG_DIR/toolbar.err"
    rd_wait_sound "$from" 10 >/dev/null || fail "dialog open: nothing was heard"
    check "dialog open: read through data control; said: $(said_since)" \
        grep -q "through Wayland data control (${#SENTENCE} characters" <(said_since)
    "$PROGRAM" --stop 2>>"$RIG_DIR/toolbar.err"
    check "dialog open: its Cancel still closes it" /usr/bin/python3 "$HERE/../e2e/atspi.py" press 言語選択 キャンセル
    check "dialog open: closed" rig_wait 10 sh -c '! xdotool search --name "^言語選択$" >/dev/null 2>&1'
else
    fail "the language dialog did not open"
fi

echo "== --quit ends the toolbar, also while one of its dialogs is open"
dbus-send --session --type=method_call --dest=org.selvarine.Toolbar /org/selvarine/Toolbar \
    org.selvarine.Toolbar.Act string:language
/usr/bin/python3 "$HERE/../e2e/atspi.py" wait-window 言語選択 10 || fail "the language dialog did not open"
"$PROGRAM" --quit 2>>"$RIG_DIR/toolbar.err"
check "the toolbar ended" rig_wait 10 sh -c '! xdotool search --name "^Selvarine" >/dev/null 2>&1'

[ "$failures" = 0 ] || { echo "--- toolbar stderr"; cat "$RIG_DIR/toolbar.err"; }
[ "$failures" = 0 ] && echo "PASS" || echo "$failures failure(s)"
[ "$failures" = 0 ]
