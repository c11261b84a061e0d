#!/usr/bin/env bash
# Reading aloud on the desktop rig: the toolbar, an editor, clicks, and what the recorder
# heard. Source after rig.sh; needs rig_init, X, openbox, PulseAudio and rig_start_recorder.
# It also gives the script check DESCRIPTION COMMAND..., fail, figure and calc, and counts
# failures in $failures.
#
#   rd_docs DIR                    writes ja.txt en.txt zh.txt ko.txt (two lines each)
#   rd_start_editor FILE           mousepad on FILE; sets RD_EDITOR (window) and RD_EDITOR_PID
#   rd_start_toolbar PROGRAM LANG  the toolbar reading in language LANG (7-10); sets RD_TOOLBAR,
#                                  RD_TB_X, RD_TB_Y, RD_TOOLBAR_PID
#   rd_stop PID                    ends a process started here and waits for it
#   rd_click COMMAND               clicks the toolbar button 101, 1015, 1042, 102, 103, 104 or 1
#   rd_now                         the recording position now, in seconds
#   rd_wait_sound FROM SECONDS     prints the first voiced time after FROM (fails on timeout)
#   rd_wait_quiet FROM QUIET SECONDS  waits until QUIET seconds without sound; prints when it
#                                  last stopped
#   rd_span FROM [TO]              "first last voiced_seconds peak"
#   rd_clipboard_empty             true when nobody owns CLIPBOARD
#   rd_wav FROM TO FILE            that part of the recording as a WAV file

RD_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
RD_TITLE="Selvarine 日中英韓"

rd_docs() {
    mkdir -p "$1"
    printf '%s\n%s\n' "こんにちは。これは日本語の読み上げのテストです。" \
        "二行目は全文を読み上げるときだけ読まれます。" >"$1/ja.txt"
    printf '%s\n%s\n' "Hello. This is a short English sample for the reading test." \
        "The second line is read only when the whole text is read." >"$1/en.txt"
    printf '%s\n%s\n' "你好。这是中文朗读的测试。" "第二行只在朗读全文时读出。" >"$1/zh.txt"
    printf '%s\n%s\n' "안녕하세요. 이것은 한국어 읽기 시험입니다." \
        "두 번째 줄은 전체를 읽을 때만 읽습니다." >"$1/ko.txt"
}

rd_start_editor() {
    # mousepad's GLib warnings about its own settings say nothing about us: keep them aside.
    rig_spawn sh -c 'exec mousepad "$1" 2>>"$2"' mousepad "$1" "$RIG_DIR/mousepad.log"
    RD_EDITOR_PID=$RIG_LAST_PID
    local name i
    name=$(basename "$1")
    for (( i = 0; i < 200; i++ )); do
        RD_EDITOR=$(xdotool search --onlyvisible --pid "$RD_EDITOR_PID" --name "$name" 2>/dev/null | head -1)
        [ -n "$RD_EDITOR" ] && break
        sleep 0.1
    done
    [ -n "$RD_EDITOR" ] || { rig_log "editor did not open $1"; return 1; }
    xdotool windowmove "$RD_EDITOR" 40 120 windowsize "$RD_EDITOR" 900 500 2>/dev/null
    sleep 0.5
}

rd_stop() {
    local i
    kill "$1" 2>/dev/null
    for (( i = 0; i < 50; i++ )); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    kill -9 "$1" 2>/dev/null
}

rd_start_toolbar() {
    local program=$1 language=$2 settings="$XDG_CONFIG_HOME/Tarnholm/Selvarine.reg"
    if [ ! -f "$settings" ]; then
        # The first run writes every default; then only the language is changed.
        rig_spawn "$program"
        rig_wait_window "$RD_TITLE" 20 >/dev/null || return 1
        sleep 0.5
        rd_stop "$RIG_LAST_PID"
    fi
    sed -i "s/^\"language\"=dword:.*/\"language\"=dword:$(printf %08x "$language")/" "$settings"
    rig_spawn env SELVARINE_MESSAGES="log:$RIG_DIR/messages.log" "$program"
    RD_TOOLBAR_PID=$RIG_LAST_PID
    RD_TOOLBAR=$(rig_wait_window "$RD_TITLE" 20) || return 1
    sleep 0.5
    local geometry
    geometry=$(xdotool getwindowgeometry "$RD_TOOLBAR" | sed -n 's/ *Position: \([-0-9]*\),\([-0-9]*\).*/\1 \2/p')
    read -r RD_TB_X RD_TB_Y <<<"$geometry"
}

