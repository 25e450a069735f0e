#!/usr/bin/env bash
# Runs a test program on its own virtual X display (Xvfb, 1600x1000 at 72 dpi)
# under a real window manager (openbox), the way a user's desktop stacks,
# activates and moves windows:  run-under-x.sh <program> [arguments...]
# A missing tool fails the run: these tests are never skipped.
set -euo pipefail
for tool in Xvfb openbox xdotool xprop xwininfo; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/deps.sh installs it)" >&2; exit 1; }
done
tmp=$(mktemp -d)
xvfb_pid="" wm_pid=""
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
# Xvfb picks a free display and writes its number to the descriptor.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -dpi 72 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "Xvfb did not start:" >&2; cat "$tmp/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$tmp/display")"
HOME="$tmp" openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
  { echo "openbox did not start:" >&2; cat "$tmp/openbox.log" >&2; exit 1; }
export QT_QPA_PLATFORM=xcb
"$@"
