#!/usr/bin/env bash
# The include-direction check must catch a loop between folders and an include of the entry
# layer, and pass a tree that points one way.
set -u
check=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fails=0

tree() {  # tree NAME "folder/file:include" ...
  local root=$dir/$1
  shift
  for entry in "$@"; do
    mkdir -p "$root/$(dirname "${entry%%:*}")"
    echo "#include \"${entry#*:}\"" >>"$root/${entry%%:*}"
  done
  echo "$root"
}

expect() {  # expect STATUS ROOT
  bash "$check" "$2" >"$dir/out" 2>&1
  local got=$?
  if [ "$got" != "$1" ]; then
    echo "$(basename "$2"): exit $got, expected $1"
    cat "$dir/out"
    fails=$((fails + 1))
  fi
}

expect 0 "$(tree good "match/a.cpp:mbchar/m.h" "search/s.h:match/a.h" "capi/e.cpp:search/s.h")"
expect 1 "$(tree loop "match/a.cpp:search/s.h" "search/s.cpp:match/a.h")"
expect 1 "$(tree long_loop "a/x.h:b/y.h" "b/y.h:c/z.h" "c/z.h:a/x.h")"
expect 1 "$(tree entry "capi/e.cpp:search/s.h" "ui/w.cpp:capi/e.h")"
expect 0 "$(tree own_folder "match/a.cpp:match/b.h" "match/b.cpp:match/a.h")"
expect 0 "$(tree settings_above "capi/e.cpp:frame/settings.h" "ui/w.cpp:frame/settings.h")"
expect 1 "$(tree settings_below "capi/e.cpp:search/s.h" "search/s.cpp:frame/settings.h")"

[ $fails -eq 0 ] && echo "include-direction check: all cases as expected"
exit $((fails > 0))
