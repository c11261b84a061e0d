#!/usr/bin/env bash
# Switching the reading language on the desktop rig, through AT-SPI as a screen reader would:
# 言語選択 on the toolbar, 韓国語, OK. The language button then shows 韓, the settings file
# holds 10, a restart keeps Korean, and Korean text selected in the editor is spoken. The
# About box opens from the dialog and closes with OK.
#
#   language_selection_e2e.sh PATH/TO/selvarine      (SHOT_DIR=dir keeps the screenshots)
set -u
PROGRAM=$(readlink -f "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../e2e/rig.sh"
source "$HERE/../e2e/reading_lib.sh"

failures=0 passes=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@"; then passes=$((passes + 1)); echo "ok: $what"
    else failures=$((failures + 1)); echo "FAIL: $what"; fi
}
atspi() { /usr/bin/python3 "$RIG_ATSPI" "$@"; }
has_state() { atspi states "$1" "$2" | grep -x "$3" >/dev/null; }
lacks_state() { ! has_state "$@"; }
gone() { [ -z "$(xdotool search --name "^$1\$" 2>/dev/null)" ]; }
stored_language() {
    local hex
    hex=$(grep -i '^"language"=dword:' "$SETTINGS" | sed 's/.*dword://' | tr -d '\r')
    [ -n "$hex" ] && echo $((16#$hex))
}
# The language button (client x 192) shows the skin's face CELL in the normal look.
SKIN="$HERE/../../resources/skin135.bmp"
face_is() {
    convert "$SKIN" -crop "26x28+$((30 + 27 * $1))+10" +repage "$RIG_DIR/want.png"
    local diff i
    for (( i = 0; i < 10; i++ )); do
        import -window root -crop "26x28+$((RD_TB_X + 192))+$((RD_TB_Y + 10))" +repage "$RIG_DIR/got.png"
        diff=$(compare -metric AE "$RIG_DIR/got.png" "$RIG_DIR/want.png" null: 2>&1)
        [ "${diff%% *}" = 0 ] && return 0
        sleep 0.2
    done
    return 1
}

rig_init
rig_start_x || exit 1
rig_start_wm || exit 1
rig_start_atspi || exit 1
rig_start_pulse || exit 1
RD_REC="$RIG_DIR/rec.raw"
rig_start_recorder "$RD_REC"
SHOTS=${SHOT_DIR:-$RIG_DIR}
mkdir -p "$SHOTS"
SETTINGS="$XDG_CONFIG_HOME/Tarnholm/Selvarine.reg"
TB="Selvarine 日中英韓"

rd_docs "$RIG_DIR/docs"
rd_start_editor "$RIG_DIR/docs/ko.txt" || exit 1
rd_start_toolbar "$PROGRAM" 7 || { echo "FAIL: no toolbar"; exit 1; }
xdotool mousemove 1200 780  # off the toolbar, so its faces show the normal look
check "the toolbar starts in Japanese (日)" face_is 13

echo "== the dialog, its About box, and choosing Korean"
atspi press "$TB" "言語選択"
check "言語選択 opens" atspi wait-window "言語選択" 10
import -window root "$SHOTS/langsel-screen.png"
check "日本語 is pressed" has_state "言語選択" "日本語" checked
check "韓国語 can be chosen" has_state "言語選択" "韓国語" enabled

atspi press "言語選択" "バージョン情報"
check "バージョン情報 opens from it" atspi wait-window "バージョン情報" 10
import -window root "$SHOTS/about-screen.png"
about_shows() { atspi dump "バージョン情報" | grep "$1" >/dev/null; }
check "it shows the product line" about_shows "Selvarine 日中英韓 Ver 1.01"
atspi press "バージョン情報" "OK"
check "its OK closes it" rig_wait 10 gone "バージョン情報"
check "the language dialog is still open" atspi wait-window "言語選択" 2

atspi press "言語選択" "韓国語"
check "韓国語 is pressed" rig_wait 5 has_state "言語選択" "韓国語" checked
check "日本語 is released" lacks_state "言語選択" "日本語" checked
atspi press "言語選択" "OK"
check "OK closes the dialog" rig_wait 10 gone "言語選択"
check "the language button shows 韓 at once" face_is 16
check "the settings file holds 10" rig_wait 3 sh -c "grep -qi '^\"language\"=dword:0000000a' '$SETTINGS'"

echo "== a restart keeps Korean, and Korean text is spoken"
rd_stop "$RD_TOOLBAR_PID"
rig_spawn env SELVARINE_MESSAGES="log:$RIG_DIR/messages.log" "$PROGRAM"
RD_TOOLBAR_PID=$RIG_LAST_PID
RD_TOOLBAR=$(rig_wait_window "$TB" 20) || { echo "FAIL: no toolbar after the restart"; exit 1; }
sleep 0.5
read -r RD_TB_X RD_TB_Y < <(xdotool getwindowgeometry "$RD_TOOLBAR" |
    sed -n 's/ *Position: \([-0-9]*\),\([-0-9]*\).*/\1 \2/p')
check "after the restart the button shows 韓" face_is 16
check "and the settings file still holds 10" [ "$(stored_language)" = 10 ]

rd_select_first_line
mark=$(rd_now)
atspi press "$TB" "範囲指定読み上げ"
if onset=$(rd_wait_sound "$mark" 15) && end=$(rd_wait_quiet "$onset" 1.5 60); then
    voiced=$(rd_span "$mark" "$end" | cut -d' ' -f3)
    echo "FIGURE Korean first line voiced (s): $voiced"
    check "the Korean line is spoken (${voiced}s, expected 1.5-12 s)" \
        python3 -c "import sys; sys.exit(0 if 1.5 <= $voiced <= 12 else 1)"
else
    check "the Korean line is spoken" false
fi
check "no message was shown" test ! -s "$RIG_DIR/messages.log"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
