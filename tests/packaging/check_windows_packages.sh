#!/usr/bin/env bash
# The Windows packages as a person meets them, under Wine on the X server in DISPLAY: the
# installer installs silently and its uninstaller removes everything silently; the installed
# marlowin.exe, and the one unzipped from the portable zip, each open the window "Kestrova",
# retrieve a page from 127.0.0.1 and extract its title into the result box (read back through
# the clipboard), and end at 退出; the installer shows Marlowin's licence before installing,
# and every file in both folders is under a licence whose text ships in licenses/. Keys go to
# the window as a keyboard's would (xdotool).
# Skips (77) without the packages, an X server or the tools.
set -euo pipefail
dir=$(realpath "$1")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
setup=$(ls "$dir"/Marlowin-*-win64-setup.exe 2>/dev/null | head -n 1)
zip=$(ls "$dir"/Marlowin-*-win64.zip 2>/dev/null | head -n 1)
[ -n "$setup" ] && [ -n "$zip" ] && [ -n "${DISPLAY:-}" ] || exit 77
for tool in xdotool xclip unzip python3; do command -v "$tool" >/dev/null || exit 77; done
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)

tmp=$(mktemp -d)
server_pid=
stop() {
  [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap stop EXIT

# The page, from 127.0.0.1.
title="万维网检索测试 Marlowin"
mkdir "$tmp/site"
printf '<html><head><title>%s</title></head><body>ok</body></html>' "$title" >"$tmp/site/page.html"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$tmp/site" >/dev/null 2>&1 &
server_pid=$!

# Waits up to $2 seconds for a window named exactly $1; prints its id.
window_named() {
  for _ in $(seq $(($2 * 10))); do
    local id
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
keys() {
  xdotool key --delay 100 "$@"
}
# Dismisses the notice the last key brought, a message box titled Marlowin.
dismiss_notice() {
  local box
  box=$(window_named Marlowin 20) || { echo "no notice appeared"; return 1; }
  xdotool windowfocus --sync "$box" 2>/dev/null || true
  keys Return
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name '^Marlowin$' >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "the notice stayed"
  return 1
}

# Runs a marlowin.exe through a retrieval and an extraction, and ends it with 退出.
use_program() {
  local exe=$1
  "$wine" "$exe" >/dev/null 2>&1 &
  local pid=$!
  local window
  window=$(window_named Kestrova 60) || { echo "$exe: no window titled Kestrova"; return 1; }
  xdotool windowfocus --sync "$window"
  # The focus starts on 检索; the address box is next.
  keys Tab
  xdotool type --delay 20 "http://127.0.0.1:$port/page.html"
  keys shift+Tab space
  dismiss_notice
  xdotool windowfocus --sync "$window"
  keys Tab Tab space          # from 检索: the address box, then 提取
  dismiss_notice
  xdotool windowfocus --sync "$window"
  keys Tab Tab ctrl+a ctrl+c  # from 提取: 退出, then the result box
  sleep 0.5
  local got
  got=$(xclip -o -selection clipboard 2>/dev/null || true)
  [ "$got" = "$title" ] || { echo "$exe: the result box holds '$got'"; return 1; }
  keys shift+Tab space        # 退出
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid"; return 0; }
    sleep 0.1
  done
  echo "$exe: still running after 退出"
  kill "$pid"
  return 1
}

# The installer as a person starts it: past its welcome page comes Marlowin's licence, before
# anything is installed; cancelled there, it ends.
version=$(basename "$setup" | sed 's/^Marlowin-\(.*\)-win64-setup.exe$/\1/')
"$wine" "$setup" >/dev/null 2>&1 &
setup_pid=$!
welcome=$(window_named "Marlowin $version 安装" 60) || { echo "the installer showed no window"; exit 1; }
xdotool windowfocus --sync "$welcome"
keys Return
window_named "Marlowin $version 安装: 许可证协议" 20 >/dev/null ||
  { echo "no licence page after the welcome page"; exit 1; }
keys Escape
for _ in $(seq 100); do kill -0 "$setup_pid" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$setup_pid" 2>/dev/null || { echo "the installer stayed after its cancel"; exit 1; }

# The installer, silently, into a folder of its own; then its program; then the uninstaller.
target='C:\Marlowin-check'
target_unix="$("$wine" winepath -u "$target" 2>/dev/null | tr -d '\r')"
rm -rf "$target_unix"
"$wine" "$setup" /S "/D=$target"
[ -f "$target_unix/marlowin.exe" ] || { echo "the installer installed no marlowin.exe"; exit 1; }
[ -f "$target_unix/uninstall.exe" ] || { echo "the installer left no uninstaller"; exit 1; }
"$source_dir/scripts/check-windows-licenses" "$target_unix"
use_program "$target_unix/marlowin.exe"
"$wine" "$target_unix/uninstall.exe" /S "_?=$target"
# (Run in place, with _?=, the uninstaller cannot delete itself; everything else must go.)
leftover=$(cd "$target_unix" && find . -mindepth 1 ! -name uninstall.exe)
[ -z "$leftover" ] || { echo "the uninstaller left: $leftover"; exit 1; }

# The portable copy, unzipped anywhere.
unzip -q "$zip" -d "$tmp/portable"
"$source_dir/scripts/check-windows-licenses" "$tmp/portable/Marlowin"
use_program "$tmp/portable/Marlowin/marlowin.exe"
echo "ok"
