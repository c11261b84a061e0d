#!/usr/bin/env bash
# 声の管理 end to end, driven through AT-SPI as an assistive tool would: the real toolbar and
# engines, the real neural runtime and helper with the tests' tiny voice. Choosing the voice
# in the dialog keeps it in the settings file; the next reading of English speaks with it.
#   voice_manager_e2e.sh PROGRAM WRITE_TINY_VOICE
set -u
PROGRAM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
WRITE_VOICE=$2
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../e2e/rig.sh"
RUNTIME=${SELVARINE_NEURAL_RUNTIME:-/usr/local/lib/selvarine/sherpa-onnx/libsherpa-onnx-c-api.so}
[ -r "$RUNTIME" ] || { echo "SKIP: the neural runtime is not installed (scripts/setup)"; exit 0; }
rig_init
rig_start_x || exit 1
rig_start_atspi || { echo "FAIL: no AT-SPI registry"; exit 1; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
at() { /usr/bin/python3 "$RIG_ATSPI" "$@"; }
export XDG_DATA_HOME="$RIG_DIR/data" SELVARINE_AUDIO="wav:$RIG_DIR/out.wav" SELVARINE_VERBOSE=1
"$WRITE_VOICE" "$XDG_DATA_HOME/selvarine/voices/tiny" || exit 1
SETTINGS="$XDG_CONFIG_HOME/Tarnholm/Selvarine.reg"
mkdir -p "$(dirname "$SETTINGS")"
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Tarnholm\\Selvarine]\n"language"=dword:00000008\n"X"=dword:00000010\n"Y"=dword:00000010\n' >"$SETTINGS"

rig_spawn "$PROGRAM" 2>"$RIG_DIR/toolbar.err"
at wait-window "Selvarine 日中英韓" 30 || { echo "FAIL: no toolbar"; exit 1; }

# The menu item's action, as the menu would run it; the dialog is modal, so the call waits.
gdbus call --session --dest org.selvarine.Toolbar --object-path /org/selvarine/Toolbar \
    --method org.selvarine.Toolbar.Act voices >/dev/null &
at wait-window 声の管理 20 || fail "声の管理 did not open"
# The language box's items come first, then the voices of the language chosen (English).
names=$(at names 声の管理 "list item" | tr '\n' '|')
[ "${names#*韓国語|}" = "内蔵の声|tiny（English、話者 1）|" ] || fail "the voices listed: $names"
at press 声の管理 "tiny（English、話者 1）" || fail "could not choose the tiny voice"
rig_wait 5 grep -q '^"Voice"="tiny"' "$SETTINGS" || fail "the choice was not kept: $(cat "$SETTINGS")"
at press 声の管理 テスト || fail "no テスト"
rig_wait 10 grep -q "the neural voice .*/tiny speaks English" "$RIG_DIR/toolbar.err" ||
    fail "テスト did not open the chosen voice: $(cat "$RIG_DIR/toolbar.err")"
at press 声の管理 閉じる || fail "could not close 声の管理"

# A reading: "hello" and "world" are 4 and 5 tokens of 256 samples, with 3 blanks.
printf 'Hello world.' | xclip -selection clipboard
"$PROGRAM" --read-clipboard || fail "--read-clipboard failed"
count() {
    python3 - "$RIG_DIR/out.wav" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()[44:]
print(sum(1 for (s,) in struct.iter_unpack("<h", data[: len(data) // 2 * 2]) if s == 8192))
PY
}
tiny_reading() { [ "$(count)" = 3072 ]; }
rig_wait 10 tiny_reading || fail "the reading was not the tiny voice's 3072 samples: $(count)"

echo "$(( failures == 0 ? 1 : 0 )) passed, $failures failed"
[ "$failures" = 0 ]
