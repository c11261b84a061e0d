#!/usr/bin/env bash
# Saving speech end to end, driven as an assistive tool would (AT-SPI): the toolbar's menu,
# the file dialog and the progress window of the real program, with the real engines,
# mousepad, PulseAudio and a recorder. The saved FLAC file, played back, lasts as long as the
# reading of the same selection. Prints FIGURE lines; never fails on a time.
#   save_speech_e2e.sh PROGRAM
set -u
PROGRAM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../e2e/rig.sh"
source "$HERE/../e2e/reading_lib.sh"
rig_init
rig_start_x || exit 1
rig_start_wm || exit 1
rig_start_atspi || { echo "FAIL: no AT-SPI registry"; exit 1; }
rig_start_pulse || exit 1
RD_REC="$RIG_DIR/rec.raw"
rig_start_recorder "$RD_REC"

at() { /usr/bin/python3 "$RIG_ATSPI" "$@"; }
DIALOG="音声ファイルに保存"
OUT="$RIG_DIR/saved"
mkdir -p "$OUT"

DOCS="$RIG_DIR/docs"
rd_docs "$DOCS"
rd_calibrate || { echo "FAIL: the rig's reference stream was not heard"; exit 1; }
rd_start_editor "$DOCS/ja.txt" || exit 1
rd_start_toolbar "$PROGRAM" 7 || { echo "FAIL: no toolbar"; exit 1; }

# Voiced seconds of what the recorder hears from now until QUIET seconds of silence, after
# COMMAND... starts it; fails when nothing is heard.
voiced_after() {
    local mark onset end
    mark=$(rd_now)
    "$@"
    onset=$(rd_wait_sound "$mark" 20) || return 1
    end=$(rd_wait_quiet "$onset" 1.5 90) || return 1
    rd_span "$mark" "$end" | cut -d' ' -f3
}

# Opens the toolbar's menu with a right click and chooses the item named $1. The menu is seen
# as assistive tools see it, by the focus events of its items, so Down gives the first the
# focus.
open_menu_item() {
    local ready="$RIG_DIR/menu.ready" pid
    rm -f "$ready"
    at menu "$ready" "$1" >/dev/null &
    pid=$!
    rig_wait 10 test -f "$ready" || { kill "$pid" 2>/dev/null; return 1; }
    xdotool mousemove --window "$RD_TOOLBAR" 120 5 click 3
    sleep 0.3
    xdotool key Down
    wait "$pid"
}

# save_as NAME FILE: chooses the menu's save command, types NAME in the file dialog and
# saves; waits until FILE is there and the progress window has closed.
save_as() {
    open_menu_item "音声ファイルに保存..." || return 1
    at wait-window "$DIALOG" 20 || return 1
    at set-text "$DIALOG" "File name:" "$1" || return 1
    at press "$DIALOG" "Save" || return 1
    rig_wait 60 test -e "$2" &&
        rig_wait 10 sh -c "! xdotool search --name '^${DIALOG}\$' >/dev/null"
}

echo "== the reading of the first line, for comparison"
rd_select_first_line
read_voiced=$(voiced_after rd_click 101) || fail "no speech after read-selection"
figure "the reading's voiced seconds" "${read_voiced:-0}"

echo "== 音声ファイルに保存... writes the selection's speech to FLAC, silently"
rd_select_first_line
mark=$(rd_now)
started=$(date +%s.%N)
save_as "$OUT/first line.flac" "$OUT/first line.flac" || fail "the save through the menu and the dialog did not run"
figure "save, menu to file in place (s, with the dialog driven through AT-SPI)" \
    "$(calc "round($(date +%s.%N) - $started, 2)")"
check "the save played nothing" [ "$(rd_span "$mark" "$(rd_now)" | cut -d' ' -f3)" = "0.00" ]
check "the FLAC file is there, and nothing else" [ "$(ls -A "$OUT")" = "first line.flac" ]
if [ -f "$OUT/first line.flac" ]; then
    figure "the file's length (s)" "$(soxi -D "$OUT/first line.flac" 2>/dev/null)"
    played=$(voiced_after paplay "$OUT/first line.flac") || fail "the saved file plays nothing"
    figure "the file's voiced seconds, played" "${played:-0}"
    check "played (${played:-0}s) as long as the reading (${read_voiced:-0}s), within 5%" \
        python3 -c "import sys; a, b = ${played:-0}, ${read_voiced:-0}; sys.exit(0 if b > 1 and abs(a - b) <= 0.05 * b + 0.1 else 1)"
fi
check "the clipboard is left empty" rd_clipboard_empty

echo "== a name without an extension is saved as WAV"
rd_select_first_line
save_as "$OUT/plain" "$OUT/plain.wav" || fail "the second save did not run"
check "plain.wav written" python3 -c "
import sys, wave
with wave.open('$OUT/plain.wav') as w:
    sys.exit(0 if w.getnframes() / w.getframerate() > 1 else 1)"

check "no message was shown" [ ! -s "$RIG_DIR/messages.log" ]
[ -s "$RIG_DIR/messages.log" ] && cat "$RIG_DIR/messages.log"
rd_stop "$RD_TOOLBAR_PID"
echo "failures: $failures"
[ "$failures" -eq 0 ]