rd_click() {
    local dx
    case $1 in
        101) dx=70 ;; 1015) dx=97 ;; 1042) dx=124 ;; 102) dx=151 ;;
        103) dx=178 ;; 104) dx=205 ;; 1) dx=232 ;; *) return 1 ;;
    esac
    xdotool mousemove $((RD_TB_X + dx)) $((RD_TB_Y + 24)) click 1
}

rd_now() {
    local bytes
    bytes=$(stat -c %s "$RD_REC")
    python3 -c "print(f'{$bytes / 2 / 22050:.3f}')"
}

rd_wait_sound() {
    local from=$1 limit=$2 start t
    start=$SECONDS
    while (( SECONDS - start < limit )); do
        t=$(python3 "$RD_HERE/audio.py" onset "$RD_REC" "$from")
        [ "$t" != "-1" ] && { echo "$t"; return 0; }
        sleep 0.2
    done
    return 1
}

rd_wait_quiet() {
    local from=$1 quiet=$2 limit=$3 start last now
    start=$SECONDS
    while (( SECONDS - start < limit )); do
        sleep 0.3
        last=$(python3 "$RD_HERE/audio.py" quiet_since "$RD_REC" "$from")
        now=$(rd_now)
        if python3 -c "import sys; sys.exit(0 if $now - max($last, $from) >= $quiet else 1)"; then
            echo "$last"
            return 0
        fi
    done
    return 1
}

rd_span() { python3 "$RD_HERE/audio.py" span "$RD_REC" "$@"; }

rd_clipboard_empty() { ! xclip -selection clipboard -o -t TARGETS >/dev/null 2>&1; }

rd_wav() {
    sox -t raw -r 22050 -e signed -b 16 -c 1 "$RD_REC" "$3" trim "$1" "=$2" 2>/dev/null
}

rd_select_first_line() {
    xdotool windowactivate --sync "$RD_EDITOR" >/dev/null 2>&1
    xdotool key --clearmodifiers ctrl+Home shift+End
    sleep 0.3
}

rd_deselect() {
    xdotool windowactivate --sync "$RD_EDITOR" >/dev/null 2>&1
    xdotool key --clearmodifiers ctrl+End
    sleep 0.3
}

# The rig's own offset between a click and its sound in the recording (the recorder and the
# null sink buffer a few hundred ms, with jitter): a low-latency reference stream started and
# killed like speech would be. Sets RD_REF_START and RD_REF_STOP (seconds, mean of rounds) and
# RD_REF_SPREAD (largest deviation seen).
rd_calibrate() {
    local tone="$RIG_DIR/tone.raw" r mark on stop last starts=() stops=() pid
    python3 -c "
import math, sys
sys.stdout.buffer.write(b''.join(int(8000 * math.sin(2 * math.pi * 440 * i / 22050)).to_bytes(2, 'little', signed=True) for i in range(22050 * 2)))" >"$tone"
    for r in 1 2 3; do
        mark=$(rd_now)
        pacat --latency-msec=10 --format=s16le --rate=22050 --channels=1 "$tone" & pid=$!
        on=$(rd_wait_sound "$mark" 5) || { kill -9 "$pid" 2>/dev/null; return 1; }
        sleep 0.8
        stop=$(rd_now)
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        sleep 1.2
        last=$(python3 "$RD_HERE/audio.py" quiet_since "$RD_REC" "$stop")
        starts+=("$(python3 -c "print($on - $mark)")")
        stops+=("$(python3 -c "print($last - $stop)")")
    done
    local joined_starts joined_stops
    joined_starts=$(IFS=,; echo "${starts[*]}")
    joined_stops=$(IFS=,; echo "${stops[*]}")
    read -r RD_REF_START RD_REF_STOP RD_REF_SPREAD <<<"$(python3 -c "
s = [$joined_starts]; t = [$joined_stops]
ms, mt = sum(s) / len(s), sum(t) / len(t)
print(f'{ms:.3f} {mt:.3f} {max(max(abs(x - ms) for x in s), max(abs(x - mt) for x in t)):.3f}')")"
    [ -n "$RD_REF_STOP" ]
}

# A script's checks and figures: failures are counted, figures printed for the notes.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; "$@" || fail "$what"; }
calc() { python3 -c "print($1)"; }
figure() { echo "FIGURE $1: $2"; }
