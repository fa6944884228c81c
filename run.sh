#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts the board.
# Without a /MD= switch the program works on a demo data folder in the
# checkout. Arguments are passed to the program as its switches.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh

BUILD=build
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DEGRESSO_TESTS=OFF -DEGRESSO_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)"

args=("$@")
has_folder=0
has_user=0
for a in "${args[@]}"; do
  case "${a^^}" in
    /MD=*) has_folder=1 ;;
    /TU=*) has_user=1 ;;
  esac
done
if [ $has_folder -eq 0 ]; then
  DEMO="$PWD/demo-data"
  [ -d "$DEMO" ] || "$BUILD/egresso-cli" demo "$DEMO"
  args=("/MD=$DEMO" "${args[@]}")
  # The demo is shown as its main user sees it.
  if [ $has_user -eq 0 ]; then
    user=$("$BUILD/egresso-cli" main-user "/MD=$DEMO" 2>/dev/null || true)
    if [ -n "$user" ]; then args=("/TU=$user" "${args[@]}"); fi
  fi
fi
exec "$BUILD/egresso" "${args[@]}"
