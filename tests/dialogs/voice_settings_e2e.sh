#!/usr/bin/env bash
# The voice settings dialog end to end, driven through AT-SPI as an assistive tool would: the
# real toolbar, engines, mousepad, PulseAudio and a recorder. Prints FIGURE lines; never fails
# on a time.
#   voice_settings_e2e.sh PROGRAM
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
SETTINGS="$XDG_CONFIG_HOME/Tarnholm/Selvarine.reg"
TB="Selvarine 日中英韓"

# The value NAME of the Japanese key in the settings file, as written there.
stored() {
    python3 - "$SETTINGS" "$1" <<'PY'
import sys
section, out = None, ""
for line in open(sys.argv[1], encoding="utf-8"):
    line = line.rstrip("\n")
    if line.startswith("["):
        section = line
    elif section == "[HKEY_CURRENT_USER\\SOFTWARE\\Tarnholm\\Selvarine\\Japanese]" and \
            line.lower().startswith('"%s"=' % sys.argv[2].lower()):
        out = line.split("=", 1)[1]
print(out)
PY
}

DOCS="$RIG_DIR/docs"
rd_docs "$DOCS"
# A dictionary whose path a shell would mangle.
DIC_DIR="$RIG_DIR/my dics"
DIC="$DIC_DIR/it's a \$(dic) & more;.csv"
mkdir -p "$DIC_DIR"
: >"$DIC"

rd_calibrate || { echo "FAIL: the rig's reference stream was not heard"; exit 1; }
rd_start_editor "$DOCS/ja.txt" || exit 1
rd_start_toolbar "$PROGRAM" 7 || { echo "FAIL: no toolbar"; exit 1; }
rd_stop "$RD_TOOLBAR_PID"
python3 - "$SETTINGS" "$DIC" <<'PY'
import sys
path, dic = sys.argv[1], sys.argv[2]
lines, section = [], None
for line in open(path, encoding="utf-8"):
    if line.startswith("["):
        section = line.strip()
    if section and section.endswith("\\Japanese]") and line.startswith('"UserDicPath"='):
        line = '"UserDicPath"="%s"\n' % dic.replace("\\", "\\\\").replace('"', '\\"')
    lines.append(line)
open(path, "w", encoding="utf-8").writelines(lines)
PY
rd_start_toolbar "$PROGRAM" 7 || { echo "FAIL: no toolbar"; exit 1; }

# A reading of the first line: prints "voiced_seconds peak" or fails.
read_line() {
    local mark onset end
    rd_select_first_line
    mark=$(rd_now)
    rd_click 101
    onset=$(rd_wait_sound "$mark" 15) || return 1
    end=$(rd_wait_quiet "$onset" 1.5 60) || return 1
    rd_span "$mark" "$end" | cut -d' ' -f3,4
}

echo "== the settings button opens the Japanese dialog"
before=$(read_line) || fail "no speech at the defaults"
read -r voiced0 peak0 <<<"${before:-0 0}"
for round in 1 2 3; do
    if out=$(at time-press "$TB" "設定" "設定"); then
        figure "click on 設定 to the dialog shown, round $round (s)" "$(echo "$out" | cut -d' ' -f2)"
    else
        fail "round $round: no settings dialog"
    fi
    at press "設定" "ｷｬﾝｾﾙ" || fail "no cancel button"
    sleep 0.5
done

echo "== テスト speaks at once"
at press "$TB" "設定" && at wait-window "設定" 10 || fail "no settings dialog"
check "the path edit shows the stored dictionary" \
    [ "$(at get-text 設定 ユーザー辞書指定)" = "$DIC" ]
rd_wait_quiet "$(rd_now)" 1 10 >/dev/null
mark=$(rd_now)
prep=$(at time-press "設定" "テスト" | cut -d' ' -f1)
if onset=$(rd_wait_sound "$mark" 15); then
    echo "  (onset - mark $(calc "round($onset - $mark, 3)"), tool start $prep, rig offset $RD_REF_START)"
    figure "テスト to first audio (s, the rig's offset and the tool's own start removed)" \
        "$(calc "round($onset - $mark - $prep - $RD_REF_START, 3)")"
    rd_wait_quiet "$onset" 1 30 >/dev/null
