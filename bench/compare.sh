#!/usr/bin/env bash
# Whole-file comparison: the kensaku tool against grep, ugrep and ripgrep on the same generated
# Shift_JIS file, the same searches, in one run. Prints best-of-three wall times and each tool's
# time as a multiple of kensaku's (above 1: kensaku is faster).
#
#   bench/compare.sh BUILD_DIR [FILE]
set -eu
build=${1:-build/linux}
file=${2:-/tmp/kensaku-bench-sjis.txt}
cli=$build/kensaku
[ -f "$file" ] || "$build/bench/kensaku_file_bench" "$file" >/dev/null

best_of_3() {
  local best=""
  for _ in 1 2 3; do
    local start end took
    start=$(date +%s.%N)
    "$@" >"$out" 2>/dev/null || true  # a file: grep stops at the first hit when writing to /dev/null
    end=$(date +%s.%N)
    took=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$took < $best" | bc -l)" = 1 ]; then best=$took; fi
  done
  echo "$best"
}

row() {  # name, kensaku time, then "tool time" pairs
  local name=$1 base=$2
  shift 2
  printf '%-34s kensaku %6.3fs' "$name" "$base"
  while [ $# -gt 0 ]; do
    printf '  %s %6.3fs (x%.2f)' "$1" "$2" "$(echo "$2 / $base" | bc -l)"
    shift 2
  done
  echo
}

hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n' | sed 's/\(..\)/\\x\1/g'; }

export LC_ALL=C
out=$(mktemp)
trap 'rm -f "$out"' EXIT
rare=$(printf '\x8C\x9F\x8D\xF5\x83\x47\x83\x93\x83\x57\x83\x93')
common=$(printf '\x83\x74\x83\x40\x83\x43\x83\x8B')
echo "input: $file ($(du -m "$file" | cut -f1) MB); $(nproc) cores; $(date -u +%Y-%m-%d)"
for name in rare common; do
  p=${!name}
  k=$(best_of_3 "$cli" --pattern-encoding=sjis -F "$p" "$file")
  g=$(best_of_3 grep -a -F -- "$p" "$file")
  u=$(best_of_3 ugrep -a -F -- "$p" "$file")
  r=$(best_of_3 rg -a --no-unicode -- "(?-u)$(hex "$p")" "$file")
  row "literal, $name" "$k" grep "$g" ugrep "$u" rg "$r"
done
k=$(best_of_3 "$cli" --pattern-encoding=sjis -n -F "$rare" "$file")
g=$(best_of_3 grep -a -n -F -- "$rare" "$file")
u=$(best_of_3 ugrep -a -n -F -- "$rare" "$file")
r=$(best_of_3 rg -a -n --no-unicode -- "(?-u)$(hex "$rare")" "$file")
row "literal, rare, line numbers" "$k" grep "$g" ugrep "$u" rg "$r"
k=$(best_of_3 "$cli" --pattern-encoding=sjis -i -F "DATA FILE" "$file")
g=$(best_of_3 grep -a -i -F -- "DATA FILE" "$file")
u=$(best_of_3 ugrep -a -i -F -- "DATA FILE" "$file")
r=$(best_of_3 rg -a -i -F -- "DATA FILE" "$file")
row "literal, ignoring case" "$k" grep "$g" ugrep "$u" rg "$r"
k=$(best_of_3 "$cli" --pattern-encoding=sjis 'Se.rch[0-9]' "$file")
g=$(best_of_3 grep -a -- 'Se.rch[0-9]' "$file")
u=$(best_of_3 ugrep -a -- 'Se.rch[0-9]' "$file")
r=$(best_of_3 rg -a --no-unicode -- 'Se.rch[0-9]' "$file")
row "pattern with . and a set" "$k" grep "$g" ugrep "$u" rg "$r"
