#!/usr/bin/env bash
# The end-to-end desktop rig, as a library to source: a private X display (Xvfb), openbox,
# a PulseAudio daemon with a null sink, a recorder on its monitor, an editor. Everything it
# starts is ended by PID when the sourcing script exits.
#
#   source tests/e2e/rig.sh
#   rig_init                 # private HOME, XDG_* dirs; cleanup trap
#   rig_start_x              # Xvfb on a free display; exports DISPLAY
#   rig_start_wm             # openbox
#   rig_start_weston         # instead of the two above: a headless Wayland compositor
#                            # (weston) with XWayland; exports WAYLAND_DISPLAY and DISPLAY
#   rig_start_pulse          # PulseAudio with the null sink "rec" as default
#   rig_start_recorder FILE  # parec of rec.monitor into FILE (s16le, 22050 Hz, mono)
#   rig_start_atspi          # a session bus and the accessibility bus; then drive windows
#                            # with "$RIG_ATSPI" (tests/e2e/atspi.py) by role and name
#   rig_start_desktop        # rig_init, X, openbox and PulseAudio in one; fails as they do
#   rig_spawn CMD ARGS...    # any other process to be ended at exit; its PID in RIG_LAST_PID
#   rig_wait_window NAME [SECONDS]  # prints the window id of the first window titled NAME

RIG_PIDS=()
RIG_PARENTS=()  # started processes whose own children are ended after them

rig_log() { echo "rig: $*" >&2; }

rig_init() {
    RIG_DIR=$(mktemp -d /tmp/selvarine-rig.XXXXXX)
    export HOME="$RIG_DIR/home" XDG_CONFIG_HOME="$RIG_DIR/config" XDG_RUNTIME_DIR="$RIG_DIR/run"
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 QT_QPA_PLATFORM=xcb
    unset PULSE_SERVER
    trap rig_cleanup EXIT
    trap 'exit 130' INT TERM
}

rig_spawn() {
    "$@" &
    RIG_LAST_PID=$!
    RIG_PIDS+=("$RIG_LAST_PID")
}

rig_wait() {  # rig_wait SECONDS COMMAND...: polls COMMAND until it succeeds
    local limit=$(( $1 * 10 )); shift
    local i
    for (( i = 0; i < limit; i++ )); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    rig_log "timed out waiting for: $*"
    return 1
}

rig_start_x() {
    local fdfile="$RIG_DIR/display"
    : >"$fdfile"
    exec 9>"$fdfile"
    rig_spawn Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp -noreset
    exec 9>&-
    rig_wait 20 test -s "$fdfile" || return 1
    export DISPLAY=":$(head -1 "$fdfile" | tr -d '[:space:]')"
    rig_wait 20 xdpyinfo || return 1
    rig_log "display $DISPLAY"
}

rig_start_wm() {
    rig_spawn openbox --sm-disable
    rig_wait 30 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || return 1
    # openbox announces itself before it manages windows, and on a loaded machine the gap
    # is seconds: wait until a probe window is really managed.
    xmessage -timeout 60 rig-probe >/dev/null 2>&1 &
    local probe=$!
    rig_wait 30 sh -c 'xprop -root _NET_CLIENT_LIST | grep -q "0x"'
    local ok=$?
    kill "$probe" 2>/dev/null; wait "$probe" 2>/dev/null || true
    rig_wait 10 sh -c '! xprop -root _NET_CLIENT_LIST | grep -q "0x"'
    return $ok
}

rig_start_weston() {
    local log="$RIG_DIR/weston.log"
    # XWayland's listening sockets go there; Xvfb makes the folder itself, weston does not.
    [ -d /tmp/.X11-unix ] || install -d -m 1777 /tmp/.X11-unix
    # The socket lives in the rig's own XDG_RUNTIME_DIR; the X display number is the first
    # free one, claimed through its lock file like Xvfb's.
    rig_spawn weston --backend=headless-backend.so --xwayland --no-config --idle-time=0 \
        --socket=rig-wayland --log="$log"
    RIG_PARENTS+=("$RIG_LAST_PID")
    rig_wait 20 grep -q 'xserver listening on display' "$log" || return 1
    export WAYLAND_DISPLAY=rig-wayland
    DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$log" | head -1)
    export DISPLAY
    rig_log "Wayland display $WAYLAND_DISPLAY, XWayland on $DISPLAY"
}

rig_start_pulse() {
    rig_spawn pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
        -L module-native-protocol-unix -L "module-null-sink sink_name=rec"
    rig_wait 20 pactl info || return 1
    pactl set-default-sink rec
}

rig_start_desktop() {
    rig_init
    rig_start_x && rig_start_wm && rig_start_pulse
}

RIG_ATSPI="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/atspi.py"

rig_start_atspi() {
    # A private session bus: the accessibility bus is found through it.
    local out
    out=$(dbus-launch --sh-syntax) || return 1
    eval "$out"
    RIG_PIDS+=("$DBUS_SESSION_BUS_PID")
    rig_spawn /usr/libexec/at-spi-bus-launcher --launch-immediately
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    rig_wait 20 /usr/bin/python3 -c 'import pyatspi; pyatspi.Registry.getDesktop(0).childCount' ||
        return 1
}

rig_start_recorder() {
    rig_spawn sh -c 'exec parec -d rec.monitor --latency-msec=10 --format=s16le --rate=22050 \
        --channels=1 >"$1"' rig-recorder "$1"
    # Until a low-latency client listens, the null sink renders about 2 s ahead, so a new
    # stream starts up to 1.7 s late and a fresh recording misses its first 2 s.
    sleep 3
}

rig_wait_window() {
    local name=$1 seconds=${2:-20} id i
    for (( i = 0; i < seconds * 10; i++ )); do
        id=$(xdotool search --name "^$name\$" 2>/dev/null | head -1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

rig_gone() { ! kill -0 "$1" 2>/dev/null || [[ $(ps -o stat= -p "$1") == Z* ]]; }

rig_cleanup() {
    # Runs as an exit trap, also under `set -e`: nothing here may stop it half way.
    local status=$? i pid children=()
    set +e
    # weston's shell, keyboard and XWayland, started by weston, as they are now.
    for pid in "${RIG_PARENTS[@]}"; do children+=($(pgrep -P "$pid")); done
    for (( i = ${#RIG_PIDS[@]} - 1; i >= 0; i-- )); do
        kill "${RIG_PIDS[i]}" 2>/dev/null
    done
    for pid in "${RIG_PIDS[@]}"; do
        for i in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    # Not ours to reap: once ended they may stay zombies of init, which counts as gone.
    for pid in "${children[@]}"; do
        kill "$pid" 2>/dev/null
        for i in $(seq 50); do rig_gone "$pid" && break; sleep 0.1; done
        rig_gone "$pid" || kill -9 "$pid" 2>/dev/null
    done
    RIG_PIDS=() RIG_PARENTS=()
    [ -n "${RIG_KEEP:-}" ] || rm -rf "$RIG_DIR"
    return $status
}
