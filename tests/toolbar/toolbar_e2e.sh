#!/usr/bin/env bash
# The real toolbar on Xvfb and openbox: its cut corners show the coloured root window, the
# tooltip of a button shows while another window is active, dragging the logo moves the
# window and the new position lands in the settings file, and a press right of the logo
# moves nothing. A screen reader (AT-SPI) finds the window and its buttons by name.
#
#   toolbar_e2e.sh PATH/TO/selvarine      (SHOT_DIR=dir keeps the screenshots)
set -u
PROGRAM=$(readlink -f "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../e2e/rig.sh
source "$HERE/../e2e/rig.sh"

failures=0
passes=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@"; then
        passes=$((passes + 1)); echo "ok: $what"
    else
        failures=$((failures + 1)); echo "FAIL: $what"
    fi
}

rig_init
rig_start_x || exit 1
rig_start_wm || exit 1
rig_start_atspi || exit 1
SHOTS=${SHOT_DIR:-$RIG_DIR}
mkdir -p "$SHOTS"

ROOT_RGB="0,160,96"
convert -size 1280x800 "xc:rgb($ROOT_RGB)" "$RIG_DIR/root.png"
display -window root "$RIG_DIR/root.png"

TITLE="Selvarine 日中英韓"
SETTINGS="$XDG_CONFIG_HOME/Tarnholm/Selvarine.reg"
rig_spawn env SELVARINE_AUDIO=null "$PROGRAM"
WID=$(rig_wait_window "$TITLE" 20) || { echo "FAIL: the toolbar did not appear"; exit 1; }
sleep 1

