#!/usr/bin/env bash
# Installs what is missing, builds the program and the simulated machine,
# creates the demo machine and starts the program with an argument against
# it, in a real window. Without a display it runs on a virtual one (Xvfb),
# saves a screenshot after a few seconds (PELORIN_DEMO_SECONDS, default 8) and
# says where it went. PELORIN_BUILD names the build folder (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
build=$(realpath -m "${PELORIN_BUILD:-build}")
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what the demo runs: the program with its bundle, and the simulated
# machine with its stand-in tools (scripts/test.sh builds the tests).
cmake --build "$build" -j"$(nproc)" --target Pelorin sim
root="$build/demo-root"
"$build/sim" create demo "$root"
export PELORIN_SYSROOT="$root"
app="$build/Pelorin.app/Contents/MacOS/Pelorin"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$app" -demo "$@"
fi

# No display: the screenshot is taken with ImageMagick's import.
if ! command -v import >/dev/null 2>&1; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq imagemagick
fi
shot="$build/demo-screenshot.png"
seconds=${PELORIN_DEMO_SECONDS:-8}
rm -f "$shot"
xvfb-run -a -s "-screen 0 1600x1000x24" bash -c '
  app=$1 seconds=$2 shot=$3; shift 3
  QT_QPA_PLATFORM=xcb "$app" -demo "$@" &
  pid=$!
  sleep "$seconds"
  import -window root "$shot"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true' _ "$app" "$seconds" "$shot" "$@"
echo "No display: ran on a virtual screen; screenshot saved to $shot"
