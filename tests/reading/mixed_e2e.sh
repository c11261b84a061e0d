#!/usr/bin/env bash
# Mixed text end to end: with Japanese chosen, a Japanese sentence quoting a Korean phrase is
# selected in the editor and read, the Korean phrase by the Korean voice. The recording must
# be one continuous utterance that the phrase lengthens, and the settings file untouched.
#   mixed_e2e.sh PROGRAM
set -u
PROGRAM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
source "$(dirname "$0")/../e2e/rig.sh"
source "$(dirname "$0")/../e2e/reading_lib.sh"
rig_start_desktop || exit 1
RD_REC="$RIG_DIR/rec.raw"
rig_start_recorder "$RD_REC"

DOCS="$RIG_DIR/docs"
mkdir -p "$DOCS"
# The same sentence without its Korean phrase, for comparison.
printf '%s\n%s\n' "ソウルの明洞で안녕하세요、반갑습니다と言われた。" "ソウルの明洞でと言われた。" \
    >"$DOCS/mixed.txt"
rd_start_editor "$DOCS/mixed.txt" || exit 1
rd_start_toolbar "$PROGRAM" 7 || { echo "FAIL: no toolbar"; exit 1; }
SETTINGS="$XDG_CONFIG_HOME/Tarnholm/Selvarine.reg"
before=$(sha256sum <"$SETTINGS")

# Reads the editor's current selection: prints "onset end voiced longest_gap" or fails.
read_selection() {
    local mark onset end
    mark=$(rd_now)
    rd_click 101
    onset=$(rd_wait_sound "$mark" 15) || return 1
    end=$(rd_wait_quiet "$onset" 1.5 60) || return 1
    echo "$onset $end $(rd_span "$onset" "$end" | cut -d' ' -f3)" \
        "$(python3 "$RD_HERE/audio.py" longest_gap "$RD_REC" "$onset" "$end")"
}

echo "== a Japanese sentence with a Korean phrase, Japanese chosen"
rd_select_first_line
if result=$(read_selection); then
    read -r onset end voiced gap <<<"$result"
    figure "mixed sentence: voiced seconds, longest silence inside (s)" "$voiced, $gap"
    check "speech ${voiced}s, expected 2-12 s" python3 -c "import sys; sys.exit(0 if 2 <= $voiced <= 12 else 1)"
    # Clause pauses are 0.2-0.3 s; a run that waited for its voice or fell silent would show.
    check "continuous: longest silence ${gap}s, expected under 0.6 s" \
        python3 -c "import sys; sys.exit(0 if $gap < 0.6 else 1)"
else
    fail "no speech for the mixed sentence"
    voiced=0
fi

echo "== the same sentence without the Korean phrase"
xdotool windowactivate --sync "$RD_EDITOR" >/dev/null 2>&1
xdotool key --clearmodifiers ctrl+Home Down Home shift+End
sleep 0.3
if result=$(read_selection); then
    read -r _ _ plain _ <<<"$result"
    figure "without the Korean phrase: voiced seconds" "$plain"
    check "the Korean phrase was spoken (${voiced}s against ${plain}s)" \
        python3 -c "import sys; sys.exit(0 if $voiced >= $plain + 0.8 else 1)"
else
    fail "no speech for the Japanese sentence"
fi

check "settings file untouched by reading" [ "$(sha256sum <"$SETTINGS")" = "$before" ]
check "no message shown" [ ! -s "$RIG_DIR/messages.log" ]
[ -s "$RIG_DIR/messages.log" ] && cat "$RIG_DIR/messages.log"
rd_stop "$RD_TOOLBAR_PID"
echo "failures: $failures"
[ "$failures" -eq 0 ]