# Prints "x y" of the toolbar's top-left on the screen.
position() { xdotool getwindowgeometry "$WID" | awk '/Position/ { split($2, p, ","); print p[1], p[2] }'; }
# Prints the settings file's dword NAME in decimal.
stored() {
    local hex
    hex=$(grep -i "^\"$1\"=dword:" "$SETTINGS" 2>/dev/null | head -1 | sed 's/.*dword://' | tr -d '\r')
    [ -n "$hex" ] && echo $((16#$hex))
}
# Prints the screen pixel at X Y as "r,g,b".
pixel() {
    convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | awk 'NR == 2 { print $2 }' | tr -d '()' |
        awk -F, '{ printf "%d,%d,%d\n", $1, $2, $3 }'
}
wait_position() {  # wait_position X Y: the window reached (X, Y)
    local i
    for (( i = 0; i < 30; i++ )); do
        [ "$(position)" = "$1 $2" ] && return 0
        sleep 0.1
    done
    return 1
}

read -r X Y < <(position)
echo "toolbar at $X,$Y"

# --- What a screen reader sees ---------------------------------------------------------------
names=$(/usr/bin/python3 "$RIG_ATSPI" names "$TITLE" "push button" | tr '\n' ' ')
check "AT-SPI names the seven buttons by their tooltips ($names)" \
    [ "$names" = "範囲指定読み上げ 全文読み上げ 中断／再開 停止 設定 言語選択 閉じる " ]

# --- The cut corners over the coloured root --------------------------------------------
xdotool mousemove 900 700
sleep 0.5
import -window root "$SHOTS/toolbar-screen.png"
convert "$SHOTS/toolbar-screen.png" -crop "256x46+$((X - 4))+$((Y - 4))" +repage \
    "$SHOTS/toolbar.png"
convert "$SHOTS/toolbar.png" -scale 400% "$SHOTS/toolbar-x4.png"
shot="$SHOTS/toolbar-screen.png"
is_root() { [ "$(pixel "$shot" $((X + $1)) $((Y + $2)))" = "$ROOT_RGB" ]; }
not_root() { ! is_root "$@"; }
# Row by row: the outermost cut pixel shows the root, its inner neighbour the toolbar.
for p in "0 0" "2 0" "1 1" "0 2" "245 0" "247 0" "246 1" "247 2" "0 35" "1 36" "0 37" "2 37" \
         "247 35" "247 36" "245 37" "247 37"; do
    check "cut pixel ($p) shows the root" is_root $p
done
for p in "3 0" "244 0" "2 1" "245 1" "1 2" "246 2" "0 3" "247 34" "1 35" "246 35" "2 36" \
         "246 36" "3 37" "244 37" "100 0" "0 20" "247 20" "120 37"; do
    check "toolbar pixel ($p) is drawn" not_root $p
done
check "just outside the toolbar is the root" is_root -1 20
check "just outside the toolbar is the root" is_root 248 20

# --- Faces and their looks: hover follows the cursor, pressed while held ---------------
SKIN="$HERE/../../resources/skin135.bmp"
# face_is BUTTON_LEFT CELL BAND: the screen shows that skin face at the button's place
# (within two seconds: repaints are asynchronous).
face_is() {
    convert "$SKIN" -crop "26x28+$((30 + 27 * $2))+$((38 * $3 + 10))" +repage "$RIG_DIR/want.png"
    local diff i
    for (( i = 0; i < 10; i++ )); do
        import -window root -crop "26x28+$((X + $1))+$((Y + 10))" +repage "$RIG_DIR/got.png"
        diff=$(compare -metric AE "$RIG_DIR/got.png" "$RIG_DIR/want.png" null: 2>&1)
        [ "${diff%% *}" = 0 ] && return 0
        sleep 0.2
    done
    return 1
}
check "read-selection button shows cell 1, normal" face_is 57 1 0
check "language button shows 日 (cell 13), normal" face_is 192 13 0
check "close button shows cell 17, normal" face_is 219 17 0
xdotool mousemove $((X + 124)) $((Y + 24)); sleep 0.4
check "pause button shows the hover look" face_is 111 3 1
check "its neighbour stays normal" face_is 138 4 0
xdotool mousemove $((X + 151)) $((Y + 24)); sleep 0.4
check "straight to the neighbour: pause back to normal" face_is 111 3 0
check "straight to the neighbour: stop shows the hover look" face_is 138 4 1
xdotool mousemove $((X + 151)) $((Y + 60)); sleep 0.4
check "leaving over the outer edge clears the hover look" face_is 138 4 0
xdotool mousemove $((X + 151)) $((Y + 24)); sleep 0.3
xdotool mousedown 1; sleep 0.4
check "stop button held down shows the pressed look" face_is 138 4 2
xdotool mouseup 1; sleep 0.3
xdotool mousemove 900 700; sleep 0.3

# --- A tooltip on the inactive toolbar ----------------------------------------------------
rig_spawn xmessage -geometry 300x100+600+500 "another application"
XM=$(rig_wait_window "xmessage" 10)
if [ -n "$XM" ]; then
    xdotool windowactivate --sync "$XM" 2>/dev/null
    sleep 0.3
    active=$(xdotool getactivewindow 2>/dev/null)
    check "another window is active" [ "$active" != "$WID" ]
    xdotool mousemove $((X + 150)) $((Y + 24))
    sleep 0.2
    xdotool mousemove $((X + 151)) $((Y + 24))
    # The tip opens below the cursor, over what was plain root before.
    for (( i = 0; i < 25; i++ )); do
        sleep 0.2
        import -window root "$SHOTS/tooltip-screen.png"
        tip_pixels=$(convert "$SHOTS/tooltip-screen.png" -crop "120x30+$((X + 140))+$((Y + 44))" \
            +repage -fill black +opaque "rgb($ROOT_RGB)" -fill white -opaque "rgb($ROOT_RGB)" \
            -negate -format "%[fx:round(mean*w*h)]" info:)
        [ "${tip_pixels:-0}" -gt 200 ] && break
    done
    convert "$SHOTS/tooltip-screen.png" -crop "220x90+$((X + 100))+$((Y))" +repage \
        "$SHOTS/tooltip.png"
    check "a tooltip shows below the stop button while the toolbar is inactive ($tip_pixels px)" \
        [ "${tip_pixels:-0}" -gt 200 ]
    xdotool mousemove 900 700
    sleep 0.3
else
    check "xmessage appeared" false
fi

# --- Dragging by the logo ----------------------------------------------------------------
xdotool mousemove $((X + 20)) $((Y + 20))
sleep 0.2
xdotool mousedown 1
for (( i = 1; i <= 10; i++ )); do
    xdotool mousemove $((X + 20 + 10 * i)) $((Y + 20 + 5 * i))
    sleep 0.05
done
xdotool mouseup 1
check "the drag moved the toolbar by (100, 50)" wait_position $((X + 100)) $((Y + 50))
read -r NX NY < <(position)
# The file follows within a write interval once the moves stop.
stored_is() { [ "$(stored "$1")" = "$2" ]; }
check "the settings file holds X = $NX" rig_wait 3 stored_is X "$NX"
check "the settings file holds Y = $NY" rig_wait 3 stored_is Y "$NY"

# --- A press right of column 55 moves nothing ----------------------------------------------
for at in "56 20" "60 4" "110 30" "200 2"; do
    read -r ax ay <<<"$at"
    xdotool mousemove $((NX + ax)) $((NY + ay))
    sleep 0.1
    xdotool mousedown 1
    for (( i = 1; i <= 5; i++ )); do
        xdotool mousemove $((NX + ax + 15 * i)) $((NY + ay + 10 * i))
        sleep 0.05
    done
    xdotool mouseup 1
    sleep 0.3
    check "a press at ($at) left the toolbar at $NX,$NY" [ "$(position)" = "$NX $NY" ]
    [ "$(position)" = "$NX $NY" ] || break
done
check "the settings file still holds X = $NX" [ "$(stored X)" = "$NX" ]

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
