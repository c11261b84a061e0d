#!/usr/bin/env bash
# Reading aloud end to end: the real toolbar, the real engines, mousepad, PulseAudio with a
# null sink and a recorder on its monitor. Real clicks (XTest through xdotool) on the buttons.
# Prints FIGURE lines with what was measured; never fails on a time.
#   reading_e2e.sh PROGRAM
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

DOCS="$RIG_DIR/docs"
rd_docs "$DOCS"
for i in 1 2 3 4 5 6; do cat "$DOCS/ja.txt"; done >"$DOCS/long.txt"

rd_calibrate || { echo "FAIL: the rig's reference stream was not heard"; exit 1; }
figure "rig offset of the recording, start / stop / spread (s)" "$RD_REF_START / $RD_REF_STOP / $RD_REF_SPREAD"
# What is left after the rig's own offset.
ours() { calc "round($1 - $2, 3)"; }

rd_start_editor "$DOCS/ja.txt" || exit 1
rd_start_toolbar "$PROGRAM" 7 || { echo "FAIL: no toolbar"; exit 1; }

# A reading from a click: prints "onset end voiced" (recording seconds) or fails.
read_once() {
    local command=$1 mark onset end
    mark=$(rd_now)
    rd_click "$command"
    onset=$(rd_wait_sound "$mark" 15) || return 1
    end=$(rd_wait_quiet "$onset" 1.5 60) || return 1
    echo "$mark $onset $end $(rd_span "$mark" "$end" | cut -d' ' -f3)"
}

echo "== selected Japanese text is spoken and the clipboard is left empty"
echo "stale clipboard text" | xclip -selection clipboard -quiet >/dev/null 2>&1 &
clip_pid=$!
sleep 0.3
rd_select_first_line
if result=$(read_once 101); then
    read -r mark onset end voiced_selection <<<"$result"
    figure "read-selection click to first audio (s; the fixed delays are 1 s)" "$(ours "$onset - $mark" "$RD_REF_START")"
    check "selection voiced ${voiced_selection}s, expected 1.5-12 s" \
        python3 -c "import sys; sys.exit(0 if 1.5 <= $voiced_selection <= 12 else 1)"
    check "peak level" [ "$(rd_span "$onset" "$end" | cut -d' ' -f4)" -gt 2000 ]
else
    fail "no speech after read-selection"
    voiced_selection=0
fi
check "clipboard empty after reading" rd_clipboard_empty
wait "$clip_pid" 2>/dev/null

echo "== read-all speaks the whole document"
rd_deselect
if result=$(read_once 1015); then
    read -r mark onset end voiced_all <<<"$result"
    figure "read-all click to first audio (s; the fixed delays are 2 s)" "$(ours "$onset - $mark" "$RD_REF_START")"
    check "whole text (${voiced_all}s) clearly longer than its first line (${voiced_selection}s)" \
        python3 -c "import sys; sys.exit(0 if $voiced_all >= 1.4 * $voiced_selection else 1)"
else
    fail "no speech after read-all"
fi
check "clipboard empty after read-all" rd_clipboard_empty

echo "== pause silences, resume goes on, stop ends"
mark=$(rd_now)
rd_click 1015
if onset=$(rd_wait_sound "$mark" 15); then
    sleep 1.2
    paused_at=$(rd_now)
    rd_click 1042
    sleep 1.5
    last=$(python3 "$RD_HERE/audio.py" quiet_since "$RD_REC" "$paused_at")
    figure "pause: click to silence (s)" "$(ours "$last - $paused_at" "$RD_REF_STOP")"
    quiet_from=$(calc "$paused_at + $RD_REF_STOP + $RD_REF_SPREAD + 0.15")
    check "silent while paused" [ "$(rd_span "$quiet_from" "$(rd_now)" | cut -d' ' -f3)" = "0.00" ]
    resumed_at=$(rd_now)
    rd_click 1042
    if again=$(rd_wait_sound "$resumed_at" 5); then
        figure "resume: click to sound (s)" "$(ours "$again - $resumed_at" "$RD_REF_START")"
    else
        fail "no sound after resume"
    fi
    sleep 0.8
    stopped_at=$(rd_now)
    rd_click 102
    sleep 2.5
    last=$(python3 "$RD_HERE/audio.py" quiet_since "$RD_REC" "$stopped_at")
    figure "stop: click to silence (s)" "$(ours "$last - $stopped_at" "$RD_REF_STOP")"
    quiet_from=$(calc "$stopped_at + $RD_REF_STOP + $RD_REF_SPREAD + 0.15")
    check "silent after stop" [ "$(rd_span "$quiet_from" "$(rd_now)" | cut -d' ' -f3)" = "0.00" ]
else
    fail "no speech for the pause test"
fi

echo "== clipboard arrival to first audio"
rd_deselect
for round in 1 2 3; do
    rd_click 101  # nothing selected: the editor copies nothing, the capture waits
    sleep 2.5
    if [ "$(rd_span "$(calc "$(rd_now) - 2.4")" | cut -d' ' -f3)" != "0.00" ]; then
        fail "round $round: something was read without a selection"
        continue
    fi
    mark=$(rd_now)
    printf '到着から音声まで。' | xclip -selection clipboard -quiet >/dev/null 2>&1 &
    if onset=$(rd_wait_sound "$mark" 5); then
        figure "clipboard arrival to first audio, round $round (s, includes xclip start)" "$(ours "$onset - $mark" "$RD_REF_START")"
    else
        fail "round $round: text arriving on the clipboard was not read"
    fi
    rd_wait_quiet "$onset" 1 20 >/dev/null
done

echo "== a second read while speaking replaces the speech"
rd_stop "$RD_EDITOR_PID"
rd_start_editor "$DOCS/long.txt" || exit 1
mark=$(rd_now)
rd_click 1015
if onset=$(rd_wait_sound "$mark" 15); then
    sleep 2
    rd_select_first_line
    second=$(rd_now)
    rd_click 101
    if end=$(rd_wait_quiet "$second" 1.5 60); then
        took=$(calc "round($end - $second, 2)")
        # The long text alone takes over 30 s; the first line about 4 s after the 1 s delay.
        check "speech ended ${took}s after the second read, expected under 12 s" \
            python3 -c "import sys; sys.exit(0 if $end - $second < 12 else 1)"
    else
        fail "speech did not end after the second read"
    fi
else
    fail "no speech for the replacement test"
fi

echo "== no window to read from: the keys stay with the toolbar, nothing breaks"
rd_stop "$RD_EDITOR_PID"
sleep 0.5
mark=$(rd_now)
rd_click 101
sleep 3
check "toolbar still running" kill -0 "$RD_TOOLBAR_PID"
check "toolbar still shown" rig_wait_window "$RD_TITLE" 2
check "nothing spoken" [ "$(rd_span "$mark" | cut -d' ' -f3)" = "0.00" ]

check "no message shown" [ ! -s "$RIG_DIR/messages.log" ]
[ -s "$RIG_DIR/messages.log" ] && cat "$RIG_DIR/messages.log"
rd_stop "$RD_TOOLBAR_PID"
echo "failures: $failures"
[ "$failures" -eq 0 ]
