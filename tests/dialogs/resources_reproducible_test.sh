#!/usr/bin/env bash
# Runs the asset generator into a scratch folder and compares every picture it writes with
# the committed one, byte for byte.
#
#   resources_reproducible_test.sh PATH/TO/skin-generator RESOURCE_DIR
set -u
GENERATOR=$1 RESOURCES=$2
OUT=$(mktemp -d /tmp/selvarine-assets.XXXXXX)
trap 'rm -rf "$OUT"' EXIT
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$OUT "$GENERATOR" "$OUT" || { echo "FAIL: generator"; exit 1; }
failures=0 count=0
for drawn in "$OUT"/*; do
    name=$(basename "$drawn")
    count=$((count + 1))
    if ! cmp -s "$drawn" "$RESOURCES/$name"; then
        echo "FAIL: $name differs from the committed one"
        failures=$((failures + 1))
    fi
done
[ "$count" -ge 9 ] || { echo "FAIL: only $count files drawn"; exit 1; }
echo "$count files drawn; $((count - failures)) alike, $failures differ"
[ "$failures" -eq 0 ]
