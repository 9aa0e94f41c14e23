#!/bin/sh
# Private PulseAudio daemon with a null sink, for tests that play real audio on a machine
# without a sound card.
#
#   nullsink.sh start [DIR]   start it (DIR defaults to /tmp/orvessa-nullsink)
#   nullsink.sh stop  [DIR]   stop the daemon started in DIR and remove DIR
#
# Clients reach it with PULSE_SERVER=unix:DIR/native. The sink "orvessa_null" paces playback
# in real time (norewinds=1 keeps its clock steady under seeks); the source "orvessa_capture"
# records what the sink plays, because Qt hides *.monitor sources.
set -eu

action=${1:-}
dir=${2:-/tmp/orvessa-nullsink}
socket="$dir/native"
pidfile="$dir/runtime/pid" # written by the daemon itself
marker="$dir/.orvessa-nullsink"

server_answers() {
    pactl --server="unix:$socket" info >/dev/null 2>&1
}

stop_daemon() {
    [ -f "$pidfile" ] || return 0
    pid=$(cat "$pidfile" 2>/dev/null || true)
    case "$pid" in '' | *[!0-9]*) rm -f "$pidfile"; return 0 ;; esac
    # Only the daemon this script started in DIR, and only if it still is a pulseaudio.
    if [ "$(cat "/proc/$pid/comm" 2>/dev/null || true)" = pulseaudio ]; then
        kill "$pid" 2>/dev/null || true
        i=0
        while [ -d "/proc/$pid" ] && [ $i -lt 50 ]; do
            sleep 0.1
            i=$((i + 1))
        done
        [ -d "/proc/$pid" ] && kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$pidfile"
}

# Removes DIR only when this script made it.
remove_dir() {
    if [ -f "$marker" ]; then
        rm -rf "$dir"
    fi
}

case "$action" in
start)
    command -v pulseaudio >/dev/null || { echo "nullsink: pulseaudio is not installed" >&2; exit 1; }
    command -v pactl >/dev/null || { echo "nullsink: pactl is not installed" >&2; exit 1; }
    stop_daemon
    remove_dir
    if [ -e "$dir" ]; then
        echo "nullsink: $dir exists and was not made by this script; not touching it" >&2
        exit 1
    fi
    mkdir -p "$dir/runtime" "$dir/state" "$dir/home"
    : >"$marker"
    chmod 700 "$dir" "$dir/runtime"
    # Its own session, so that the test runner does not wait for it or signal it.
    detach=
    command -v setsid >/dev/null && detach=setsid
    # A private runtime, state and home keep this daemon away from any session daemon and
    # from the user's cookie; --system=no with root works without systemd or dbus.
    HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" PULSE_RUNTIME_PATH="$dir/runtime" \
        PULSE_STATE_PATH="$dir/state" PULSE_SERVER= \
        $detach pulseaudio --system=no --daemonize=no --exit-idle-time=-1 --use-pid-file=yes \
        --disable-shm=yes --log-target="file:$dir/daemon.log" -n \
        --load="module-null-sink sink_name=orvessa_null rate=44100 channels=2 norewinds=1" \
        --load="module-native-protocol-unix socket=$socket auth-anonymous=1" \
        --load="module-remap-source master=orvessa_null.monitor source_name=orvessa_capture" \
        </dev/null >/dev/null 2>&1 &
    i=0
    until server_answers; do
        i=$((i + 1))
        if [ $i -gt 100 ]; then
            echo "nullsink: the daemon did not start; log follows" >&2
            cat "$dir/daemon.log" >&2 2>/dev/null || true
            stop_daemon
            exit 1
        fi
        sleep 0.05
    done
    pactl --server="unix:$socket" set-default-sink orvessa_null
    pactl --server="unix:$socket" set-default-source orvessa_capture
    echo "PULSE_SERVER=unix:$socket"
    ;;
stop)
    stop_daemon
    remove_dir
    ;;
*)
    echo "usage: $0 start|stop [DIR]" >&2
    exit 2
    ;;
esac