else
    fail "テスト was not heard"
fi

echo "== volume 50 and speed 200 are stored and heard"
at set-text 設定 ボリューム 50
at set-text 設定 スピード 200
at press 設定 OK || fail "no OK button"
sleep 0.5
check "volume stored as 50 ($(stored volume))" [ "$(stored volume)" = "dword:00000032" ]
check "speed stored as 200 ($(stored speed))" [ "$(stored speed)" = "dword:000000c8" ]
if after=$(read_line); then
    read -r voiced1 peak1 <<<"$after"
    figure "first line voiced at the defaults / at volume 50, speed 200 (s)" "$voiced0 / $voiced1"
    figure "peak at the defaults / at volume 50 (of 32767)" "$peak0 / $peak1"
    check "faster speech is shorter ($voiced1 s vs $voiced0 s)" \
        python3 -c "import sys; sys.exit(0 if $voiced1 < 0.8 * $voiced0 else 1)"
    check "quieter speech has a lower peak ($peak1 vs $peak0)" \
        python3 -c "import sys; sys.exit(0 if $peak1 < 0.8 * $peak0 else 1)"
else
    fail "no speech after OK"
    voiced1=0
fi

echo "== the dictionary editor adds a row that the next reading speaks"
EDITOR="$(dirname "$PROGRAM")/VW/VT/Miyu/M16/bin/UserDicJpn"
if [ ! -x "$EDITOR" ]; then
    echo "SKIP: no dictionary editor at $EDITOR"
else
    at press "$TB" "設定" && at wait-window "設定" 10 || fail "no settings dialog"
    at press 設定 "ユーザー辞書編集" || fail "no editor button"
    ETITLE="$(basename "$DIC") - ユーザー辞書エディタ"
    if at wait-window "$ETITLE" 20; then
        check "the dialog waits while the editor runs" \
            sh -c "! /usr/bin/python3 '$RIG_ATSPI' states 設定 OK | grep -qx enabled"
        at press "$ETITLE" "追加" || fail "no 追加 in the editor"
        # The new row reaches the edits a moment after the press: type until they show it.
        put() {
            local i
            for i in $(seq 20); do
                at set-text "$ETITLE" "$1" "$2" && [ "$(at get-text "$ETITLE" "$1")" = "$2" ] &&
                    return 0
                sleep 0.25
            done
            return 1
        }
        put "表記" "テスト" || fail "no 表記 cell"
        put "読み" "ながいながいながいながいながいながいことばのれんしゅうです" || fail "no 読み cell"
        at press "$ETITLE" "保存" || fail "no 保存 in the editor"
        sleep 0.5
        check "the editor saved the row" grep -q "テスト" "$DIC"
        # openbox closes the active window on Alt+F4, as a user would.
        ewin=$(xdotool search --name "ユーザー辞書エディタ" | head -1)
        xdotool windowactivate --sync "$ewin" >/dev/null 2>&1
        xdotool key --clearmodifiers alt+F4
        rig_wait 20 sh -c "/usr/bin/python3 '$RIG_ATSPI' states 設定 OK | grep -qx enabled" ||
            fail "the dialog stayed disabled after the editor ended"
        at press 設定 OK || fail "no OK button"
        sleep 0.5
        if longer=$(read_line); then
            read -r voiced2 _ <<<"$longer"
            figure "first line voiced without / with the replacement (s)" "$voiced1 / $voiced2"
            check "the replacement is spoken ($voiced2 s vs $voiced1 s)" \
                python3 -c "import sys; sys.exit(0 if $voiced2 > $voiced1 + 1.0 else 1)"
        else
            fail "no speech with the dictionary"
        fi
    else
        fail "the editor did not open the dictionary"
    fi
fi
if [ -s "$RIG_DIR/messages.log" ]; then
    fail "messages shown: $(cat "$RIG_DIR/messages.log")"
fi

[ "$failures" -eq 0 ] && echo "PASS" || echo "$failures failure(s)"
[ "$failures" -eq 0 ]
