#!/usr/bin/env bash
# Furigana end to end: pages with ruby in Chromium, read-all with Japanese chosen. Chromium's
# plain text puts each reading after its base; the page must be spoken once, as long as the
# same words written in kana, and clearly shorter than that plain text read as it is.
#   ruby_e2e.sh PROGRAM
set -u
PROGRAM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
source "$(dirname "$0")/../e2e/rig.sh"
source "$(dirname "$0")/../e2e/reading_lib.sh"
command -v chromium >/dev/null || { echo "no chromium; skipping"; exit 77; }
rig_start_desktop || exit 1
RD_REC="$RIG_DIR/rec.raw"
rig_start_recorder "$RD_REC"

DOCS="$RIG_DIR/docs"
mkdir -p "$DOCS"
page() {  # page NAME BODY
    printf '<!doctype html><meta charset="utf-8"><title>%s</title><style>body{font-size:40px}</style><p>%s</p>\n' \
        "$1" "$2" >"$DOCS/$1.html"
}
page ruby '<ruby>本気<rp>(</rp><rt>まじ</rt><rp>)</rp></ruby>で<ruby>門<rt>もん</rt>前<rt>ぜん</rt>払<rt>ばら</rt></ruby>いを食う。'
page kana 'まじでもんぜんばらいを食う。'
page inline '本気まじで門もん前ぜん払ばらいを食う。'

rd_start_toolbar "$PROGRAM" 7 || { echo "FAIL: no toolbar"; exit 1; }

# Reads the whole of one page in its own Chromium window: sets SECONDS_VOICED.
read_page() {
    local name=$1 window mark onset end
    SECONDS_VOICED=0
    rig_spawn chromium --no-sandbox --no-first-run --disable-gpu --disable-extensions \
        --user-data-dir="$RIG_DIR/chromium-$name" --window-position=40,160 --window-size=800,400 \
        "file://$DOCS/$name.html"
    local pid=$RIG_LAST_PID i
    for (( i = 0; i < 300; i++ )); do
        window=$(xdotool search --onlyvisible --name "^$name - Chromium\$" 2>/dev/null | head -1)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "chromium did not show $name"; rd_stop "$pid"; return 1; }
    sleep 2
    xdotool windowactivate --sync "$window" >/dev/null 2>&1
    sleep 0.5
    mark=$(rd_now)
    rd_click 1015
    onset=$(rd_wait_sound "$mark" 15) || { echo "$name: no sound"; rd_stop "$pid"; return 1; }
    end=$(rd_wait_quiet "$onset" 1.5 60) || { echo "$name: no end of speech"; rd_stop "$pid"; return 1; }
    rd_stop "$pid"
    SECONDS_VOICED=$(rd_span "$mark" "$end" | cut -d' ' -f3)
}

declare -A voiced
for name in ruby kana inline; do
    echo "== read-all of the $name page"
    if read_page "$name" 2>>"$RIG_DIR/chromium.log"; then
        voiced[$name]=$SECONDS_VOICED
        figure "$name page: voiced seconds" "$SECONDS_VOICED"
    else
        fail "no speech for the $name page"
        voiced[$name]=0
    fi
done
check "ruby page (${voiced[ruby]}s) spoken as its kana (${voiced[kana]}s), within 20%" \
    python3 -c "import sys; r, k = ${voiced[ruby]}, ${voiced[kana]}; sys.exit(0 if k > 0 and abs(r - k) <= 0.2 * k else 1)"
check "ruby page (${voiced[ruby]}s) clearly shorter than its inline plain text (${voiced[inline]}s)" \
    python3 -c "import sys; sys.exit(0 if ${voiced[ruby]} < 0.85 * ${voiced[inline]} else 1)"
check "no message shown" [ ! -s "$RIG_DIR/messages.log" ]
[ -s "$RIG_DIR/messages.log" ] && cat "$RIG_DIR/messages.log"
rd_stop "$RD_TOOLBAR_PID"
echo "failures: $failures"
[ "$failures" -eq 0 ]
