#!/usr/bin/env bash
# The export-list check must pass the source tree and catch an export missing from, or wrong in,
# any of the lists that follow kensaku.h.
set -u
check=$1
source=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fails=0

expect() {  # expect STATUS NAME SED_SCRIPT FILE: the check on a copy with FILE edited
  local root=$dir/$2
  mkdir -p "$root/include" "$root/src/capi" "$root/python/kensaku"
  cp "$source/include/kensaku.h" "$source/include/kensaku_search.h" "$root/include/"
  cp "$source/src/capi/kensaku.def" "$source/src/capi/kensaku.map" "$root/src/capi/"
  cp "$source/python/kensaku/raw.py" "$source/python/kensaku/_native.py" "$root/python/kensaku/"
  [ -n "$3" ] && sed -i -E "$3" "$root/$4"
  python3 "$check" "$root" >"$dir/out" 2>&1
  local got=$?
  if [ "$got" != "$1" ]; then
    echo "$2: exit $got, expected $1"
    cat "$dir/out"
    fails=$((fails + 1))
  fi
}

expect 0 as_is "" ""
expect 1 map_lacks_one 's/ LinexMatchs;//' src/capi/kensaku.map
expect 1 map_has_more 's/ Msgi;/ Msgi; Extra;/' src/capi/kensaku.map
expect 1 def_lacks_one '/^ *QFindStart@0/d' src/capi/kensaku.def
expect 1 def_ordinal 's/^( *QInputSub@4 +)@38/\1@44/' src/capi/kensaku.def
expect 1 def_bytes 's/^( *FoutputStr)@8/\1@12/' src/capi/kensaku.def
expect 1 python_lacks_one '/"xsjis":/d' python/kensaku/raw.py
expect 1 python_arguments 's/"LinexInc": \(_int, \[_text, _text\]\)/"LinexInc": (_int, [_text])/' \
  python/kensaku/raw.py
expect 1 map_lacks_reentrant 's/ kensaku_search_lines;//' src/capi/kensaku.map
expect 1 prototype_lacks_one '/"kensaku_search_lines":/d' python/kensaku/_native.py
expect 1 prototype_arguments 's/"kensaku_search_feed": \(ctypes.c_int, \[_P, /"kensaku_search_feed": (ctypes.c_int, [/' \
  python/kensaku/_native.py
expect 1 prototype_result 's/"kensaku_query_free": \(None,/"kensaku_query_free": (ctypes.c_int,/' \
  python/kensaku/_native.py
expect 1 header_ordinal 's|/\* 43 \*/|/* 42 */|' include/kensaku.h

[ $fails -eq 0 ] && echo "export-list check: all cases as expected"
exit $((fails > 0))
