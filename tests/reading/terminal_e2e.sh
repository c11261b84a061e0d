#!/usr/bin/env bash
# Reading from a terminal emulator: the program waiting in xterm must survive both read
# buttons (no Ctrl+C, no Ctrl+A), the selected text is spoken from PRIMARY, and read-all says
# that a terminal's whole text cannot be read.
#   terminal_e2e.sh PROGRAM
set -u
PROGRAM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
source "$(dirname "$0")/../e2e/rig.sh"
source "$(dirname "$0")/../e2e/reading_lib.sh"
rig_start_desktop || exit 1
RD_REC="$RIG_DIR/rec.raw"
rig_start_recorder "$RD_REC"

# The user's program: waits for a line, and tells how it ended.
STATUS="$RIG_DIR/status"
cat >"$RIG_DIR/waiter.py" <<'PY'
import sys
print("Hello. This is a short English sample for the reading test.", flush=True)
try:
    sys.stdin.readline()
    open(sys.argv[1], "w").write("line")
except KeyboardInterrupt:
    open(sys.argv[1], "w").write("interrupted")
PY
rig_spawn xterm -geometry 90x12+40+160 -fa Monospace -fs 12 -title waiter \
    -e /usr/bin/python3 "$RIG_DIR/waiter.py" "$STATUS"
XTERM_PID=$RIG_LAST_PID
TERMWIN=$(rig_wait_window waiter 20) || { echo "FAIL: no xterm"; exit 1; }
sleep 1
alive() { [ ! -e "$STATUS" ] && kill -0 "$XTERM_PID" 2>/dev/null; }

# A triple click selects the first line; xterm puts it in PRIMARY.
xdotool windowactivate --sync "$TERMWIN" >/dev/null 2>&1
xdotool mousemove --window "$TERMWIN" 30 10 click --repeat 3 --delay 80 1
sleep 0.5
check "the line is in PRIMARY" sh -c 'xclip -o -selection primary | grep -q "short English sample"'

rd_start_toolbar "$PROGRAM" 8 || { echo "FAIL: no toolbar"; exit 1; }
MESSAGES="$RIG_DIR/messages.log"

echo "== read selection speaks the terminal's selection and leaves its program running"
mark=$(rd_now)
rd_click 101
if onset=$(rd_wait_sound "$mark" 15); then
    end=$(rd_wait_quiet "$onset" 1.5 40)
    voiced=$(rd_span "$mark" "${end:-$(rd_now)}" | cut -d' ' -f3)
    check "selection voiced ${voiced}s, expected 1.5-10 s" \
        python3 -c "import sys; sys.exit(0 if 1.5 <= $voiced <= 10 else 1)"
else
    fail "no speech after read-selection from the terminal"
fi
check "the program in the terminal still runs (status: $(cat "$STATUS" 2>/dev/null))" alive
check "no message" test ! -s "$MESSAGES"

echo "== read all tells that a terminal's whole text cannot be read"
rd_click 1015
rig_wait 10 test -s "$MESSAGES"
check "the terminal message" grep -q "端末の全文は読み上げられません" "$MESSAGES"
sleep 1
check "the program in the terminal still runs (status: $(cat "$STATUS" 2>/dev/null))" alive

rd_stop "$RD_TOOLBAR_PID"
echo "$(( 6 - failures )) passed, $failures failed"
[ "$failures" -eq 0 ]
