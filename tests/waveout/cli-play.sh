#!/usr/bin/env bash
# brelka-cli.exe play under wine, heard on the private PulseAudio sink (its environment comes from
# CTest) and recorded through its monitor:
#   cli-play.sh <brelka-cli.exe> <pulse dir> <work dir> <a corpus WAV>
# A slot is heard to its end bit for bit, a file is heard for its length, Ctrl-C (SIGINT to the
# wine process, which wine hands to the program as the console's Ctrl-C) stops a long slot early,
# and without a sound server play ends at once with exit 1.
set -u
cli=$1 pulse=$2 work=$3 corpus=$4
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run.sh
heard() { python3 "$here/heard.py" "$@"; }
win() { echo "Z:$1" | tr / '\\'; }
status=0
fail() {
  echo "FAILED: $*"
  status=1
}

rm -rf "$work"
mkdir -p "$work/card"
heard make-wav "$work/short.wav" 1.5
heard make-wav "$work/long.wav" 10
"$wine_run" "$cli" import "$(win "$work/card")" 1 "$(win "$work/short.wav")" "$(win "$work/long.wav")" \
  -q >/dev/null 2>&1 </dev/null || fail "import of the slots"

# Records the sink while the command runs, from once parec has delivered its first bytes.
recorder=
record() {
  rm -f "$1"
  parec --raw --format=s16le --rate=31250 --channels=1 --latency-msec=10 -d null.monitor >"$1" &
  recorder=$!
  for _ in $(seq 100); do
    [ -s "$1" ] && return 0
    sleep 0.05
  done
  fail "parec delivered nothing"
}
stop_recording() {
  sleep 0.3 # the tail of the sound reaches the monitor
  kill "$recorder" 2>/dev/null
  wait "$recorder" 2>/dev/null
}

echo "== a slot, to its end"
# When a busy neighbour starves the sound server, it plays silence in between, and wine's clock
# then hands buffers back before their sound has been heard, so the stop cuts the last few
# milliseconds: a second or third take tells that apart from a fault.
for take in 1 2 3; do
  record "$work/slot.raw"
  "$wine_run" "$cli" play "$(win "$work/card")" 1 -q >"$work/slot.out" 2>&1 </dev/null
  rc=$?
  stop_recording
  [ $rc -eq 0 ] || fail "play of slot 01 ended with $rc: $(cat "$work/slot.out")"
  heard slot "$work/card/SAMPLE00.BIN" "$work/slot.raw" && break
  [ $take -lt 3 ] || fail "slot 01 was not heard as it is in three takes"
done

echo "== a file"
record "$work/file.raw"
"$wine_run" "$cli" play "$(win "$corpus")" -q >"$work/file.out" 2>&1 </dev/null
rc=$?
stop_recording
[ $rc -eq 0 ] || fail "play of $corpus ended with $rc: $(cat "$work/file.out")"
heard file "$corpus" "$work/file.raw" || fail "the file was not heard for its length"

echo "== Ctrl-C"
record "$work/stopped.raw"
"$wine_run" "$cli" play "$(win "$work/card")" 2 -q >"$work/stopped.out" 2>&1 </dev/null &
player=$!
# Once the sound is heard, and a second into it.
for _ in $(seq 200); do
  [ "$(heard span "$work/stopped.raw")" != 0.000 ] && break
  sleep 0.05
done
sleep 1
kill -INT "$player"
for _ in $(seq 100); do
  kill -0 "$player" 2>/dev/null || break
  sleep 0.05
done
if kill -0 "$player" 2>/dev/null; then
  fail "play went on for 5 s after Ctrl-C"
  kill -KILL "$player"
fi
wait "$player"
rc=$?
stop_recording
[ $rc -eq 0 ] || fail "play stopped by Ctrl-C ended with $rc: $(cat "$work/stopped.out")"
span=$(heard span "$work/stopped.raw")
echo "heard $span s of 10"
python3 -c "import sys; sys.exit(0 if 0.5 < $span < 4 else 1)" || fail "Ctrl-C did not stop it early"

echo "== no sound server"
mkdir -p "$work/no-server"
printf 'autospawn = no\n' >"$work/no-server/client.conf"
# wine would fall back to ALSA: without it there is no device at all.
start=$(date +%s)
PULSE_SERVER=unix:$work/no-server/nothing PULSE_CLIENTCONFIG=$work/no-server/client.conf \
  WINEDLLOVERRIDES="mscoree,mshtml,winealsa.drv,wineoss.drv=" \
  timeout 60 "$wine_run" "$cli" play "$(win "$work/card")" 1 -q >"$work/none.out" 2>"$work/none.err" </dev/null
rc=$?
echo "ended with $rc after $(($(date +%s) - start)) s: $(tr -d '\r' <"$work/none.err")"
[ $rc -eq 1 ] || fail "play without a server ended with $rc"
[ "$(tr -d '\r' <"$work/none.err")" = "No audio output device could be opened." ] || fail "not the message"

[ $status -eq 0 ] && echo "cli-play: passed"
exit $status
