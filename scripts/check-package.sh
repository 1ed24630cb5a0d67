#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh made: lintian, its contents, the menu entry,
# the manual pages, and the programs run from an unpacked copy in another folder. As root, with
# brelka not already installed, it also installs the package with apt-get, uses it from the PATH
# and removes it again (BRELKA_INSTALL_TEST=0 leaves that out).
# Prints "== pkg <check>" for each check passed and "!! pkg <check>: <why>" for each failed.
# Usage: check-package.sh [brelka_<version>_amd64.deb]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deb=${1:-$(ls "${DIST_DIR:-$root/dist}"/brelka_*_amd64.deb 2>/dev/null | tail -n 1)}
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "!! pkg found: no package; run scripts/package.sh first"
  exit 1
fi
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
pass() { echo "== pkg $1"; }
fail() {
  echo "!! pkg $1: $2"
  failed=1
}
libdir=usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/brelka

# lintian: no errors (warnings are shown).
lintian --info "$deb" >"$work/lintian.txt" 2>&1
grep -E '^[EW]: ' "$work/lintian.txt"
if grep -q '^E: ' "$work/lintian.txt"; then
  fail lintian "errors above"
else
  pass lintian
fi

# Contents: what a user's install needs, and nothing of the build or the tests.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' >"$work/contents.txt"
missing=""
for f in usr/bin/brelka usr/bin/brelka-cli "$libdir/libqmx.so" "$libdir/libbrelka-play.so" \
  usr/share/applications/brelka.desktop usr/share/icons/hicolor/scalable/apps/brelka.svg \
  usr/share/man/man1/brelka.1.gz usr/share/man/man1/brelka-cli.1.gz \
  usr/share/doc/brelka/README.md usr/share/doc/brelka/copyright usr/share/doc/brelka/changelog.gz; do
  grep -qx "$f" "$work/contents.txt" || missing="$missing $f"
done
extra=$(grep -E '(test|bench|\.a$|\.h$|gtest|soxr|samplerate)' "$work/contents.txt" | grep -v '/$' || true)
if [ -n "$missing" ]; then
  fail contents "missing:$missing"
elif [ -n "$extra" ]; then
  fail contents "not for users: $extra"
else
  pass contents
fi
deps=$(dpkg-deb -f "$deb" Depends)
if echo "$deps" | grep -q libqt6widgets6 && ! echo "$deps" | grep -qE 'soxr|samplerate|gtest|sndfile'; then
  pass depends
else
  fail depends "$deps"
fi

dpkg-deb -x "$deb" "$work/root"
if desktop-file-validate "$work/root/usr/share/applications/brelka.desktop"; then
  pass desktop-entry
else
  fail desktop-entry "desktop-file-validate"
fi

