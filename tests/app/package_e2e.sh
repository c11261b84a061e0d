#!/usr/bin/env bash
# The Debian package as a user gets it: built by cpack from the build tree into a folder of
# its own, checked by lintian, unpacked with dpkg-deb, and the unpacked program run on the
# desktop rig: --help and --version without a display (the About box takes the same version
# header, which its widget test checks), the toolbar shown, one Japanese reading spoken by
# the packaged voice. The AppStream file and the manual page must validate
# and render cleanly.
#   package_e2e.sh BUILD_DIR
set -u
BUILD=$(cd "$1" && pwd)
source "$(dirname "$0")/../e2e/rig.sh"
source "$(dirname "$0")/../e2e/reading_lib.sh"
rig_init
OUT="$RIG_DIR/package"
ROOT="$RIG_DIR/root"

echo "== the package"
# cpack stages the install under -B, so this run shares no folder with another test.
if ! cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$OUT" >"$RIG_DIR/cpack.log" 2>&1; then
    cat "$RIG_DIR/cpack.log"; echo "FAIL: cpack"; exit 1
fi
DEB=$(ls "$OUT"/selvarine_*.deb 2>/dev/null | head -1)
[ -n "$DEB" ] || { echo "FAIL: no selvarine_*.deb in $OUT"; exit 1; }
field() { dpkg-deb -f "$DEB" "$1"; }
VERSION=$(field Version)
check "named selvarine_<version>_<arch>.deb: $(basename "$DEB")" \
    [ "$(basename "$DEB")" = "selvarine_${VERSION}_$(dpkg --print-architecture).deb" ]
depends=$(field Depends)
echo "Depends: $depends"
for p in libqt6widgets6 libespeak-ng1 libflite1 libpulse0 open-jtalk open-jtalk-mecab-naist-jdic \
         espeak-ng-data; do
    check "depends on $p" grep -qE "(^|, )$p( |,|$)" <<<"$depends"
done
check "no build tools among the dependencies" \
    sh -c '! grep -qE "(-dev|cmake|g\+\+|ninja)( |,|$)" <<EOT
$1
EOT' sh "$depends"

lintian --fail-on error,warning --tag-display-limit 0 "$DEB" >"$RIG_DIR/lintian.log" 2>&1
status=$?
cat "$RIG_DIR/lintian.log"
check "lintian finds no error or warning" [ "$status" -eq 0 ]

dpkg-deb -x "$DEB" "$ROOT" || { echo "FAIL: dpkg-deb -x"; exit 1; }
PROGRAM="$ROOT/usr/bin/selvarine"
DIR="$ROOT/usr/lib/selvarine"
for f in "$DIR/selvarine" "$DIR/vt_jpn.so" "$DIR/vt_eng.so" "$DIR/vt_chi.so" "$DIR/vt_kor.so" \
         "$DIR/VW/VT/Miyu/M16/mei_normal.htsvoice" "$DIR/VW/VT/Miyu/M16/bin/UserDicJpn" \
         "$ROOT/usr/share/applications/selvarine.desktop" \
         "$ROOT/usr/share/icons/hicolor/48x48/apps/selvarine.png" \
         "$ROOT/usr/share/man/man1/selvarine.1.gz" \
         "$ROOT/usr/share/doc/selvarine/VOICES.txt" "$ROOT/usr/share/doc/selvarine/copyright"; do
    check "installs ${f#"$ROOT"}" test -s "$f"
done
check "the Japanese voice's CC-BY-3.0 credit" \
    grep -q "CC-BY-3.0" "$ROOT/usr/share/doc/selvarine/copyright"
check "bin/selvarine leads to the program directory" \
    [ "$(readlink -f "$PROGRAM")" = "$(readlink -f "$DIR/selvarine")" ]
check "the desktop entry starts /usr/bin/selvarine" \
    grep -qx 'Exec="/usr/bin/selvarine"' "$ROOT/usr/share/applications/selvarine.desktop"

