#!/usr/bin/env bash
# libkensaku.so must define exactly the C interface listed in kensaku.map.
set -eu
so=$1
map=$2
want=$(sed -n '/global:/,/local:/p' "$map" | grep -v 'global:\|local:\|/\*' | tr ';' '\n' |
       tr -d ' ' | grep -v '^$' | sort)
got=$(nm -D --defined-only "$so" | awk '$2 == "T" || $2 == "D" || $2 == "B" {print $3}' | sort)
if [ "$want" != "$got" ]; then
  echo "exported symbols differ from $map"; diff <(echo "$want") <(echo "$got"); exit 1
fi
echo "$(wc -l <<<"$want") symbols match"
