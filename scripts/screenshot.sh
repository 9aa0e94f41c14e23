#!/usr/bin/env bash
# Starts a program of build/bin in a real window on a private Xvfb display and saves a
# screenshot of the whole screen:  scripts/screenshot.sh OUT.png [program] [seconds] [dpi]
set -euo pipefail
out=${1:?usage: scripts/screenshot.sh OUT.png [program] [seconds] [dpi]}
program=${2:-orvessa}
wait_s=${3:-3}
dpi=${4:-96}
cd "$(dirname "$0")/.."
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1400x1000x24 -dpi "$dpi" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
sleep 1
# Qt 6 on xcb takes the logical dpi from Xft.dpi or QT_FONT_DPI, not from Xvfb -dpi.
DISPLAY=$display QT_QPA_PLATFORM=xcb QT_FONT_DPI=$dpi build/bin/"$program" >/tmp/screenshot-"$program".log 2>&1 &
app=$!
sleep "$wait_s"
DISPLAY=$display import -window root "$out"
echo "saved $out"