echo "== the AppStream metadata and the manual page"
METAINFO=$(ls "$ROOT"/usr/share/metainfo/*.metainfo.xml 2>/dev/null | head -1)
check "one metainfo file" test -n "$METAINFO"
appstreamcli validate --no-net --explain "$METAINFO" || fail "appstreamcli validate"
appstreamcli validate-tree --no-net "$ROOT" || fail "appstreamcli validate-tree"
check "metainfo names the desktop entry" \
    grep -q '<launchable type="desktop-id">selvarine.desktop</launchable>' "$METAINFO"
check "metainfo's release is the package's version" \
    grep -q "<release version=\"$VERSION\"" "$METAINFO"
zcat "$ROOT/usr/share/man/man1/selvarine.1.gz" >"$RIG_DIR/selvarine.1"
groff -ww -man -Tutf8 "$RIG_DIR/selvarine.1" 2>"$RIG_DIR/man.err" | sed 's/.\x08//g' >"$RIG_DIR/man.txt"
check "groff -ww renders the manual page without a warning: $(cat "$RIG_DIR/man.err")" \
    [ ! -s "$RIG_DIR/man.err" ]
# Every option --help lists, so that an option added to the program's table is documented.
options=$(env -u DISPLAY -u WAYLAND_DISPLAY "$ROOT/usr/bin/selvarine" --help | sed -n 's/^  \(--[a-z-]*\).*/\1/p')
check "--help lists options" test -n "$options"
for word in $options SELVARINE_AUDIO SELVARINE_MESSAGES SELVARINE_VERBOSE Selvarine.reg; do
    check "the manual page documents $word" grep -q -- "$word" "$RIG_DIR/man.txt"
done

echo "== the command line, with no display"
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY "$PROGRAM" "$@"; }
check "--version says the package's version" [ "$(nodisplay --version)" = "selvarine $VERSION" ]
check "--help lists --version" sh -c 'env -u DISPLAY -u WAYLAND_DISPLAY "$1" --help | grep -q -- --version' sh "$PROGRAM"
nodisplay --no-such-option >/dev/null 2>"$RIG_DIR/refused.err"
status=$?
check "an unknown option ends with status 2 (got $status)" [ "$status" -eq 2 ]
check "and names the option" grep -q -- "--no-such-option" "$RIG_DIR/refused.err"

echo "== the unpacked program reads aloud"
rig_start_x && rig_start_wm && rig_start_pulse || { echo "FAIL: the desktop rig"; exit 1; }
RD_REC="$RIG_DIR/rec.raw"
rig_start_recorder "$RD_REC"
rd_docs "$RIG_DIR/docs"
rd_start_editor "$RIG_DIR/docs/ja.txt" || { echo "FAIL: no editor"; exit 1; }
SELVARINE_VERBOSE=1 rd_start_toolbar "$PROGRAM" 7 2>"$RIG_DIR/toolbar.err" ||
    { cat "$RIG_DIR/toolbar.err"; echo "FAIL: no toolbar"; exit 1; }
rd_select_first_line
mark=$(rd_now)
rd_click 101
if onset=$(rd_wait_sound "$mark" 20) && end=$(rd_wait_quiet "$onset" 1.5 60); then
    voiced=$(rd_span "$onset" "$end" | cut -d' ' -f3)
    figure "first Japanese line from the package: voiced seconds" "$voiced"
    check "speech ${voiced}s, expected 2-12 s" \
        python3 -c "import sys; sys.exit(0 if 2 <= $voiced <= 12 else 1)"
else
    fail "no speech from the unpacked program"
fi
sed -n '/speaks with/p' "$RIG_DIR/toolbar.err"
check "Japanese speaks with the packaged HTS voice, not the fallback" \
    sh -c 'grep "Miyu" "$1" | grep "speaks with" | grep -qi "open jtalk"' sh "$RIG_DIR/toolbar.err"
check "no message shown" [ ! -s "$RIG_DIR/messages.log" ]
rd_stop "$RD_TOOLBAR_PID"
echo "failures: $failures"
[ "$failures" -eq 0 ]
