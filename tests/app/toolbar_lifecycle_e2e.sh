#!/usr/bin/env bash
# The real program on a real X server with a window manager: first run, saved position,
# Escape, and the single-instance rule with simultaneous and killed copies.
set -u
PROGRAM=$1
source "$(dirname "$0")/../e2e/rig.sh"
rig_init
rig_start_x || exit 1
rig_start_wm || exit 1

TITLE="Selvarine 日中英韓"
SETTINGS="$XDG_CONFIG_HOME/Tarnholm/Selvarine.reg"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; "$@" || fail "$what"; }

toolbars() { xdotool search --onlyvisible --name "^$TITLE\$" 2>/dev/null | wc -l; }
alive() { kill -0 "$1" 2>/dev/null; }
ended_within() {  # ended_within SECONDS PID
    local i
    for (( i = 0; i < $1 * 10; i++ )); do alive "$2" || return 0; sleep 0.1; done
    return 1
}
position() { xdotool getwindowgeometry "$1" | sed -n 's/ *Position: \([-0-9]*,[-0-9]*\).*/\1/p'; }
stored() {  # stored NAME: the value of NAME under the top key, as a decimal
    local hex
    hex=$(grep -i -m1 "^\"$1\"=dword:" "$SETTINGS" | sed 's/.*dword://')
    [ -n "$hex" ] && echo $(( 16#$hex ))
}

echo "== first run"
rig_spawn "$PROGRAM"; first=$RIG_LAST_PID
id=$(rig_wait_window "$TITLE" 20) || { fail "no toolbar window"; exit 1; }
sleep 0.5
check "shown at (200, 200), got $(position "$id")" [ "$(position "$id")" = "200,200" ]
check "kept on top" sh -c "xprop -id $id _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE"
check "248 x 38" sh -c "xdotool getwindowgeometry $id | grep -q 'Geometry: 248x38'"
check "defaults written" [ "$(stored language)" = 7 ] && [ "$(stored X)" = 200 ] && [ "$(stored Y)" = 200 ]
check "settings file is private" [ "$(stat -c %a "$SETTINGS")" = 600 ]
check "dictionary path defaults into the program directory" \
    grep -q "\"UserDicPath\"=\"$(cd "$(dirname "$PROGRAM")" && pwd)/VW/VT/Miyu/M16/data-common/userdict/userdict_jpn.csv\"" "$SETTINGS"

echo "== a second copy ends at once, without a window"
start=$(date +%s%N)
"$PROGRAM"; rc=$?
took=$(( ($(date +%s%N) - start) / 1000000 ))
check "second copy exit status 0, got $rc" [ "$rc" = 0 ]
check "second copy took ${took} ms" [ "$took" -lt 5000 ]
check "still exactly one toolbar" [ "$(toolbars)" = 1 ]
check "first copy untouched" alive "$first"

echo "== moving saves the position; Escape ends; the next start comes back there"
xdotool windowmove "$id" 321 45
for i in $(seq 50); do [ "$(stored X)" = 321 ] && break; sleep 0.1; done
check "X saved after a move, got $(stored X)" [ "$(stored X)" = 321 ]
check "Y saved after a move, got $(stored Y)" [ "$(stored Y)" = 45 ]
xdotool windowactivate --sync "$id" >/dev/null 2>&1
xdotool key Escape
check "Escape ends the program" ended_within 10 "$first"
rig_spawn "$PROGRAM"; second=$RIG_LAST_PID
id=$(rig_wait_window "$TITLE" 20) || fail "no toolbar on the second run"
sleep 0.5
check "restored at (321, 45), got $(position "$id")" [ "$(position "$id")" = "321,45" ]
kill "$second"; ended_within 10 "$second"

echo "== two copies started at the same moment leave one toolbar"
for round in 1 2 3; do
    rig_spawn "$PROGRAM"; a=$RIG_LAST_PID
    rig_spawn "$PROGRAM"; b=$RIG_LAST_PID
    rig_wait_window "$TITLE" 20 >/dev/null
    sleep 1.5
    n=0; alive "$a" && n=$((n + 1)); alive "$b" && n=$((n + 1))
    check "round $round: one copy left running, got $n" [ "$n" = 1 ]
    check "round $round: one toolbar, got $(toolbars)" [ "$(toolbars)" = 1 ]
    # A copy killed outright must not block the next start.
    kill -9 "$a" "$b" 2>/dev/null
    ended_within 5 "$a"; ended_within 5 "$b"
    rig_spawn "$PROGRAM"; c=$RIG_LAST_PID
    rig_wait_window "$TITLE" 20 >/dev/null || fail "round $round: no start after a killed copy"
    kill "$c"; ended_within 10 "$c" || fail "round $round: SIGTERM does not end the program"
done

echo "$(( failures == 0 ? 1 : 0 )) passed, $failures failed"
[ "$failures" = 0 ]
