#!/usr/bin/env bash
# The selection of a native Wayland window, read by the toolbar running through XWayland, on a
# headless sway session. sway will not run as root, so the whole session runs as nobody on a
# private session bus (tests/app/wayland_selection_session.sh does the work).
set -u
KEEP_RIG=${KEEP_RIG:-}  # set: the session folder is left for a look
PROGRAM=$(readlink -f "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
[ "$(id -u)" = 0 ] || { echo "needs root, to run the session as another user"; exit 1; }

# Without a session bus the command says so in one line and fails, starting nothing.
err=$(env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR=/nonexistent DISPLAY= "$PROGRAM" \
    --read-selection 2>&1); rc=$?
if [ "$rc" != 2 ] || [ "$(wc -l <<<"$err")" != 1 ] || ! grep -q "no D-Bus session bus" <<<"$err"; then
    echo "FAIL: no session bus: want exit 2 and one line, got $rc: $err"; exit 1
fi
DIR=$(mktemp -d /tmp/selvarine-wl.XXXXXX)
echo "session folder $DIR"
[ -n "$KEEP_RIG" ] || trap 'rm -rf "$DIR"' EXIT
chmod 755 "$DIR"
chown 65534:65534 "$DIR"
# The session runs as nobody, who must reach the program and these scripts: a checkout in a
# folder only root can enter (a home) is copied into the session folder first.
if ! setpriv --reuid=65534 --regid=65534 --clear-groups \
        test -x "$PROGRAM" -a -r "$HERE/wayland_selection_session.sh"; then
    mkdir -p "$DIR/tests" &&
        cp -a "$(dirname "$PROGRAM")" "$DIR/bin" &&
        cp -a "$HERE" "$DIR/tests/app" && cp -a "$HERE/../e2e" "$DIR/tests/e2e" &&
        chmod -R a+rX "$DIR/bin" "$DIR/tests" ||
        { echo "FAIL: cannot copy the program where the session's user can run it"; exit 1; }
    PROGRAM="$DIR/bin/$(basename "$PROGRAM")"
    HERE="$DIR/tests/app"
fi
# XWayland's listening sockets go there; only Xvfb makes the folder itself.
[ -d /tmp/.X11-unix ] || install -d -m 1777 /tmp/.X11-unix
timeout -k 5 240 setpriv --reuid=65534 --regid=65534 --clear-groups \
    env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$DIR" RIG_KEEP="$KEEP_RIG" \
    BENCH_ROUNDS="${BENCH_ROUNDS:-1}" dbus-run-session -- \
    bash "$HERE/wayland_selection_session.sh" "$PROGRAM" "$DIR"
