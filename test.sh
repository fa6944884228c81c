#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh

BUILD=build-test
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DEGRESSO_SANITIZE=ON >/dev/null
cmake --build "$BUILD" -j "$(nproc)"

# The fuzz targets run for a bounded time; the test summary comes last.
if [ -x tools/fuzz.sh ]; then
  tools/fuzz.sh
fi

# The multi-process tests run once more on a real file server: a private
# Samba share on 127.0.0.1, mounted through smbnetfs. Where the machine does
# not allow it (no root, no /dev/fuse, no port) only those cases skip.
SHARE_STATE=$(mktemp -d "${TMPDIR:-/tmp}/egresso-share.XXXXXX")
trap 'tools/samba-share.sh stop "$SHARE_STATE"' EXIT
if share=$(tools/samba-share.sh start "$SHARE_STATE"); then
  export EGRESSO_SHARE_DIR="$share"
  echo "Share tests run on $share"
fi

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1
status=0
ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" --timeout 300 || status=$?

# The Debian package, from a Release build of its own, and what it holds;
# checked even when a test failed.
tools/check-package.sh || status=1
exit $status
