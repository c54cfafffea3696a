#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop sees: the program, its
# desktop entry, icons and AppStream data, validated by the desktop's own tools where present.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
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
echo "ok"
