#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop sees: the program, its
# desktop entry, icons and AppStream data, validated by the desktop's own tools where present;
# that nothing installed names the folders it was built in; that the program loads its
# transfer module from beside itself only; and, under a real X server where there is one,
# that its window's title bar reads exactly "Kestrova".
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/usr" >/dev/null
cd "$tmp/usr"
ls bin/marlowin lib/marlowin/libmarlowin-transfer.so lib/marlowin/libmarlowin-workflow.so \
   lib/marlowin/marlowin-proxy-helper \
   share/icons/hicolor/64x64/apps/marlowin.png \
   share/icons/hicolor/scalable/apps/marlowin.svg share/doc/marlowin/copyright >/dev/null
grep -qx 'Icon=marlowin' share/applications/org.marlowin.Marlowin.desktop
grep -q '<release version="1.00"' share/metainfo/org.marlowin.Marlowin.metainfo.xml
! command -v desktop-file-validate >/dev/null ||
  desktop-file-validate share/applications/org.marlowin.Marlowin.desktop
if command -v appstreamcli >/dev/null; then
  # Marlowin has no web site to name: AppStream 1.0 warns of that (0.16 knew no such check).
  overrides=()
  appstreamcli --version | grep -q 'version: 0\.' || overrides=(--override=url-homepage-missing=info)
  appstreamcli validate --no-net "${overrides[@]}" share/metainfo/org.marlowin.Marlowin.metainfo.xml
fi

# (A sanitized build names its sources on purpose, for its reports.)
if [ "${3:-OFF}" != ON ] && strings -a bin/marlowin lib/marlowin/libmarlowin-transfer.so |
   grep -F -e "$(realpath "$build")" -e "$(realpath "$2")"; then
  echo "an installed binary names a folder of the build machine"
  exit 1
fi

platform=offscreen
# MARLOWIN_CHECK_OFFSCREEN: a ThreadSanitizer build, whose reports from the uninstrumented X
# client libraries would not be the program's.
if [ -z "${MARLOWIN_CHECK_OFFSCREEN:-}" ] && command -v Xvfb >/dev/null &&
   command -v xwininfo >/dev/null && command -v xprop >/dev/null; then
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
  for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$tmp/display")"
  platform=xcb
fi
# Installed, the program loads the module installed beside it; copied elsewhere without it
# (with the library it needs to start), it loads none (the window stays, and reports the
# missing module when asked to fetch).
mkdir -p "$tmp/elsewhere/bin" "$tmp/elsewhere/lib/marlowin"
cp bin/marlowin "$tmp/elsewhere/bin/"
cp lib/marlowin/libmarlowin-workflow.so "$tmp/elsewhere/lib/marlowin/"
for program in bin/marlowin "$tmp/elsewhere/bin/marlowin"; do
  QT_QPA_PLATFORM=$platform "$program" 2>/dev/null &
  sleep 2
  kill -0 $! || { echo "$program ended instead of showing its window"; exit 1; }
  module=$(grep -o '/.*libmarlowin-transfer.so' /proc/$!/maps | sort -u || true)
  if [ $platform = xcb ]; then
    window=$(xwininfo -root -tree | awk '/ 339x230\+/ {print $1; exit}')
    [ "$(xprop -id "$window" WM_NAME _NET_WM_NAME)" = 'WM_NAME(STRING) = "Kestrova"
_NET_WM_NAME(UTF8_STRING) = "Kestrova"' ] || { xprop -id "$window"; exit 1; }
  fi
  kill $!
  expected=$([ "$program" = bin/marlowin ] && echo "$tmp/usr/lib/marlowin/libmarlowin-transfer.so" || true)
  [ "$module" = "$expected" ] || { echo "$program loaded '$module'"; exit 1; }
done
echo "ok"
