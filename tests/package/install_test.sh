#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the layout, and builds and runs a C consumer
# once through find_package(kensaku) and once through pkg-config.
#   install_test.sh BUILD_DIR SOURCE_DIR LIBDIR C_COMPILER
set -eu
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd) libdir=$3 cc=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAILED: $*" >&2; exit 1; }
# shellcheck source=readme.sh
. "$src/tests/package/readme.sh"

cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
  { cat "$work/install.log"; fail "cmake --install"; }

# Header, the tool, and the shared library with its SONAME and links.
cmp -s "$src/include/kensaku.h" "$prefix/include/kensaku.h" || fail "include/kensaku.h"
lib=$prefix/$libdir
[ -f "$lib/libkensaku.so.1.1.0" ] && [ ! -L "$lib/libkensaku.so.1.1.0" ] ||
  fail "libkensaku.so.1.1.0"
[ "$(readlink "$lib/libkensaku.so.1")" = libkensaku.so.1.1.0 ] || fail "libkensaku.so.1 link"
[ "$(readlink "$lib/libkensaku.so")" = libkensaku.so.1 ] || fail "libkensaku.so link"
soname=$(readelf -d "$lib/libkensaku.so.1.1.0" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libkensaku.so.1 ] || fail "SONAME is '$soname'"
out=$("$prefix/bin/kensaku" --output-encoding=utf-8 -n -F 検索 "$src/samples/sample.sjis.txt") ||
  fail "installed tool"
grep -q '検索' <<<"$out" || fail "installed tool found nothing"
"$prefix/bin/kensaku" --version | grep -q "^kensaku 1\.1\.0" || fail "kensaku --version"
grep -q '^\.TH KENSAKU 1' "$prefix/share/man/man1/kensaku.1" || fail "man page"
for f in kensakuConfig.cmake kensakuConfigVersion.cmake kensakuTargets.cmake; do
  [ -f "$lib/cmake/kensaku/$f" ] || fail "cmake/kensaku/$f"
done

# find_package: the version file accepts 1.0 and refuses 2.0.
cmake -S "$src/tests/package/consumer" -B "$work/cm" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_C_COMPILER="$cc" >"$work/cm.log" 2>&1 || { cat "$work/cm.log"; fail "configure"; }
cmake --build "$work/cm" >"$work/cm-build.log" 2>&1 || { cat "$work/cm-build.log"; fail "build"; }
readelf -d "$work/cm/consumer" | grep -q 'NEEDED.*\[libkensaku\.so\.1\]' ||
  fail "NEEDED libkensaku.so.1"
"$work/cm/consumer" || fail "consumer built with find_package"
if cmake -S "$src/tests/package/consumer" -B "$work/cm2" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_C_COMPILER="$cc" -DKENSAKU_WANT=2.0 >"$work/cm2.log" 2>&1; then
  fail "find_package(kensaku 2.0) accepted version 1"
fi

# The README's example: app.c built by its CMakeLists.txt lines.
mkdir "$work/app"
readme_block "$src" app.c >"$work/app/app.c"
{ echo 'cmake_minimum_required(VERSION 3.25)'; echo 'project(app C)'
  readme_block "$src" cmake; } >"$work/app/CMakeLists.txt"
cmake -S "$work/app" -B "$work/app/build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER="$cc" \
      >"$work/app.log" 2>&1 && cmake --build "$work/app/build" >>"$work/app.log" 2>&1 ||
  { cat "$work/app.log"; fail "README example (CMake)"; }
[ "$("$work/app/build/app")" = 1 ] || fail "README example (CMake) printed no 1"

# pkg-config, with nothing but the installed file to go by.
export PKG_CONFIG_LIBDIR=$lib/pkgconfig PKG_CONFIG_PATH=
[ "$(pkg-config --modversion kensaku)" = 1.1.0 ] || fail "pkg-config --modversion"
cflags=$(pkg-config --cflags kensaku)
[ "${cflags% }" = "-I$prefix/include" ] || fail "pkg-config --cflags gives '$cflags'"
# shellcheck disable=SC2046
"$cc" -o "$work/pc-consumer" "$src/tests/package/consumer/consumer.c" \
      $(pkg-config --cflags --libs kensaku) || fail "build with pkg-config"
LD_LIBRARY_PATH=$lib "$work/pc-consumer" || fail "consumer built with pkg-config"
echo "install into a prefix, find_package and pkg-config consumers: ok"
