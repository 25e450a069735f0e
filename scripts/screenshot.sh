#!/usr/bin/env bash
# Shows the interface kit's gallery and the two title-bar windows in a real X
# window under Xvfb and takes screenshots of the screen:
#   <build>/ui-render/screen-gallery.png and screen-titlebars.png
# The offscreen renders of the same windows come from the ordinary test run
# (<build>/ui-render/gallery.png, titlebar-main.png, titlebar-other.png).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${PELORIN_BUILD:-build}
# The build folder may be given relative to the checkout or as an absolute path.
case "$build" in
  /*) ;;
  *) build="$PWD/$build" ;;
esac
if [ ! -x "$build/tests/test_ui" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j4 --target test_ui bundle_resources
fi
out="$build/ui-render"
mkdir -p "$out"
export PELORIN_BUNDLE="$build/Pelorin.app"
export PELORIN_SCREENSHOT_DIR="$out"
export QT_QPA_PLATFORM=xcb
export ASAN_OPTIONS=detect_leaks=0
xvfb-run -a -s "-screen 0 1600x1000x24 -dpi 72" \
  "$build/tests/test_ui" --gtest_filter='UiTest.ScreenshotOnARealDisplay'
ls -l "$out"/screen-*.png
