#!/usr/bin/env bash
# Runs the X11 window-system tests on Xvfb twice: bare, and under openbox.
set -u
BINARY=$1
source "$(dirname "$0")/../e2e/rig.sh"
rig_init
rig_start_x || exit 1
status=0
"$BINARY" || status=1
rig_start_wm || exit 1
SELVARINE_TEST_WM=1 "$BINARY" || status=1
exit $status
