#!/usr/bin/env bash
# The export timing of every build on one input, in one run: libkensaku.so, the same code built
# for 32-bit Linux, kensaku.dll under 32-bit Wine and kensaku64.dll under 64-bit Wine. Rounds take
# the builds in turn, so that whatever else the machine does falls on each alike; the best of
# each row is kept, every build must return what the shared library returns, and each row is
# printed with its share of the shared library's speed.
#
# Then each build's C runtime against what the library does instead (bench/runtime_probe.c).
#
#   bench/dll-timing.sh [ROUNDS]   run from the source folder, after the linux, linux-i686,
#                                  win32 and win64 presets are built (`make bench-dll` does all);
#                                  CORPUS names the folder of bench/corpus.sh (/tmp/kensaku-corpus)
set -eu
rounds=${1:-3}
corpus=${CORPUS:-/tmp/kensaku-corpus}
input=$corpus/corpus-sjis.txt
list=$corpus/list-60-sjis.txt
[ -f "$input" ] && [ -f "$list" ] || { echo "no corpus in $corpus: run bench/corpus.sh" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

read -r -a builds <<<"${BUILDS:-so i686 dll32 dll64}"  # a subset: BUILDS="so dll32"
declare -A label=([so]="libkensaku.so" [i686]="32-bit Linux .so" [dll32]="kensaku.dll (Wine)"
                  [dll64]="kensaku64.dll (Wine)")
# run BUILD PROGRAM ARGS...: a program of the build's, the DLLs' under Wine with Z: names.
run() {
  local b=$1 program=$2
  shift 2
  case $b in
    so) "build/linux/$program" "$@" ;;
    i686) "build/linux-i686/$program" "$@" ;;
    dll32 | dll64)
      local dir=build/win32 args=()
      [ "$b" = dll64 ] && dir=build/win64
      for a in "$@"; do args+=("Z:$a"); done
      bash cmake/wine-run.sh "$dir/bin/$program.exe" "${args[@]}" ;;
  esac
}

for r in $(seq 1 "$rounds"); do
  for b in "${builds[@]}"; do
    run "$b" kensaku_export_timing "$input" "$list" "$work/out" | tr -d '\r' >>"$work/$b.txt"
  done
done

# Per build and row: the best MB/s, and the count the row returned.
printf 'input: %s (%s bytes), best of %s rounds\n\n' "$input" "$(stat -c %s "$input")" "$rounds"
files=()
for b in "${builds[@]}"; do files+=("$work/$b.txt"); done
labels=$(for b in "${builds[@]}"; do printf '%s|' "${label[$b]}"; done)
awk -v builds="${builds[*]}" -v labels="$labels" '
  BEGIN { nb = split(builds, b, " "); split(labels, l, "|") }
  FNR == 1 { file = FILENAME; sub(/.*\//, "", file); sub(/\.txt$/, "", file) }
  /MB\/s/ {
    name = substr($0, 1, 28); sub(/ +$/, "", name)
    mbs = $(NF - 3) + 0; count = $NF
    if (!(name in seen)) { seen[name] = 1; rows[++nr] = name }
    if (mbs > best[file, name]) best[file, name] = mbs
    if ((file, name) in got && got[file, name] != count) bad = bad "\n" file " " name ": counts differ between rounds"
    got[file, name] = count
  }
  END {
    printf "%-28s", "export, list"
    for (i = 1; i <= nb; ++i) printf " %22s", l[i]
    printf "\n"
    for (r = 1; r <= nr; ++r) {
      n = rows[r]; printf "%-28s", n
      for (i = 1; i <= nb; ++i) {
        f = b[i]
        if (got[f, n] != got["so", n]) bad = bad "\n" f " " n ": returned " got[f, n] " against " got["so", n]
        cell = sprintf("%d MB/s", best[f, n])
        if (f != "so") cell = cell sprintf(" %.2f", best[f, n] / best["so", n])
        printf " %22s", cell
      }
      printf "\n"
    }
    if (bad != "") { print "results differ:" bad > "/dev/stderr"; exit 1 }
  }' "${files[@]}"

for b in "${builds[@]}"; do
  printf '\n%s: the C runtime against the library'"'"'s way\n' "${label[$b]}"
  run "$b" kensaku_runtime_probe "$work/probe" | tr -d '\r'
done
