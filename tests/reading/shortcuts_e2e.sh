#!/usr/bin/env bash
# The global shortcuts end to end: the real toolbar and engines, mousepad, an editor that keeps
# its selection out of PRIMARY, PulseAudio with a recorder. Keys come through XTest (xdotool)
# to whatever window has the focus, as a user's would. Prints FIGURE lines; never fails on a
# time.
#   shortcuts_e2e.sh PROGRAM
set -u
PROGRAM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
source "$(dirname "$0")/../e2e/rig.sh"
source "$(dirname "$0")/../e2e/reading_lib.sh"
rig_init
rig_start_x || exit 1
rig_start_wm || exit 1
rig_start_pulse || exit 1
RD_REC="$RIG_DIR/rec.raw"
rig_start_recorder "$RD_REC"

median() { python3 -c "import statistics, sys; print(f'{statistics.median(map(float, sys.argv[1:])):.3f}')" "$@"; }
# silent_since T: nothing voiced from T (past the rig's stop offset) to now. T is taken once
# xdotool has returned: its start-up on a loaded machine is not the toolbar's delay.
silent_since() {
    local voiced
    voiced=$(rd_span "$(calc "$1 + $RD_REF_STOP + $RD_REF_SPREAD + 0.15")" "$(rd_now)" | cut -d' ' -f3)
    [ "$voiced" = "0.00" ] || { echo "  (${voiced}s voiced after $1)"; return 1; }
}
shortcut() { xdotool key ctrl+alt+shift+"$1"; }
clipboard_is() { [ "$(timeout 3 xclip -selection clipboard -o 2>/dev/null)" = "$1" ]; }

DOCS="$RIG_DIR/docs"
rd_docs "$DOCS"
rd_calibrate || { echo "FAIL: the rig's reference stream was not heard"; exit 1; }
figure "rig offset of the recording, start / stop / spread (s)" "$RD_REF_START / $RD_REF_STOP / $RD_REF_SPREAD"
ours() { calc "round($1 - $2, 3)"; }

rd_start_editor "$DOCS/ja.txt" || exit 1
rd_start_toolbar "$PROGRAM" 7 2>"$RIG_DIR/toolbar.err" || { echo "FAIL: no toolbar"; exit 1; }

echo "== selected text is spoken from PRIMARY at once; the clipboard keeps its value; stop silences"
echo "kept on the clipboard" | xclip -selection clipboard -quiet >/dev/null 2>&1 &
clip_pid=$!
sleep 0.3
# read_selection_round ROUND WAIT MISSING MAX_VOICED: the read-selection shortcut must speak
# within WAIT s (else fails with MISSING and returns 1); sets LATENCY. The first round must
# speak the first line alone (1.5 to MAX_VOICED s); later rounds are silenced by the stop
# shortcut.
read_selection_round() {
    local round=$1 mark onset end voiced stopped
    mark=$(rd_now)
    shortcut s
    if ! onset=$(rd_wait_sound "$mark" "$2"); then
        fail "round $round: $3"
        return 1
    fi
    LATENCY=$(ours "$onset - $mark" "$RD_REF_START")
    if [ "$round" = 1 ]; then
        end=$(rd_wait_quiet "$onset" 1.5 40) || fail "speech did not end"
        voiced=$(rd_span "$mark" "$end" | cut -d' ' -f3)
        check "first line voiced ${voiced}s, expected 1.5-$4 s" \
            python3 -c "import sys; sys.exit(0 if 1.5 <= $voiced <= $4 else 1)"
    else
        sleep 0.6
        shortcut x
        stopped=$(rd_now)
        sleep 2
        check "round $round: silent after the stop shortcut" silent_since "$stopped"
    fi
}

primary=()
for round in 1 2 3 4 5; do
    rd_select_first_line
    read_selection_round "$round" 10 "no speech after the read-selection shortcut" 12 || continue
    primary+=("$LATENCY")
    check "round $round: clipboard untouched" clipboard_is "kept on the clipboard"
done
[ ${#primary[@]} -gt 0 ] && figure "PRIMARY: shortcut to first audio, median of ${#primary[@]} (s; rounds ${primary[*]})" "$(median "${primary[@]}")"

echo "== nothing selected: the shortcut takes the button's path (clipboard emptied, nothing copied, nothing said)"
rd_deselect
mark=$(rd_now)
shortcut s
sleep 3
check "nothing spoken without a selection" [ "$(rd_span "$mark" | cut -d' ' -f3)" = "0.00" ]
check "the button's path emptied the clipboard" rd_clipboard_empty
wait "$clip_pid" 2>/dev/null

echo "== read all by shortcut; pause/resume and stop by shortcut"
mark=$(rd_now)
shortcut a
if onset=$(rd_wait_sound "$mark" 15); then
    figure "read-all shortcut to first audio (s; the button's fixed delays are 2 s)" "$(ours "$onset - $mark" "$RD_REF_START")"
    sleep 1.2
    shortcut p
    paused_at=$(rd_now)
    sleep 1.5
    check "silent while paused" silent_since "$paused_at"
    resumed_at=$(rd_now)
    shortcut p
    rd_wait_sound "$resumed_at" 5 >/dev/null || fail "no sound after resume"
    end=$(rd_wait_quiet "$resumed_at" 1.5 60) || fail "read-all did not end"
    voiced=$(rd_span "$mark" "$end" | cut -d' ' -f3)
    # Both lines: the Japanese voice (Mei) voices the first line alone for about 2 s and
    # the whole text for about 4.5 s.
    check "whole text voiced ${voiced}s, expected over 3.5 s" python3 -c "import sys; sys.exit(0 if $voiced > 3.5 else 1)"
else
    fail "no speech after the read-all shortcut"
fi
check "clipboard empty after read-all" rd_clipboard_empty

echo "== PRIMARY holds no text: the fallback copies the selection as the button does"
rd_stop "$RD_EDITOR_PID"
rig_spawn /usr/bin/python3 "$RD_HERE/tk_editor.py" "$DOCS/en.txt" "tk notes"
tk_pid=$RIG_LAST_PID
rig_wait_window "tk notes" 20 >/dev/null || fail "the Tk editor did not open"
tk=$(rig_wait_window "tk notes" 1)
sleep 1
fallback=()
for round in 1 2 3; do
    xdotool windowactivate --sync "$tk" >/dev/null 2>&1
    sleep 0.3
    check "round $round: PRIMARY holds no text" sh -c '! timeout 2 xclip -selection primary -o 2>/dev/null | grep -q .'
    # The first line alone: the second would make it far longer.
    read_selection_round "$round" 15 "no speech from the fallback" 8 || continue
    fallback+=("$LATENCY")
    check "round $round: clipboard empty after the fallback" rd_clipboard_empty
done
[ ${#fallback[@]} -gt 0 ] && figure "fallback: shortcut to first audio, median of ${#fallback[@]} (s; rounds ${fallback[*]}; the button's fixed delay is 1 s)" "$(median "${fallback[@]}")"
rd_stop "$tk_pid"

check "no shortcut reported as taken" [ ! -s "$RIG_DIR/toolbar.err" ]
[ -s "$RIG_DIR/toolbar.err" ] && cat "$RIG_DIR/toolbar.err"
check "no message shown" [ ! -s "$RIG_DIR/messages.log" ]
[ -s "$RIG_DIR/messages.log" ] && cat "$RIG_DIR/messages.log"
rd_stop "$RD_TOOLBAR_PID"
echo "failures: $failures"
[ "$failures" -eq 0 ]
