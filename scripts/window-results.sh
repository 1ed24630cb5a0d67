#!/usr/bin/env bash
# window-results.sh <linux brelka-cli> <results folder>
# Repeats with the Linux command-line tool what the Win32 window test did through the window
# (the requests.txt it left in the results folder: "import <slot> <L|R|MIX> <quality> <source>"
# and "export <slot> <quality> <destination>", paths relative to the folder) and compares the
# slot files and exports the window wrote with the tool's, byte for byte.
set -uo pipefail
linux=$1
results=$2
requests=$results/requests.txt
if [ ! -f "$requests" ]; then
  echo "window results: $requests is missing (the window test did not run)"
  exit 1
fi
reference=$results/linux
rm -rf "$reference"
mkdir -p "$reference/card" "$reference/export"
failed=0
compared=0
same() {
  compared=$((compared + 1))
  if ! cmp -s "$1" "$2"; then
    echo "differs: $1 and $2"
    failed=1
  fi
}
# The window's program writes the list with Windows line ends.
while read -r kind slot a b c; do
  c=${c%$'\r'}
  b=${b%$'\r'}
  case $kind in
    import)
      # slot channel quality source
      "$linux" import -q "$reference/card" "$slot" "$results/$c" --channel "$a" --quality "$b" \
        >/dev/null || failed=1
      file=$(printf 'SAMPLE%02d.BIN' $((10#$slot - 1)))
      same "$results/card/$file" "$reference/card/$file"
      ;;
    export)
      # slot quality destination
      "$linux" export -q "$reference/card" "$slot" "$reference/$b" --quality "$a" >/dev/null ||
        failed=1
      same "$results/$b" "$reference/$b"
      ;;
  esac
done <"$requests"
echo "window results: $compared files compared with the Linux tool's"
[ "$compared" -gt 0 ] || failed=1
exit $failed
