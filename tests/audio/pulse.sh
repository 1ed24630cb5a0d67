#!/bin/sh
# A private PulseAudio daemon with a 31250 Hz mono null sink, for the audio tests.
#   pulse.sh start <dir>   starts it; clients reach it with PULSE_SERVER=unix:<dir>/native
#   pulse.sh stop <dir>    stops it by its pid
# Everything the daemon writes stays in <dir>.
set -eu

cmd=${1:?usage: pulse.sh start|stop <dir>}
D=${2:?usage: pulse.sh start|stop <dir>}

pulse_env() {
    XDG_RUNTIME_DIR=$D/xdg
    PULSE_RUNTIME_PATH=$D/xdg/pulse
    PULSE_STATE_PATH=$D/state
    PULSE_CONFIG_PATH=$D/config
    PULSE_COOKIE=$D/config/cookie
    PULSE_CLIENTCONFIG=$D/client.conf
    PULSE_SERVER=unix:$D/native
    export XDG_RUNTIME_DIR PULSE_RUNTIME_PATH PULSE_STATE_PATH PULSE_CONFIG_PATH PULSE_COOKIE \
        PULSE_CLIENTCONFIG PULSE_SERVER
}

stop_daemon() {
    pidfile=$D/xdg/pulse/pid
    [ -f "$pidfile" ] || return 0
    pid=$(cat "$pidfile")
    # Only our own daemon: a pid that is not a number above 1, or a process that is not a
    # pulseaudio daemon (the pid file is stale and its number reused), is left alone.
    case $pid in
    '' | *[!0-9]* | 0 | 1) pid= ;;
    esac
    if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" != pulseaudio ]; then
        pid=
    fi
    if [ -n "$pid" ] && kill "$pid" 2>/dev/null; then
        i=0
        while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do
            sleep 0.1
            i=$((i + 1))
        done
        kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$pidfile"
}

case $cmd in
start)
    stop_daemon
    rm -rf "$D/xdg" "$D/state" "$D/native"
    mkdir -p "$D/xdg" "$D/state" "$D/config"
    chmod 700 "$D/xdg"
    printf 'autospawn = no\n' >"$D/client.conf"
    pulse_env
    pulseaudio --daemonize=yes --system=false -n --exit-idle-time=-1 --realtime=no \
        --high-priority=no --log-target=file:"$D/pulse.log" \
        --load="module-native-protocol-unix auth-anonymous=1 auth-cookie-enabled=0 socket=$D/native" \
        --load="module-null-sink sink_name=null rate=31250 channels=1 format=s16le norewinds=1"
    i=0
    until pactl info >/dev/null 2>&1; do
        i=$((i + 1))
        if [ $i -gt 100 ]; then
            echo "pulse.sh: the daemon did not answer; see $D/pulse.log" >&2
            exit 1
        fi
        sleep 0.05
    done
    pactl set-default-sink null
    echo "pulse.sh: daemon $(cat "$D/xdg/pulse/pid") on $PULSE_SERVER"
    ;;
stop)
    stop_daemon
    echo "pulse.sh: stopped"
    ;;
*)
    echo "usage: pulse.sh start|stop <dir>" >&2
    exit 2
    ;;
esac
