#!/usr/bin/env bash
# Builds in Release and runs the speed suite; the ratio table comes last.
# A private Samba share (tools/samba-share.sh) is started for the lock
# figures on a file server when the machine allows it (root, /dev/fuse),
# unless EGRESSO_SHARE_DIR names one already. Arguments go to the
# benchmark program (for example --benchmark_filter=Lock).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${EGRESSO_BENCH_BUILD:-build-bench}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DEGRESSO_TESTS=OFF -DEGRESSO_BENCH=ON >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target egresso_bench

if [ -z "${EGRESSO_SHARE_DIR:-}" ]; then
  SHARE_STATE=$(mktemp -d "${TMPDIR:-/tmp}/egresso-share.XXXXXX")
  trap 'tools/samba-share.sh stop "$SHARE_STATE"' EXIT
  if share=$(tools/samba-share.sh start "$SHARE_STATE"); then
    export EGRESSO_SHARE_DIR="$share"
  fi
fi

echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$BUILD/bench/egresso_bench" "$@"
echo "load average afterwards $(cut -d' ' -f1-3 /proc/loadavg)"
