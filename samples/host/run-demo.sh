#!/usr/bin/env bash
# Runs the sample host under Wine on the bundled Shift_JIS sample.
#   run-demo.sh BUILD_DIR               with a display: the search box, for a person to use
#   run-demo.sh BUILD_DIR --shots DIR   in a private Xvfb: two screenshots (PNG) into DIR
# Without a display the first form takes the screenshots into BUILD_DIR/demo.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
host="$build/bin/kensaku_host.exe"
# Wine's drive Z: is the root of the file system.
win_path() { printf 'Z:%s' "$1" | tr / '\\'; }
# The sample goes to C:\kensaku under a Japanese name, which the captions then show.
KENSAKU_WINEPREFIX="$build/wineprefix" bash "$root/cmake/wine-run.sh" cmd /c exit \
  >/dev/null 2>&1 || true  # makes the prefix if missing
mkdir -p "$build/wineprefix/drive_c/kensaku"
cp "$root/samples/sample.sjis.txt" "$build/wineprefix/drive_c/kensaku/サンプル.txt"
sample='C:\kensaku\サンプル.txt'
patterns='検索\nケンサク'

shots=""
if [ "${2:-}" = "--shots" ]; then
  shots=$(mkdir -p "$3" && cd "$3" && pwd)
elif [ -z "${DISPLAY:-}" ]; then
  shots="$build/demo"
  mkdir -p "$shots"
fi

if [ -z "$shots" ]; then
  echo "The search box is filled with the sample; press 検索開始 to search, Close to end."
  exec bash "$root/cmake/wine-run.sh" "$host" "$sample" "$patterns"
fi

# A private X server of our own, so the pictures hold only the library's windows.
xvfb_pid=""
for n in $(seq 150 190); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1024x400x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  if [ -e "/tmp/.X11-unix/X$n" ]; then export DISPLAY=":$n"; break; fi
  kill "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || { echo "no X display could be started" >&2; exit 1; }
host_pid=""
trap '[ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null; kill "$xvfb_pid" 2>/dev/null' EXIT

work=$(mktemp -d)
win_work=$(win_path "$work")
bash "$root/cmake/wine-run.sh" "$host" --shots "$win_work" "$sample" "$patterns" &
host_pid=$!

# Each step: wait for the host to say what to capture, let the windows paint, take the picture.
take() {
  local step=$1 out=$2
  for _ in $(seq 1 600); do
    [ -f "$work/$step.ready" ] && break
    kill -0 "$host_pid" 2>/dev/null || { echo "the host ended early" >&2; exit 1; }
    sleep 0.1
  done
  [ -f "$work/$step.ready" ] || { echo "the host never showed $step" >&2; exit 1; }
  sleep 1
  import -window root -crop "$(tr -d '\r\n' <"$work/$step.ready")" +repage "$out"
  rm -f "$work/$step.ready"
  echo "saved $out"
}
take box "$shots/search-box.png"
take viewer "$shots/viewer.png"
wait "$host_pid" || true
host_pid=""
rm -rf "$work"
