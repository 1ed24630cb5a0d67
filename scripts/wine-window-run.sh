#!/usr/bin/env bash
# Runs a Windows program that opens windows under wine on a virtual display of its own (Xvfb),
# in a wine prefix of its own beside the build's ($BRELKA_WINEPREFIX-window), so the headless
# prefix of the other tests is left as it is, with a private PulseAudio daemon playing into a
# null sink as wine's sound device (its monitor is the recording device, for the tests to hear
# what was played), at the display scale $BRELKA_LOGPIXELS (pixels per inch) when set. Ends the
# prefix's wine server and the daemon before returning, so nothing started here outlives the
# test.
root=$(cd "$(dirname "$0")/.." && pwd)
base=${BRELKA_WINEPREFIX:-$root/build-win/wineprefix}
export WINEPREFIX=$base-window
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export LC_ALL=C.UTF-8
unset WAYLAND_DISPLAY
# The screen grows with the display's scale, so that the system's dialogs fit on it.
scale=${BRELKA_LOGPIXELS:-96}
screen="$((1024 * scale / 96))x$((768 * scale / 96))"
# The sound server, before any wine process: a program started without one never sees it.
start_pulse() {
  local d=$WINEPREFIX-pulse
  rm -rf "$d"
  mkdir -p "$d/xdg" "$d/state" "$d/config"
  chmod 700 "$d/xdg"
  export XDG_RUNTIME_DIR=$d/xdg PULSE_RUNTIME_PATH=$d/xdg/pulse PULSE_STATE_PATH=$d/state \
    PULSE_CONFIG_PATH=$d/config PULSE_COOKIE=$d/config/cookie PULSE_SERVER=unix:$d/native
  command -v pulseaudio >/dev/null || return 0
  pulseaudio --daemonize=yes --system=false -n --exit-idle-time=-1 --realtime=no \
    --high-priority=no --log-target=file:"$d/pulse.log" \
    --load="module-native-protocol-unix auth-anonymous=1 auth-cookie-enabled=0 socket=$d/native" \
    --load="module-null-sink sink_name=null rate=31250 channels=1 format=s16le norewinds=1" \
    </dev/null >/dev/null 2>&1 && pactl set-default-sink null >/dev/null 2>&1 &&
    pactl set-default-source null.monitor >/dev/null 2>&1
  return 0
}
stop_pulse() {
  local pid
  pid=$(cat "$WINEPREFIX-pulse/xdg/pulse/pid" 2>/dev/null) && kill "$pid" 2>/dev/null
  return 0
}
run() {
  start_pulse
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 </dev/null
  fi
  # The display's scale ($BRELKA_LOGPIXELS pixels per inch), set before any program starts.
  if [ -n "${BRELKA_LOGPIXELS:-}" ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
      /d "$BRELKA_LOGPIXELS" /f >/dev/null 2>&1 </dev/null
    wineserver -w
  fi
  # The server runs on its own, its output not tied to the caller's.
  wineserver -p 30 </dev/null >/dev/null 2>&1
  # A virtual desktop of wine's own: it draws the windows' frames and captions, as a
  # window manager would. Every program of the prefix opens its windows there, and the one run
  # here hands back its exit code (through "explorer /desktop=" it would be lost).
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d brelka-test /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v brelka-test /d "$screen" /f \
    >/dev/null 2>&1
  wine "$@"
  local status=$?
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  stop_pulse
  return $status
}
if [ "${1:-}" = "--inside" ]; then
  shift
  run "$@"
  exit $?
fi
exec xvfb-run -a -s "-screen 0 ${screen}x24" "$0" --inside "$@"
