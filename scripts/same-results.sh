#!/usr/bin/env bash
# same-results.sh <linux brelka-cli> <brelka-cli.exe> <work folder>
# Runs both tools on the same inputs: imports at every quality from 44100, 48000 and 22050 Hz
# (stereo noise and tones made by sox, and corpus drums), exports of the slots at 44100 Hz at
# every quality, imports and a convert with the preparation options, and the lists. Slot files and exports must be the same bytes; where they are
# not, the samples are compared: every differing sample at most 1 step off, and at least 99.99 %
# identical. Prints the figures.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux=$1
exe=$2
work=$3
rm -rf "$work"
mkdir -p "$work/in" "$work/linux" "$work/windows"
wine_run() { "$root/scripts/wine-run.sh" "$exe" "$@"; }
winpath() { echo "Z:$1"; }

for rate in 44100 48000 22050; do
  sox -R -n -r $rate -c 2 -b 16 "$work/in/tones$rate.wav" synth 20 sine 55-9000 sine 440 \
    whitenoise gain -4 2>/dev/null || exit 1
done
cp "$root/tests/data/go-audio-wav/bass.wav" "$work/in/bass44100.wav"
cp "$root/tests/data/go-audio-aiff/zipper24b.aiff" "$work/in/zipper48000.aif"
cp "$root/tests/data/go-audio-wav/kick.wav" "$work/in/kick22050.wav"

failed=0
slot=1
for src in "$work"/in/*; do
  for q in off simple light medium heavy ultra; do
    "$linux" import -q "$work/linux" $slot "$src" --quality $q >/dev/null || failed=1
    wine_run import -q "$(winpath "$work/windows")" $slot "$(winpath "$src")" --quality $q \
      >/dev/null || failed=1
    slot=$((slot + 1))
  done
done
slots=$((slot - 1))
# Made ready by every option on the way (the dither's noise included), a kit with one gain, and
# a convert with the options.
prep=(--trim --normalize --fade-in 5 --fade-out 20 --dither)
for src in "$work/in/tones44100.wav" "$work/in/zipper48000.aif"; do
  for q in off heavy; do
    "$linux" import -q "$work/linux" $slot "$src" --quality $q "${prep[@]}" >/dev/null || failed=1
    wine_run import -q "$(winpath "$work/windows")" $slot "$(winpath "$src")" --quality $q \
      "${prep[@]}" >/dev/null || failed=1
    slot=$((slot + 1))
  done
done
kit=("$work/in/zipper48000.aif" "$work/in/kick22050.wav")
"$linux" import -q "$work/linux" $slot "${kit[@]}" --kit-normalize --dither >/dev/null || failed=1
wine_run import -q "$(winpath "$work/windows")" $slot "$(winpath "${kit[0]}")" \
  "$(winpath "${kit[1]}")" --kit-normalize --dither >/dev/null || failed=1
"$linux" convert -q "${kit[0]}" "$work/linux/ready.wav" --rate 44100 "${prep[@]}" >/dev/null ||
  failed=1
wine_run convert -q "$(winpath "${kit[0]}")" "$(winpath "$work/windows/ready.wav")" --rate 44100 \
  "${prep[@]}" >/dev/null || failed=1
for ((s = 1; s <= slots; s += 5)); do
  for q in off simple light medium heavy ultra; do
    "$linux" export -q "$work/linux" $s "$work/linux/out$s-$q.wav" --quality $q >/dev/null || failed=1
    wine_run export -q "$(winpath "$work/windows")" $s "$(winpath "$work/windows/out$s-$q.wav")" \
      --quality $q >/dev/null || failed=1
  done
done
# The lists in the file systems' own orders, which may differ: sorted.
"$linux" list "$work/linux" | sort >"$work/linux/list.txt" || failed=1
wine_run list "$(winpath "$work/windows")" | tr -d '\r' | sort >"$work/windows/list.txt" || failed=1
[ "$failed" -eq 0 ] || echo "a command failed"

# Byte for byte; differing files are compared sample by sample after their headers.
files=0
same=0
samples=0
differing=0
largest=0
for a in "$work"/linux/*; do
  name=$(basename "$a")
  b=$work/windows/$name
  files=$((files + 1))
  if [ ! -f "$b" ]; then
    echo "missing on Windows: $name"
    failed=1
    continue
  fi
  if cmp -s "$a" "$b"; then
    same=$((same + 1))
    continue
  fi
  if [[ $name != *.BIN && $name != *.wav ]] || [ "$(stat -c %s "$a")" != "$(stat -c %s "$b")" ]; then
    echo "different: $name"
    failed=1
    continue
  fi
  skip=512
  endian=big
  if [[ $name == *.wav ]]; then
    skip=46
    endian=little
  fi
  read -r n d m < <(paste <(od -An -v -w2 -t d2 --endian=$endian -j $skip "$a") \
    <(od -An -v -w2 -t d2 --endian=$endian -j $skip "$b") |
    awk '{n++; x=$1-$2; if (x<0) x=-x; if (x>0) d++; if (x>m) m=x} END {print n+0, d+0, m+0}')
  echo "different: $name: $d of $n samples, at most $m steps"
  samples=$((samples + n))
  differing=$((differing + d))
  [ "$m" -gt "$largest" ] && largest=$m
done
for a in "$work"/linux/*.BIN "$work"/linux/*.wav; do
  header=512
  [[ $a == *.wav ]] && header=46
  samples=$((samples + ($(stat -c %s "$a") - header) / 2))
done
echo "files: $same of $files the same bytes; samples differing: $differing of $samples" \
  "(at most $largest steps)"
if [ "$largest" -gt 1 ] || [ $((differing * 10000)) -gt "$samples" ]; then failed=1; fi
exit $failed
