#!/usr/bin/env bash
# Installs what the build needs on a Debian machine, as root, with apt: only what is missing.
#   install-deps.sh demo     the tool alone (make demo): a compiler, cmake, make, and Python,
#                            kakasi-dic and unicode-data for the generated tables
#   install-deps.sh native   the Linux build (library, tool, unit tests, benchmarks)
#   install-deps.sh all      also the 32-bit and 64-bit Windows cross builds, Wine and the
#                            comparison tools, and RE2's sources for kensaku64.dll
#                            (cmake/fetch-re2.sh)
#   install-deps.sh bench    the whole-file comparison's tools only (bench/peers.sh), and the
#                            32-bit Linux compiler of the linux-i686 preset (bench/dll-timing.sh)
set -eu
want=${1:-all}

native=(cmake make g++ pkg-config googletest libgtest-dev libbenchmark-dev libtsan2 clang
        libclang-rt-14-dev kakasi-dic unicode-data
        dpkg-dev python3 python3-pytest python3-setuptools python3-pip python3-dask
        python3-distributed python3-pandas valgrind ripgrep libre2-dev skkdic
        cmigemo)
windows=(g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 xvfb xauth locales bc
         ugrep ripgrep fonts-ipafont-mincho imagemagick llvm unzip
         g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 python3-six)

demo=(g++ cmake make python3 kakasi-dic unicode-data)

bench=(hyperfine nkf ripgrep grep libc-bin dpkg-dev python3 python3-dask python3-distributed
       python3-pandas time g++-multilib)

pkgs=("${native[@]}")
[ "$want" = all ] && pkgs+=("${windows[@]}")
[ "$want" = bench ] && pkgs=("${bench[@]}")
[ "$want" = demo ] && pkgs=("${demo[@]}")

missing=()
for p in "${pkgs[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  if [ "$(id -u)" != 0 ]; then echo "run as root to install packages" >&2; exit 1; fi
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes its ANSI code page (932) from a Japanese locale.
if [ "$want" = all ] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  if [ "$(id -u)" != 0 ]; then echo "run as root to generate ja_JP.UTF-8" >&2; exit 1; fi
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi

# RE2 for kensaku64.dll, from Debian's source package. Without it that DLL is built without
# regular expressions (its CMake configuration says so), so a failure here stops nothing.
if [ "$want" = all ]; then
  bash "$(dirname "$0")/fetch-re2.sh" || true
fi
