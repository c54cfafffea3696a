#!/usr/bin/env bash
# The Windows resource script must keep compiling, with the version and language it promises,
# even though it is only built into Windows executables. Skips (77) without windres.
set -euo pipefail
rc=$1
windres=$(command -v i686-w64-mingw32-windres || true)
[ -n "$windres" ] || exit 77
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# As the Windows build links it, and as a .res to read back.
# (The host's C preprocessor stands in for the MinGW compiler windres would call.)
"$windres" --preprocessor=cpp --input "$rc" --output-format coff --output "$tmp/marlowin.o"
"$windres" --preprocessor=cpp --input "$rc" --output-format res --output "$tmp/marlowin.res"
# Decompile what was compiled and check what a Windows Explorer would show.
"$windres" --input "$tmp/marlowin.res" --output "$tmp/back.rc"
grep -q 'VALUE "ProductName", "Marlowin"' "$tmp/back.rc"
grep -q 'VALUE "ProductVersion", "1.00"' "$tmp/back.rc"
grep -q 'VALUE "FileVersion", "1.00"' "$tmp/back.rc"
grep -q 'VALUE "LegalCopyright", "Copyright (c) 2026 The Marlowin authors"' "$tmp/back.rc"
grep -q 'BLOCK "080404b0"' "$tmp/back.rc" || grep -q 'BLOCK "080404B0"' "$tmp/back.rc"
grep -qi 'VALUE "Translation", 0x804' "$tmp/back.rc"
grep -q 'FILEVERSION 1, 0, 0, 0' "$tmp/back.rc"
grep -q 'LANGUAGE 4, 2' "$tmp/back.rc"
grep -q 'Has 4 elements' "$tmp/back.rc"  # the icon in 16, 32, 48 and 64 px
grep -q 'PerMonitorV2' "$tmp/back.rc"     # the manifest
echo "ok"
