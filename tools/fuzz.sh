#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz and runs each one for a bounded
# time. Exits non-zero when a target crashes or breaks an invariant; the
# input that did it is left in build-fuzz and its log is printed.
# FUZZ_SECONDS is each target's time; the default keeps the whole step of
# twelve targets near two and a half minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=$ROOT/build-fuzz
SECONDS_EACH=${FUZZ_SECONDS:-10}

cmake -S tests/fuzz -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j "$(nproc)"

status=0
for source in tests/fuzz/*_fuzz.cpp; do
  name=$(basename "$source" .cpp)
  corpus=$BUILD/corpus/$name
  mkdir -p "$corpus"
  dirs=("$corpus")
  if [ -d "tests/fuzz/seeds/$name" ]; then dirs+=("$ROOT/tests/fuzz/seeds/$name"); fi
  log=$BUILD/$name.log
  echo "fuzz: $name for ${SECONDS_EACH}s"
  if ! (cd "$BUILD" && "./$name" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$BUILD/$name-" -print_final_stats=1 "${dirs[@]}") >"$log" 2>&1; then
    echo "fuzz: $name FAILED"
    tail -n 60 "$log"
    status=1
  else
    grep -E "stat::number_of_executed_units" "$log" | sed "s/^/fuzz: $name /" || true
  fi
done
exit $status
