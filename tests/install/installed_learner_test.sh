#!/usr/bin/env bash
# The package as a learner gets it: built by CPack, unpacked into a read-only program
# directory, started from its PATH link as an ordinary user on a private X display. The
# learner picks lesson 3 and a display option, closes the window, starts again and closes
# again. What they chose must come back from their own data folder, nothing may be written
# into the shipped tree, and no close may complain.
#   installed_learner_test.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: installed_learner_test.sh BUILD_DIR}
for tool in cpack dpkg-deb setpriv Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root to run the program as another user"; exit 77; }

work=$(mktemp -d /tmp/orvessa-installed.XXXXXX)
xvfb=""
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/pkg/*.deb)
root="$work/root"
mkdir "$root"
dpkg-deb -x "$deb" "$root"
chmod -R a-w "$root/usr/lib/orvessa"
programs="$root/usr/lib/orvessa"

# The desktop's view of the package: a valid menu entry that starts the program on the PATH,
# its icon in the theme, valid AppStream data.
share="$root/usr/share"
desktop="$share/applications/orvessa.desktop"
command -v desktop-file-validate >/dev/null && desktop-file-validate "$desktop"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$root/usr/bin/$exec_line" ] || { echo "the menu entry starts \"$exec_line\", not on the PATH"; exit 1; }
[ -f "$share/icons/hicolor/scalable/apps/$icon.svg" ] || { echo "no icon \"$icon\" in the theme"; exit 1; }
mini_desktop="$share/applications/orvessa-mini.desktop"
command -v desktop-file-validate >/dev/null && desktop-file-validate "$mini_desktop"
mini_exec=$(sed -n 's/^Exec=//p' "$mini_desktop")
[ -x "$root/usr/bin/$mini_exec" ] || { echo "the strip's entry starts \"$mini_exec\", not on the PATH"; exit 1; }
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$share/metainfo/org.orvessa.Orvessa.metainfo.xml"
fi
sums() { (cd "$programs" && find . -print0 | sort -z | xargs -0 ls -ld --time-style=+%s | awk '{$6=""; print}'; find . -type f -print0 | sort -z | xargs -0 sha256sum); }
before=$(sums)

home="$work/home"
mkdir -m 700 "$home"
chown 65534:65534 "$home"
own="$home/.local/share/orvessa/SETTING/set.dat"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

# Starts the installed program as nobody and waits for its window; sets $app and $window.
start() {
    setpriv --reuid=65534 --regid=65534 --clear-groups \
        env -i HOME="$home" DISPLAY="$DISPLAY" PATH="$root/usr/bin:/usr/bin:/bin" \
        QT_QPA_PLATFORM=xcb QT_FONT_DPI=96 PULSE_SERVER=unix:/nonexistent \
        orvessa >>"$work/orvessa.log" 2>&1 &
    app=$!
    window=""
    for _ in $(seq 100); do
        window=$(xdotool search --onlyvisible --name '^Orvessa$' 2>/dev/null | head -n1) || true
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "the window never showed"; cat "$work/orvessa.log"; exit 1; }
    sleep 1 # the first lesson loads after the window shows
}

# Closes the window with its own close button and waits for the program to end.
close_window() {
    xdotool mousemove --window "$window" 763 15 click 1
    for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$app" 2>/dev/null; then
        echo "the close button did not end the program"; exit 1
    fi
    wait "$app" || { echo "the program ended with an error"; cat "$work/orvessa.log"; exit 1; }
    app=""
}

# Field n of the record in the learner's settings file (the RTF's plain text).
field() {
    "$programs/orvessa-content" settings "$own" --program orvessa | sed -n "${1}p" | cut -d' ' -f2-
}

start
xdotool mousemove --window "$window" 56 221 click 1 # the list entry 第3课
sleep 0.5
xdotool mousemove --window "$window" 280 440 click 1 # the check box 显示中文
sleep 0.5
close_window
[ -f "$own" ] || { echo "no settings in the learner's data folder"; find "$home"; exit 1; }
[ "$(field 1)" = 2 ] || { echo "lesson index $(field 1), expected 2"; exit 1; }
[ "$(field 3)" = 0 ] || { echo "Chinese hint $(field 3), expected 0"; exit 1; }

# The next day: the remembered lesson is read back from the learner's copy and kept.
start
close_window
[ "$(field 1)" = 2 ] || { echo "after a restart lesson index $(field 1), expected 2"; exit 1; }
[ "$(field 3)" = 0 ] || { echo "after a restart Chinese hint $(field 3), expected 0"; exit 1; }
[ "$(field 10)" = 英语900句 ] || { echo "book $(field 10)"; exit 1; }

# The strip, as the same learner: it shows above the other windows, and a SIGTERM from the
# desktop saves its place in the learner's folder.
setpriv --reuid=65534 --regid=65534 --clear-groups \
    env -i HOME="$home" DISPLAY="$DISPLAY" PATH="$root/usr/bin:/usr/bin:/bin" \
    QT_QPA_PLATFORM=xcb QT_FONT_DPI=96 PULSE_SERVER=unix:/nonexistent \
    "$mini_exec" >>"$work/orvessa.log" 2>&1 &
app=$!
strip=""
for _ in $(seq 100); do
    strip=$(xdotool search --onlyvisible --class '^orvessa-mini$' 2>/dev/null | head -n1) || true
    [ -n "$strip" ] && break
    sleep 0.1
done
[ -n "$strip" ] || { echo "the strip never showed"; cat "$work/orvessa.log"; exit 1; }
# Top-most for the window manager, at left 90 and top 60 twips (6 and 4 pixels at 96 dpi).
xprop -id "$strip" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE ||
    { echo "the strip is not marked always on top:"; xprop -id "$strip" _NET_WM_STATE; exit 1; }
place=$(xdotool getwindowgeometry "$strip" | sed -n 's/^ *Position: \([0-9]*,[0-9]*\).*/\1/p')
[ "$place" = 6,4 ] || { echo "the strip is at $place, not 6,4"; exit 1; }
sleep 1
kill -TERM "$app"
wait "$app" || { echo "the strip ended with an error"; cat "$work/orvessa.log"; exit 1; }
[ -f "$home/.local/share/orvessa/SETTING/mnset.dat" ] || { echo "the strip saved nothing"; exit 1; }

if grep -q 'SETTING\|保存' "$work/orvessa.log"; then
    echo "the program complained:"; cat "$work/orvessa.log"; exit 1
fi
after=$(sums)
if [ "$before" != "$after" ]; then
    echo "the shipped tree changed:"; diff <(echo "$before") <(echo "$after") || true; exit 1
fi
echo "ok: the learner's choices live in $own and the shipped tree is unchanged"
