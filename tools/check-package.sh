#!/usr/bin/env bash
# Builds the Debian package from a Release build (folder build-pkg, or $1)
# and checks it: the programs, their data, the desktop entry, the icons and
# the manual pages are in it; the desktop entry and the manual pages pass
# their checkers; the unpacked programs run from where they were unpacked.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build-pkg}
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=1
fi

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DEGRESSO_TESTS=OFF -DEGRESSO_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" >/dev/null
rm -f "$BUILD"/egresso_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null 2>&1) || { echo "check-package: cpack failed" >&2; exit 1; }
deb=$(ls "$BUILD"/egresso_*.deb)

failures=0
fail() { echo "check-package: $*" >&2; failures=$((failures + 1)); }

listing=$(dpkg-deb -c "$deb" | awk '{print $NF}')
expect=(./usr/bin/egresso ./usr/bin/egresso-cli
        ./usr/lib/egresso/egresso ./usr/lib/egresso/egresso-cli ./usr/lib/egresso/libegresso_sound.so
        ./usr/lib/egresso/libegresso_print.so
        ./usr/share/applications/egresso.desktop
        ./usr/share/man/man1/egresso.1.gz ./usr/share/man/man1/egresso-cli.1.gz)
for f in data/* data/help/*; do
  [ -f "$f" ] && expect+=("./usr/lib/egresso/${f#data/}")
done
for size in 16 32 48 64 128; do expect+=("./usr/share/icons/hicolor/${size}x${size}/apps/egresso.png"); done
for f in "${expect[@]}"; do
  grep -qxF "$f" <<<"$listing" || fail "missing from the package: $f"
done

info=$(dpkg-deb -I "$deb")
for dep in libqt6widgets6 libqt6gui6 libqt6core6 libqt6multimedia6 qt6-qpa-plugins libmicrohttpd12 libical3; do
  grep -q "^ Depends:.*\b$dep\b" <<<"$info" || fail "no dependency on $dep"
done

T=$(mktemp -d "${TMPDIR:-/tmp}/egresso-pkg.XXXXXX")
trap 'rm -rf "$T"' EXIT
dpkg-deb -x "$deb" "$T/root"

desktop-file-validate "$T/root/usr/share/applications/egresso.desktop" || fail "desktop entry not valid"
for size in 16 32 48 64 128; do
  file -b "$T/root/usr/share/icons/hicolor/${size}x${size}/apps/egresso.png" | grep -q "PNG image data, $size x $size" ||
    fail "icon ${size}x${size} is not a PNG of that size"
done
for page in egresso egresso-cli; do
  gz="$T/root/usr/share/man/man1/$page.1.gz"
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$gz" 2>&1 >/dev/null || echo "man failed")
  [ -z "$warnings" ] || fail "manual page $page: $warnings"
  # Read whole before the search: grep -q stops at the first match, and the
  # writer cut off then would fail the pipe.
  grep -q "^\.SH NAME" <<<"$(zcat "$gz")" || fail "manual page $page has no NAME section"
done

# The unpacked programs find their data beside them; without /MD= the
# command line reads the per-user data folder.
cli="$T/root/usr/bin/egresso-cli"
grep -q "^Usage: egresso-cli" <<<"$("$cli" --help)" || fail "egresso-cli --help"
export HOME="$T/home" XDG_DATA_HOME="$T/home/.local/share"
mkdir -p "$XDG_DATA_HOME"
"$cli" demo "$XDG_DATA_HOME/egresso" >/dev/null || fail "egresso-cli demo"
board=$("$cli" board) || fail "egresso-cli board"
[ "$(grep -c . <<<"$board")" -ge 3 ] || fail "egresso-cli board lists nothing: $board"
grep -q "^In the building: " <<<"$("$cli" roll-call)" || fail "egresso-cli roll-call"
grep -q "^BEGIN:VCALENDAR" <<<"$("$cli" calendar)" || fail "egresso-cli calendar"
[ "$("$cli" main-user)" = "$("$cli" main-user "/MD=$XDG_DATA_HOME/egresso")" ] || fail "default data folder"
[ -n "$("$cli" main-user)" ] || fail "the demo folder has no main user"

if [ "$failures" -ne 0 ]; then
  echo "check-package: $failures problem(s) in $deb" >&2
  exit 1
fi
echo "check-package: $deb is complete"
