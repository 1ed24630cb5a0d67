#!/usr/bin/env bash
# Writes the seed inputs of the fuzz targets into <build>/fuzz-seeds/<target>/: the real files
# of tests/data (with its files that crashed other readers), small files that sox and
# brelka-cli write, slot files, and hand-made engine call sequences. Usage: make_seeds.sh <build>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$1
corpus=${BRELKA_CORPUS:-$root/tests/data}
seeds=$build/fuzz-seeds
rm -rf "$seeds"
mkdir -p "$seeds"/{fuzz_audiofile,fuzz_samplefile,fuzz_import,fuzz_engine} "$seeds/made"
made=$seeds/made

# Files written by other programs: sox in several shapes (its 24- and 32-bit and multichannel
# WAVs are extensible; .aifc is AIFF-C), libsndfile's float and little-endian AIFF-C, then
# brelka-cli's own writer.
if command -v sox >/dev/null; then
  i=0
  for spec in "-r 31250 -c 1 -b 16" "-r 44100 -c 2 -b 16" "-r 8000 -c 1 -b 8" \
              "-r 22050 -c 2 -b 24" "-r 48000 -c 1 -b 32" "-r 11025 -c 3 -b 16" \
              "-r 44100 -c 2 -e floating-point -b 32" "-r 8000 -c 1 -e floating-point -b 64"; do
    for ext in wav aif aifc; do
      # shellcheck disable=SC2086
      sox -D -n $spec "$made/sox$i.$ext" synth 0.02 sine 440 2>/dev/null || true
    done
    i=$((i + 1))
  done
  if command -v sndfile-convert >/dev/null; then
    for enc in -float32 -float64; do
      sndfile-convert "$enc" "$made/sox1.wav" "$made/sndfile$enc.aif" >/dev/null 2>&1 || true
    done
    sndfile-convert -endian=little "$made/sox1.wav" "$made/sndfile-sowt.aif" >/dev/null 2>&1 || true
  fi
fi
# A slot file: the header area, then 1200 samples.
slot() { # <path> <sample bytes>
  { printf 'TARQ PL-17 SAMPLE DATA VER0001             \000\035\056\366\000'
    head -c 464 /dev/zero
    head -c "$2" "$corpus/go-audio-wav/kick.wav"; } > "$1"
}
mkdir -p "$made/card"
slot "$made/card/SAMPLE00.BIN" 2400
cli=$build/bin/brelka-cli
if [ -x "$cli" ]; then
  "$cli" -q export "$made/card" 01 "$made/written.wav" >/dev/null 2>&1 || true
  "$cli" -q export "$made/card" 01 "$made/written.aif" >/dev/null 2>&1 || true
fi

n=0
add() { # <target> <prefix as printf format> <file> [max bytes]
  n=$((n + 1))
  { printf "$2"; head -c "${4:-65536}" "$3"; } > "$seeds/$1/seed$n"
}
qualities=('\000' '\007' '\016' '\003' '\004' '\005' '\015' '\021')
q=0
while IFS= read -r -d '' f; do
  add fuzz_audiofile '\000' "$f"
  add fuzz_import "${qualities[$((q % 8))]}\\000" "$f" 16384
  q=$((q + 1))
done < <(find "$corpus" "$made" -type f \( -iname '*.wav' -o -iname '*.aif' -o -iname '*.aiff' \
          -o -iname '*.aifc' -o -path '*/fuzz/*' \) -print0 | sort -z)

# Slot files: no header, a bare header area, short and long data, some numbers that are no slot.
for spec in '\000:0' '\001:2' '\007:1200' '\073:4096' '\074:10' '\100:2400' '\300:2400' '\205:9000'; do
  num=${spec%%:*}
  bytes=${spec##*:}
  slot "$made/slot" "$bytes"
  add fuzz_samplefile "$num" "$made/slot"
done
add fuzz_samplefile '\002' "$corpus/go-audio-wav/kick.wav" 3000

# Engine call sequences: setting (two rates, stereo, quality), begin, exec of frames, end.
# Rates with bit 23 set pick a common rate: index 4 is 31250, 6 is 44100, 7 is 48000.
engine() { # <name> <printf format of the calls> <sample bytes>
  { printf "$2"; head -c "$3" "$corpus/go-audio-wav/kick.wav"; printf '\003'; } \
    > "$seeds/fuzz_engine/$1"
}
for qual in 2 3 4 5; do
  engine "mono$qual" "\\000\\200\\000\\006\\200\\000\\004\\000\\00$qual\\001\\002\\000\\020\\000" 8192
  engine "stereo$qual" "\\000\\200\\000\\007\\200\\000\\006\\001\\00$qual\\001\\002\\000\\010\\000" 8192
  engine "up$qual" "\\000\\200\\000\\004\\200\\000\\006\\000\\00$qual\\001\\002\\000\\004\\000" 2048
done
engine misuse '\001\003\002\000\001\000\000\200\000\006\200\000\004\000\004\001\001\000\000\001\000\000\002\002\000\001\000' 16
echo "seeds in $seeds"
