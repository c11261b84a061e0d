#!/usr/bin/env bash
# Following and steering a reading end to end, driven as assistive tools drive it (AT-SPI):
# the toolbar's context menu, the caption strip and what it names, the sentence moves by menu
# and shortcut, the speed shortcuts, and the caption choice across a restart. The real toolbar
# and engines, mousepad, PulseAudio with a recorder. Prints FIGURE lines; never fails on a time.
#   follow_e2e.sh PROGRAM
set -u
PROGRAM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
source "$(dirname "$0")/../e2e/rig.sh"
source "$(dirname "$0")/../e2e/reading_lib.sh"
rig_start_desktop || exit 1
rig_start_atspi || { echo "FAIL: no accessibility bus"; exit 1; }
RD_REC="$RIG_DIR/rec.raw"
rig_start_recorder "$RD_REC"
atspi() { /usr/bin/python3 "$RIG_ATSPI" "$@"; }
SETTINGS="$XDG_CONFIG_HOME/Tarnholm/Selvarine.reg"
MENU="ツールバーのメニュー"
CAPTION="字幕"

S1="今日はとても良い天気なので、朝早くから家族みんなで近くの公園まで散歩に出かけることにしました。"
S2="明日は朝から雨が降るそうです。"
S3="週末にはまた晴れると聞きました。"
DOC="$RIG_DIR/three.txt"
printf '%s%s%s\n' "$S1" "$S2" "$S3" >"$DOC"

# menu OPENER... : opens the context menu with OPENER, prints its name and items (with
# "checked"), and chooses $ITEM when set. A popup menu is seen through its focus events, so
# the first item is given the focus with Down.
menu() {
    rm -f "$RIG_DIR/ready"
    atspi menu "$RIG_DIR/ready" ${ITEM:+"$ITEM"} >"$RIG_DIR/menu.out" 2>"$RIG_DIR/menu.err" &
    local pid=$!
    rig_wait 10 test -e "$RIG_DIR/ready" || true
    "$@"
    sleep 0.3
    xdotool key Down
    wait "$pid"
    local rc=$?
    [ -z "${ITEM:-}" ] && xdotool key Escape
    return $rc
}
right_click() { xdotool mousemove --window "$RD_TOOLBAR" 120 5 click 3; }
stored() { sed -n "s/^\"$1\"=dword:0*\([0-9a-f]\)/\1/p" "$SETTINGS" | head -1; }
# read_three: selects the line and reads it; prints the first voiced time.
read_three() {
    local mark
    rd_select_first_line
    mark=$(rd_now)
    rd_click 101
    rd_wait_sound "$mark" 15
}
caption_names() { atspi watch "$CAPTION" label "$1" >"$2" 2>/dev/null & }

rd_start_editor "$DOC" || exit 1
rd_start_toolbar "$PROGRAM" 7 2>"$RIG_DIR/toolbar.err" || { echo "FAIL: no toolbar"; exit 1; }

echo "== a right click opens the menu in Japanese; 字幕を表示 turns the caption on and is kept"
if ITEM= menu right_click; then
    names=$(tr '\n' '|' <"$RIG_DIR/menu.out")
    check "the menu and its items are named (got: $names)" \
        [ "$names" = "$MENU|字幕を表示|言語を自動判別 checked|文の間: 短く|文の間: 標準 checked|文の間: 長く|URL: 全部読む|URL: ドメインだけ checked|URL: 読まない|前の文|次の文|速く|遅く|音声ファイルに保存...|声の管理...|バージョン情報|" ]
else
    fail "no menu after a right click: $(cat "$RIG_DIR/menu.err")"
fi
ITEM=字幕を表示 menu right_click || fail "could not choose 字幕を表示: $(cat "$RIG_DIR/menu.err")"
sleep 0.5
check "ShowCaption stored as 1" [ "$(stored ShowCaption)" = 1 ]

echo "== reading three sentences: the caption names the first, then the second, then the third"
caption_names 30 "$RIG_DIR/caption1.txt"
watch_pid=$!
if onset=$(read_three); then
    sleep 1
    [ -n "${FOLLOW_E2E_SHOT:-}" ] && import -window root "$FOLLOW_E2E_SHOT" 2>/dev/null
    end=$(rd_wait_quiet "$onset" 1.5 40) || fail "the reading did not end"
    full=$(rd_span "$onset" "$end" | cut -d' ' -f3)
    figure "three sentences voiced (s)" "$full"
