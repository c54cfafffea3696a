#!/usr/bin/env bash
# Starts the program under a real X server and checks that its window appears with the title
# "Kestrova" and nothing more. Skips (77) where Xvfb or xwininfo is missing.
set -u
program=$1
command -v Xvfb >/dev/null && command -v xwininfo >/dev/null && command -v xprop >/dev/null || exit 77

tmp=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"' EXIT
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$tmp/display")"

QT_QPA_PLATFORM=xcb "$program" &
app=$!
# The program's top-level window is the one of the client area's size, 339 x 230.
window=
for _ in $(seq 100); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/ 339x230\+/ {print $1; exit}')
  [ -n "$window" ] && break
  sleep 0.1
done
if ! kill -0 "$app" 2>/dev/null; then
  echo "the program ended instead of showing its window"
  exit 1
fi
if [ -z "$window" ]; then
  echo "no 339x230 window appeared"
  xwininfo -root -tree
  exit 1
fi
# The title bar shows WM_NAME, or _NET_WM_NAME where the window manager reads it: both must be
# exactly "Kestrova", with no application name appended.
xprop -id "$window" WM_NAME _NET_WM_NAME
[ "$(xprop -id "$window" WM_NAME)" = 'WM_NAME(STRING) = "Kestrova"' ] || exit 1
[ "$(xprop -id "$window" _NET_WM_NAME)" = '_NET_WM_NAME(UTF8_STRING) = "Kestrova"' ] || exit 1
echo "ok"