# Manual pages: they render without warnings, and the tool's page names every command and option
# that its --help lists.
bin=$work/root/usr/bin
pages_ok=1
for page in brelka brelka-cli; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$work/root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { fail "man-$page" "$warnings"; pages_ok=0; }
done
page=$(zcat "$work/root/usr/share/man/man1/brelka-cli.1.gz" | sed 's/\\-/-/g')
commands=$("$bin/brelka-cli" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR>1 && NF {print $1}')
unnamed=""
for c in $commands; do
  echo "$page" | grep -qE "^\.(B|BI|TP) .*\b$c\b|^\.BI \"$c |^\.B $c" || unnamed="$unnamed $c"
  for o in $("$bin/brelka-cli" "$c" --help | grep -oE -- '--[a-z][a-z-]+' | sort -u); do
    echo "$page" | grep -q -- "$o" || unnamed="$unnamed $c$o"
  done
done
if [ -n "$unnamed" ]; then
  fail man-coverage "brelka-cli.1 does not name:$unnamed"
elif [ $pages_ok -eq 1 ]; then
  pass man-pages
fi

# An unpacked copy works from any folder: the engine and the play module are found through the
# programs' own run path.
card=$work/card
mkdir -p "$card"
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 0.3 sine 440 2>/dev/null
if (cd / && "$bin/brelka-cli" -q import "$card" 7 "$work/tone.wav" --quality heavy >/dev/null) &&
  [ -f "$card/SAMPLE06.BIN" ]; then
  pass unpacked-engine
else
  fail unpacked-engine "brelka-cli import --quality heavy failed from an unpacked copy"
fi
said=$(cd / && "$bin/brelka-cli" play "$work/empty-folder" 1 2>&1)
if echo "$said" | grep -q "no audio output"; then
  fail unpacked-play-module "$said"
else
  pass unpacked-play-module
fi

# The Windows archive, when scripts/package.sh made one: the window, the tool, its play module,
# the engine, the README and the licence in one folder, and nothing else.
zip=$(ls "$(dirname "$deb")"/brelka-*-windows-x64.zip 2>/dev/null | tail -n 1)
if [ -n "$zip" ]; then
  name=$(basename "$zip" .zip)
  listed=$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')
  want="$name/LICENSE $name/README.md $name/brelka-cli.exe $name/brelka-play.dll $name/brelka.exe $name/qmx.dll "
  if [ "$listed" = "$want" ]; then
    pass windows-archive
  else
    fail windows-archive "holds: $listed"
  fi
fi

# The Windows installer beside it: an NSIS program carrying the release's files (it is run under
# wine by the Windows stage's installer test).
setup=$(ls "$(dirname "$deb")"/brelka-*-setup.exe 2>/dev/null | tail -n 1)
if [ -n "$zip" ] || [ -n "$setup" ]; then
  if [ -z "$setup" ]; then
    fail windows-installer "no brelka-*-setup.exe beside the archive"
  elif [ "$(head -c 2 "$setup")" = "MZ" ] && grep -aq 'Nullsoft' "$setup" &&
    [ "$(stat -c %s "$setup")" -gt $(($(stat -c %s "$zip") / 2)) ]; then
    pass windows-installer
  else
    fail windows-installer "$setup is not an installer of the release's files"
  fi
fi

# Installed for real, where that is allowed.
if [ "${BRELKA_INSTALL_TEST:-1}" = "0" ] || [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
  echo "-- pkg install: skipped (needs root and apt-get; BRELKA_INSTALL_TEST=0 skips it)"
elif dpkg-query -W -f='${Status}' brelka 2>/dev/null | grep -q 'install ok installed'; then
  echo "-- pkg install: skipped (brelka is already installed on this machine)"
else
  if DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.txt" 2>&1; then
    ok=1
    [ "$(command -v brelka)" = /usr/bin/brelka ] && [ "$(command -v brelka-cli)" = /usr/bin/brelka-cli ] ||
      { fail install "brelka and brelka-cli are not on the PATH"; ok=0; }
    rm -f "$card/SAMPLE06.BIN"
    (cd / && brelka-cli -q import "$card" 7 "$work/tone.wav" --quality heavy >/dev/null) &&
      [ -f "$card/SAMPLE06.BIN" ] || { fail install "Heavy import from / with the installed tool"; ok=0; }
    desktop-file-validate /usr/share/applications/brelka.desktop ||
      { fail install "installed menu entry"; ok=0; }
    # The window starts (and is still running when it is stopped).
    mkdir -m 700 -p "$work/xdg"
    (cd / && XDG_RUNTIME_DIR=$work/xdg QT_QPA_PLATFORM=offscreen timeout 3 brelka >/dev/null 2>&1)
    [ $? -eq 124 ] || { fail install "the installed window program did not stay up"; ok=0; }
    [ $ok -eq 1 ] && pass install
  else
    fail install "apt-get install: $(tail -n 3 "$work/apt.txt")"
  fi
  if DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq brelka >"$work/apt.txt" 2>&1 &&
    [ ! -e /usr/bin/brelka ] && [ ! -e /usr/bin/brelka-cli ] && [ ! -e "/$libdir" ] &&
    [ ! -e /usr/share/doc/brelka ]; then
    pass remove
  else
    fail remove "files left after apt-get remove --purge"
  fi
fi
exit $failed
