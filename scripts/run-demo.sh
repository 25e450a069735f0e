#!/usr/bin/env bash
# Builds the program, creates the demo machine and starts the program against it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
build=${PELORIN_BUILD:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
root="$PWD/$build/demo-root"
"$build/sim" create demo "$root"
export PELORIN_SYSROOT="$root"
exec "$build/Pelorin.app/Contents/MacOS/Pelorin" -demo "$@"
