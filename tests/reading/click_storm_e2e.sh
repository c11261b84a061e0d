#!/usr/bin/env bash
# Seeded random clicks over the toolbar's buttons while an editor holds a selection, the way
# a hurried user clicks: read selection, read all, pause/resume and stop, and now and then the
# two dialogs, dismissed with Escape. Every capture must end as its own: no extraction message
# for text that was there, no dialog left open, and the close button still ends the toolbar.
#   click_storm_e2e.sh PROGRAM [CLICKS] [SEED]
set -u
PROGRAM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
CLICKS=${2:-2000} SEED=${3:-17}
source "$(dirname "$0")/../e2e/rig.sh"
source "$(dirname "$0")/../e2e/reading_lib.sh"
rig_start_desktop || exit 1

DOCS="$RIG_DIR/docs"
rd_docs "$DOCS"
rd_start_editor "$DOCS/ja.txt" || exit 1
rd_start_toolbar "$PROGRAM" 7 || { echo "FAIL: no toolbar"; exit 1; }
MESSAGES="$RIG_DIR/messages.log"
xdotool windowactivate --sync "$RD_EDITOR" >/dev/null 2>&1
xdotool key --clearmodifiers ctrl+a
sleep 0.3

# Dialogs are rarer than the other buttons: the fault lies in the timing of captures, and
# each dialog costs the storm a round trip.
/usr/bin/python3 - "$CLICKS" "$SEED" "$RD_TB_X" "$RD_TB_Y" "$RD_TOOLBAR_PID" <<'PY'
import random, subprocess, sys, time
clicks, seed, x, y, pid = (int(a) for a in sys.argv[1:])
offsets = {101: 70, 1015: 97, 1042: 124, 102: 151, 103: 178, 104: 205}
buttons = [101] * 4 + [1015] * 4 + [1042] * 4 + [102] * 4 + [103, 104]
rng = random.Random(seed)

DIALOGS = ("設定", "言語選択")

def xdo(*args, timeout=3):
    try:
        return subprocess.run(["xdotool", *args], capture_output=True, text=True,
                              timeout=timeout).stdout.strip()
    except subprocess.TimeoutExpired:
        return ""

def open_dialogs():
    # Names compared here: xdotool's --name regex matched the toolbar's title for these.
    return [w for w in xdo("search", "--onlyvisible", "--pid", str(pid), ".*").split()
            if xdo("getwindowname", w) in DIALOGS]

def dismiss():
    """Escape to the open dialog, never to the toolbar (Escape closes the toolbar)."""
    for _ in range(50):
        found = open_dialogs()
        if not found: return 0
        if xdo("getactivewindow", "getwindowname") in DIALOGS:
            xdo("key", "Escape")
        else:
            xdo("windowactivate", found[0])
        time.sleep(0.1)
    return 1

opened = stuck = 0
for i in range(clicks):
    button = rng.choice(buttons)
    xdo("mousemove", str(x + offsets[button]), str(y + 24), "click", "1")
    if button in (103, 104):
        for _ in range(30):  # the dialog opens once the toolbar's pumps dispatch the click
            if open_dialogs(): break
            time.sleep(0.1)
        opened += bool(open_dialogs())
        stuck += dismiss()
    if subprocess.run(["kill", "-0", str(pid)]).returncode != 0:
        print(f"FAIL: the toolbar ended after click {i + 1} (button {button})")
        sys.exit(1)
    time.sleep(rng.uniform(0.01, 0.15))
if stuck:
    print(f"FAIL: {stuck} dialogs could not be dismissed")
    sys.exit(1)
print(f"FIGURE clicks / dialogs opened and dismissed: {clicks} / {opened}")
PY
[ $? -eq 0 ] || failures=$((failures + 1))

sleep 3  # let the last capture end
check "the toolbar still runs" kill -0 "$RD_TOOLBAR_PID"
check "no message (got: $(head -c 300 "$MESSAGES" 2>/dev/null))" test ! -s "$MESSAGES"
dialog_open() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$RD_TOOLBAR_PID" '.*' 2>/dev/null); do
        case $(xdotool getwindowname "$w") in 設定 | 言語選択) return 0 ;; esac
    done
    return 1
}
if dialog_open; then fail "a dialog was left open"; fi
rd_click 1
check "close ends the toolbar" rig_wait 5 sh -c "! kill -0 $RD_TOOLBAR_PID"
echo "$(( 5 - failures )) passed, $failures failed"
[ "$failures" -eq 0 ]
