#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop sees: the program, its
# desktop entry, icons and AppStream data, validated by the desktop's own tools where present.
# Also that nothing installed names the folders it was built in, and that the program loads
# its transfer module from beside itself only.
set -euo pipefail
build=$1
source_dir=$2
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/usr" >/dev/null
cd "$tmp/usr"
for f in bin/marlowin lib/marlowin/libmarlowin-transfer.so \
         share/applications/org.marlowin.Marlowin.desktop \
         share/icons/hicolor/64x64/apps/marlowin.png \
         share/icons/hicolor/scalable/apps/marlowin.svg \
         share/metainfo/org.marlowin.Marlowin.metainfo.xml; do
  [ -e "$f" ] || { echo "missing: $f"; exit 1; }
done
grep -qx 'Icon=marlowin' share/applications/org.marlowin.Marlowin.desktop
grep -q '<release version="1.00"' share/metainfo/org.marlowin.Marlowin.metainfo.xml
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate share/applications/org.marlowin.Marlowin.desktop
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net share/metainfo/org.marlowin.Marlowin.metainfo.xml
fi

for binary in bin/marlowin lib/marlowin/libmarlowin-transfer.so; do
  if strings -a "$binary" | grep -F -e "$(realpath "$build")" -e "$(realpath "$source_dir")"; then
    echo "$binary names a folder of the build machine"
    exit 1
  fi
done

# Installed, the program loads the module installed beside it; copied elsewhere without it,
# it loads none (the window stays, and reports the missing module when asked to fetch).
mkdir "$tmp/elsewhere" && cp bin/marlowin "$tmp/elsewhere/"
for program in bin/marlowin "$tmp/elsewhere/marlowin"; do
  QT_QPA_PLATFORM=offscreen "$program" 2>/dev/null &
  pid=$!
  sleep 2
  kill -0 $pid || { echo "$program ended instead of showing its window"; exit 1; }
  module=$(grep -o '/.*libmarlowin-transfer.so' /proc/$pid/maps | sort -u || true)
  kill $pid
  expected=$([ "$program" = bin/marlowin ] && echo "$tmp/usr/lib/marlowin/libmarlowin-transfer.so" || true)
  [ "$module" = "$expected" ] || { echo "$program loaded '$module'"; exit 1; }
done
echo "ok"
