#!/usr/bin/env bash
# Installs the Debian 12 packages Orvessa needs to build, run and test. Only what is
# missing is installed; nothing happens when everything is there.
#   scripts/install-deps.sh            build + run
#   scripts/install-deps.sh --test     also what the tests, fuzzers and benchmarks need
#   scripts/install-deps.sh --content  also what the demo-content generator needs
#   scripts/install-deps.sh --eval     also what the feedback evaluation (bench/feedback_eval) needs
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-multimedia-dev qt6-svg-dev libqt6svg6 libmpv-dev
    libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libebur128-dev
    libpocketsphinx-dev libsphinxbase-dev pocketsphinx-en-us
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav
    fonts-noto-cjk fonts-liberation2
)
for arg in "$@"; do
    case "$arg" in
    --test) packages+=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
                       pulseaudio pulseaudio-utils xvfb xauth ffmpeg
                       xdotool x11-utils appstream desktop-file-utils
                       python3-pyatspi at-spi2-core dbus dbus-daemon gdb playerctl
                       espeak-ng sox pocketsphinx-testdata alsa-utils imagemagick ccache
                       festival festvox-us-slt-hts flite) ;;
    --content) packages+=(festival festvox-us-slt-hts flite sox libsox-fmt-mp3 lame ffmpeg
                          imagemagick) ;;
    --eval) packages+=(python3 espeak-ng flite festival festvox-us-slt-hts festvox-kallpc16k
                       sox ffmpeg) ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
