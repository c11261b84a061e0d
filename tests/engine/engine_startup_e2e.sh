#!/usr/bin/env bash
# The real program with the real engine libraries: a program directory holding only the
# Korean engine makes Korean the language, and a dictionary the engine refuses is reported
# once while the language stays usable.
set -u
BIN=$1
source "$(dirname "$0")/../e2e/rig.sh"
rig_init
rig_start_x || exit 1
export SELVARINE_AUDIO=null SELVARINE_MESSAGES="log:$RIG_DIR/messages.log"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
SETTINGS="$XDG_CONFIG_HOME/Tarnholm/Selvarine.reg"
TOP='[HKEY_CURRENT_USER\SOFTWARE\Tarnholm\Selvarine]'
stored() { grep -i -m1 "^\"$1\"=dword:" "$SETTINGS" | sed 's/.*dword://'; }

# A program directory with the Korean engine only.
DIR="$RIG_DIR/program"
mkdir -p "$DIR/VW/VT"
cp "$BIN/selvarine" "$BIN/libselvarine_synth.so" "$BIN/vt_kor.so" "$DIR/"
cp -r "$BIN/VW/VT/Yumi" "$DIR/VW/VT/"

BAD="$RIG_DIR/refused.csv"
printf '"unbalanced,quote\n' >"$BAD"
mkdir -p "$(dirname "$SETTINGS")"
cat >"$SETTINGS" <<REG
REGEDIT4

$TOP
"language"=dword:00000007
"X"=dword:00000010
"Y"=dword:00000010

[HKEY_CURRENT_USER\\SOFTWARE\\Tarnholm\\Selvarine\\Korean]
"volume"=dword:00000064
"speed"=dword:00000064
"pitch"=dword:00000064
"UserDicPath"="$BAD"
REG

rig_spawn "$DIR/selvarine"; pid=$RIG_LAST_PID
rig_wait_window "Selvarine 日中英韓" 30 >/dev/null || fail "no toolbar"
sleep 0.5
[ "$(stored language)" = 0000000a ] || fail "language should become 10, stored $(stored language)"
count=$(grep -c "韓国語ユーザ辞書の読み込みに失敗しました。" "$RIG_DIR/messages.log" 2>/dev/null)
[ "$count" = 1 ] || fail "the Korean dictionary message should show once, shown ${count:-0} times"
others=$(grep -v "韓国語" "$RIG_DIR/messages.log" 2>/dev/null | wc -l)
[ "$others" = 0 ] || fail "no other message expected: $(cat "$RIG_DIR/messages.log")"
grep -q "$(printf '^selvarine\t')" "$RIG_DIR/messages.log" || fail "caption should be the program's title"
kill -0 "$pid" 2>/dev/null || fail "the program should keep running"
kill "$pid"

echo "$(( failures == 0 ? 1 : 0 )) passed, $failures failed"
[ "$failures" = 0 ]
