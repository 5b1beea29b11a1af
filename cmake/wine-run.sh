#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest: a Japanese locale (ANSI code page 932), one Wine
# prefix per build folder, made for the program's machine (win32 for i386, win64 for x86-64),
# and a private Xvfb when no display is set.
set -u

find_build_dir() {
  local d
  d=$(cd "$(dirname "$1")" && pwd)
  while [ "$d" != "/" ]; do
    [ -f "$d/CMakeCache.txt" ] && { echo "$d"; return; }
    d=$(dirname "$d")
  done
  pwd
}

build_dir=$(find_build_dir "$1")
export WINEPREFIX="${KENSAKU_WINEPREFIX:-$build_dir/wineprefix}"
# The machine field of the program's PE header (whose offset is at 0x3C) says which Wine the
# build needs; for a program of Wine's own (cmd), the prefix made before or the build's compiler.
pe=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
case $(od -An -t x2 -j $((${pe:-0} + 4)) -N 2 "$1" 2>/dev/null | tr -d ' ') in
  8664) export WINEARCH=win64 ;;
  014c) export WINEARCH=win32 ;;
  *)
    if grep -qs '^#arch=win64' "$WINEPREFIX/system.reg" ||
       { [ ! -f "$WINEPREFIX/system.reg" ] &&
         grep -qs '^CMAKE_C_COMPILER:.*x86_64-w64-mingw32' "$build_dir/CMakeCache.txt"; }; then
      export WINEARCH=win64
    else
      export WINEARCH=win32
    fi ;;
esac
# Some kernels run 64-bit code only (IA-32 emulation off: an i386 program's exec fails with
# "Exec format error"). There a 32-bit program cannot run at all: the test is skipped with CTest's
# skip code and a line that says why, rather than failed.
runs_32bit=true
if [ -x /usr/lib/wine/wine ]; then
  /usr/lib/wine/wine --version >/dev/null 2>&1
  [ $? = 126 ] && runs_32bit=false
fi
if [ "$WINEARCH" = win32 ] && ! $runs_32bit; then
  echo "wine-run.sh: skipped: this machine cannot run 32-bit programs (its kernel's IA-32" \
       "emulation is off), so $(basename "$1") was built but not run" >&2
  exit 77
fi
# Debian's wine and wineboot start the 32-bit loader whenever it is installed, which hands 64-bit
# programs on; where it cannot run, they go to the 64-bit loader directly.
if [ "$WINEARCH" = win64 ] && ! $runs_32bit && [ -x /usr/lib/wine/wine64 ]; then
  export WINELOADER=/usr/lib/wine/wine64
  wine() { /usr/lib/wine/wine64 "$@"; }
  wineboot() { /usr/lib/wine/wine64 wineboot.exe "$@"; }
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      break
    fi
    xvfb_pid=""
  done
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  reg=$(mktemp --suffix=.reg)
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Decorated"="N"\n"Managed"="N"\n' >"$reg"
  wine regedit "$reg" >/dev/null 2>&1
  rm -f "$reg"
  wineserver -w
fi

# The dialogs ask for two Mincho faces that Wine does not have; both are mapped to IPA Mincho,
# which Wine finds through fontconfig. Also done for a prefix made before the mapping existed.
fonts_done="$WINEPREFIX/.kensaku-font-substitutes"
if [ ! -f "$fonts_done" ]; then
  key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  for face in "標準明朝" "ＭＳ 明朝"; do
    wine reg add "$key" /v "$face" /t REG_SZ /d "IPAMincho" /f >/dev/null 2>&1
  done
  wineserver -w
  touch "$fonts_done"
fi

wine "$@"