else
    fail "nothing was read"
fi
sleep 1
kill "$watch_pid" 2>/dev/null; wait "$watch_pid" 2>/dev/null
seen=$(grep -v '^$' "$RIG_DIR/caption1.txt" | tr '\n' '|')
check "caption went $S1 then $S2 then $S3 (saw: $seen)" [ "$seen" = "$S1|$S2|$S3|" ]
check "the caption is empty once the reading ended" [ "$(tail -1 "$RIG_DIR/caption1.txt")" = "" ]

echo "== 次の文 from the menu jumps to the second sentence at once"
caption_names 20 "$RIG_DIR/caption2.txt"
watch_pid=$!
if onset=$(read_three); then
    sleep 0.5
    ITEM=次の文 menu right_click || fail "could not choose 次の文"
    end=$(rd_wait_quiet "$onset" 1.5 40) || fail "the reading did not end"
    jumped=$(rd_span "$onset" "$end" | cut -d' ' -f3)
    figure "voiced with 次の文 chosen during the first sentence (s)" "$jumped"
    check "the recording jumped: ${jumped}s voiced against ${full:-0}s" \
        python3 -c "import sys; sys.exit(0 if $jumped < ${full:-0} - 1.0 else 1)"
fi
sleep 1
kill "$watch_pid" 2>/dev/null; wait "$watch_pid" 2>/dev/null
seen=$(grep -v '^$' "$RIG_DIR/caption2.txt" | tr '\n' '|')
check "caption went from the first sentence to the second (saw: $seen)" [ "$seen" = "$S1|$S2|$S3|" ]

echo "== the caption choice survives a restart; off, the shortcuts still move and change speed"
rd_stop "$RD_TOOLBAR_PID"
rd_start_toolbar "$PROGRAM" 7 2>>"$RIG_DIR/toolbar.err" || { echo "FAIL: no toolbar after restart"; exit 1; }
ITEM= menu right_click || fail "no menu after the restart"
check "字幕を表示 is still checked after a restart" grep -qx "字幕を表示 checked" "$RIG_DIR/menu.out"
ITEM=字幕を表示 menu xdotool key shift+F10 || fail "could not turn the caption off from the keyboard"
sleep 0.5
check "ShowCaption stored as 0" [ "$(stored ShowCaption)" = 0 ]
caption_names 12 "$RIG_DIR/caption3.txt"
watch_pid=$!
if onset=$(read_three); then
    sleep 0.5
    xdotool key ctrl+alt+shift+Right
    end=$(rd_wait_quiet "$onset" 1.5 40) || fail "the reading did not end"
    jumped=$(rd_span "$onset" "$end" | cut -d' ' -f3)
    figure "voiced with the next-sentence shortcut half a second in (s)" "$jumped"
    check "the shortcut jumped: ${jumped}s voiced against ${full:-0}s" \
        python3 -c "import sys; sys.exit(0 if $jumped < ${full:-0} - 1.0 else 1)"
fi
kill "$watch_pid" 2>/dev/null; wait "$watch_pid" 2>/dev/null
check "no caption while it is off" [ -z "$(grep -v '^$' "$RIG_DIR/caption3.txt")" ]
xdotool key ctrl+alt+shift+Up ctrl+alt+shift+Up ctrl+alt+shift+Down ctrl+alt+shift+Up
sleep 0.5
check "three faster and one slower: the Japanese speed stored as 120" \
    [ "$(sed -n '/Selvarine\\Japanese\]/,/^$/s/^"speed"=dword:\(.*\)/\1/p' "$SETTINGS")" = 00000078 ]

check "nothing reported on stderr" [ ! -s "$RIG_DIR/toolbar.err" ]
[ -s "$RIG_DIR/toolbar.err" ] && cat "$RIG_DIR/toolbar.err"
check "no message shown" [ ! -s "$RIG_DIR/messages.log" ]
rd_stop "$RD_TOOLBAR_PID"
echo "failures: $failures"
[ "$failures" -eq 0 ]
