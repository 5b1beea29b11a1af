#!/usr/bin/env bash
# The kensaku tool beside the tools a user would otherwise run on Shift_JIS text, on the corpus
# of bench/corpus.sh, all counting matching lines, one timed run each (hyperfine, after one
# warm-up): `rg -E shift_jis` (correct on trail bytes), byte-wise `LC_ALL=C grep` (fast, but
# counts lines where a trail byte looks like ASCII or a lead byte) and `nkf -S -w | grep`.
# Prints MB/s, the ratio to rg, and each count against the true count, taken from the UTF-8 copy
# ((x): wrong). Then the tree of the same corpus (-r; counts summed over its files), with two
# threads and with one. The peers have no kana folding, pattern language or conjunctive lists:
# they get the same search in their own terms (a class per character; the 60 entries as
# literals). Last, the same cases on the UTF-8 copy against rg on its home ground (no -E), beside
# kensaku's own time on the CP932 copy and on the EUC-JP and UTF-16LE copies, checking that
# every copy selects the same line numbers; and the tree with its files in five encodings.
#
#   bench/peers.sh BUILD_DIR [CORPUS_DIR]
set -eu
build=$(cd "${1:-build/linux}" && pwd)
dir=${2:-/tmp/kensaku-corpus}
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/corpus.sh" "$dir" >/dev/null
sjis=$dir/corpus-sjis.txt
utf8=$dir/corpus-utf8.txt
eucjp=$dir/corpus-eucjp.txt
utf16=$dir/corpus-utf16le.txt
cli=$build/kensaku
mb=$(awk -v s="$(stat -c %s "$sjis")" 'BEGIN { printf "%.1f", s / 1e6 }')
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

list=$here/list-60.txt
iconv -f UTF-8 -t CP932 "$list" >"$work/list-sjis.txt"
sj() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

# Seconds of one run of a piece of shell; its output (a count) goes to $work/out.
time_of() {
  { echo "sj() { printf '%s' \"\$1\" | iconv -f UTF-8 -t CP932; }"; echo "$1 >$work/out"; } \
    >"$work/cmd.sh"
  hyperfine -N -i --warmup 1 --runs 1 --export-json "$work/t.json" "bash $work/cmd.sh" \
    >/dev/null 2>&1
  python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["mean"])' \
    "$work/t.json"
}

printf '# %s, %s cores, %s, %s MB (CP932, %s lines)\n' "$(date -u +%Y-%m-%d)" "$(nproc)" \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')" "$mb" \
  "$(wc -l <"$sjis")"
printf '%-32s %8s %8s %6s %8s %8s   %s\n' case kensaku rg ratio grep-C nkf-grep \
  "counts: true / kensaku rg grep-C nkf-grep"

# Each argument is shell text: name, then the arguments of kensaku, rg, byte-wise grep (sj
# converts to CP932), grep after nkf, and grep on the UTF-8 copy for the true count.
row() {
  local name=$1 tk tr tg tn ck cr cg cn ct
  tk=$(time_of "$cli -c $2 $sjis"); ck=$(cat "$work/out")
  tr=$(time_of "rg -c -E shift_jis $3 $sjis"); cr=$(cat "$work/out")
  tg=$(time_of "LC_ALL=C grep -a -c $4 $sjis"); cg=$(cat "$work/out")
  tn=$(time_of "nkf -S -w $sjis | LC_ALL=ja_JP.UTF-8 grep -c $5"); cn=$(cat "$work/out")
  time_of "LC_ALL=ja_JP.UTF-8 grep -c $6 $utf8" >/dev/null; ct=$(cat "$work/out")
  mark() { [ "$1" = "$ct" ] && echo "$1" || echo "$1(x)"; }
  awk -v name="$name" -v mb="$mb" -v k="$tk" -v r="$tr" -v g="$tg" -v n="$tn" \
    -v counts="$ct / $(mark "$ck") $(mark "$cr") $(mark "$cg") $(mark "$cn")" 'BEGIN {
      printf "%-32s %8.0f %8.0f %6.2f %8.0f %8.0f   %s\n", name, mb / k, mb / r, r / k,
        mb / g, mb / n, counts }'
}

kana="'[フふ][ァぁ][イい][ルる]'"
kana_sj='-E "($(sj フ)|$(sj ふ))($(sj ァ)|$(sj ぁ))($(sj イ)|$(sj い))($(sj ル)|$(sj る))"'
range="'[ァ-ヶ]ー[ァ-ヶ]'"
# Each character's forms under the folds, as a class for the peers, and as alternatives of
# CP932 bytes for byte-wise grep.
wide="'[フﾌ][ァｧ][イｲ][ルﾙ]'"
wide_sj="-E \"($(sj フ)|$(sj ﾌ))($(sj ァ)|$(sj ｧ))($(sj イ)|$(sj ｲ))($(sj ル)|$(sj ﾙ))\""
digits="'[2２][0０][0０][0０]'"
digits_sj="-E \"(2|$(sj ２))(0|$(sj ０))(0|$(sj ０))(0|$(sj ０))\""
every="'[フふﾌ][ァぁｧ][イいｲ][ルるﾙ]'"
every_sj="-E \"($(sj フ)|$(sj ふ)|$(sj ﾌ))($(sj ァ)|$(sj ぁ)|$(sj ｧ))($(sj イ)|$(sj い)|$(sj ｲ))"
every_sj+="($(sj ル)|$(sj る)|$(sj ﾙ))\""
x86="'[xXｘＸ][8８][6６]'"
x86_sj="-E \"(x|X|$(sj ｘ)|$(sj Ｘ))(8|$(sj ８))(6|$(sj ６))\""
range_sj=$'"\x83[\x40-\x96]$(sj ー)\x83[\x40-\x96]"'
L=$list
S=$work/list-sjis.txt
# Every case: its name, then the arguments of kensaku, of rg (and of grep on UTF-8 text) and of
# byte-wise grep.
cases=(
  "literal ASCII -F Linux" "-F Linux" "-F Linux" "-F Linux"
  "literal hiragana -F している" "-F している" "-F している" '-F "$(sj している)"'
  "ignoring case -i -F linux" "-i -F linux" "-i -F linux" "-i -F linux"
  "bracket range [ァ-ヶ]ー[ァ-ヶ]" "$range" "$range" "$range_sj"
  "kana-folded -k -F ファイル" "-k -F ファイル" "$kana" "$kana_sj"
  "width --ignore-width -F ファイル" "--ignore-width -F ファイル" "$wide" "$wide_sj"
  "digits --ignore-digits -F 2000" "--ignore-digits -F 2000" "$digits" "$digits_sj"
  "every fold -ik --ignore-width ..." "-i -k --ignore-width --ignore-digits -F ファイル" "$every"
  "$every_sj"
  "case, width, digits -i ... x86" "-i --ignore-width --ignore-digits -F x86" "$x86" "$x86_sj"
  "60 literals -F -f" "-F -f $L" "-F -f $L" "-F -f $S"
  "60 patterns -f" "-f $L" "-F -f $L" "-F -f $S"
  "60 conjunctive --and -f" "--and -f $L" "-F -f $L" "-F -f $S"
  "a single backslash -F '\\'" "-F '\\'" "-F '\\'" "-F '\\'"
)
for ((i = 0; i < ${#cases[@]}; i += 4)); do
  row "${cases[i]}" "${cases[i + 1]}" "${cases[i + 2]}" "${cases[i + 3]}" "${cases[i + 2]}" \
    "${cases[i + 2]}"
done

# The tree: the same search over every file, the counts of -c summed.
tree_row() {
  local name=$1 threads=$2 tk tr tg ck cr cg ct
  local sum="| awk -F: '{ s += \$NF } END { print s + 0 }'"
  tk=$(time_of "$cli -r -c -j$threads -F ファイル $dir/tree-sjis $sum"); ck=$(cat "$work/out")
  tr=$(time_of "rg -c -j$threads --no-ignore --hidden -E shift_jis -F ファイル $dir/tree-sjis $sum")
  cr=$(cat "$work/out")
  tg=$(time_of "LC_ALL=C grep -r -a -c -F \"\$(sj ファイル)\" $dir/tree-sjis $sum")
  cg=$(cat "$work/out")
  time_of "LC_ALL=ja_JP.UTF-8 grep -r -c -F ファイル $dir/tree-utf8 $sum" >/dev/null
  ct=$(cat "$work/out")
  mark() { [ "$1" = "$ct" ] && echo "$1" || echo "$1(x)"; }
  awk -v name="$name" -v mb="$tree_mb" -v k="$tk" -v r="$tr" -v g="$tg" \
    -v counts="$ct / $(mark "$ck") $(mark "$cr") $(mark "$cg") -" 'BEGIN {
      printf "%-32s %8.0f %8.0f %6.2f %8.0f %8s   %s\n", name, mb / k, mb / r, r / k, mb / g,
        "-", counts }'
}
tree_mb=$(du -sb --apparent-size "$dir/tree-sjis" | awk '{ printf "%.1f", $1 / 1e6 }')
printf '# tree: %s files, %s MB\n' "$(find "$dir/tree-sjis" -type f | wc -l)" "$tree_mb"
tree_row "tree -r -F ファイル, 2 threads" 2
tree_row "tree -r -F ファイル, 1 thread" 1

# The same cases in the other encodings: MB/s of each copy's own size, kensaku on UTF-8 against
# its own CP932 time and against rg, and whether every copy selects the CP932 copy's lines.
size_mb() { awk -v s="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", s / 1e6 }'; }
utf8_mb=$(size_mb "$utf8")
eucjp_mb=$(size_mb "$eucjp")
utf16_mb=$(size_mb "$utf16")
printf '# UTF-8 %s MB, EUC-JP %s MB, UTF-16LE %s MB\n' "$utf8_mb" "$eucjp_mb" "$utf16_mb"
printf '%-32s %8s %8s %6s %8s %6s %8s %8s   %s\n' case sjis utf-8 u/sjis rg-utf8 k/rg euc-jp \
  utf-16 "same lines"
# The line numbers kensaku selects with these arguments, as one checksum.
lines_of() {
  printf 'sj() { printf "%%s" "$1" | iconv -f UTF-8 -t CP932; }\n%s -n %s\n' "$cli" "$1" |
    bash | cut -d: -f1 | cksum
}
for ((i = 0; i < ${#cases[@]}; i += 4)); do
  k=${cases[i + 1]} r=${cases[i + 2]}
  ts=$(time_of "$cli -c $k $sjis")
  tu=$(time_of "$cli -c $k $utf8")
  te=$(time_of "$cli -c $k $eucjp")
  tw=$(time_of "$cli -c $k $utf16")
  tr=$(time_of "rg -c $r $utf8")
  want=$(lines_of "$k $sjis")
  same=yes
  for f in "$utf8" "$eucjp" "$utf16"; do
    [ "$(lines_of "$k $f")" = "$want" ] || same="NO ($(basename "$f"))"
  done
  awk -v name="${cases[i]}" -v s="$ts" -v u="$tu" -v e="$te" -v w="$tw" -v r="$tr" \
    -v same="$same" -v ms="$mb" -v mu="$utf8_mb" -v me="$eucjp_mb" -v mw="$utf16_mb" 'BEGIN {
      printf "%-32s %8.0f %8.0f %6.2f %8.0f %6.2f %8.0f %8.0f   %s\n", name, ms / s, mu / u,
        (mu / u) / (ms / s), mu / r, r / u, me / e, mw / w, same }'
done

# The UTF-8 tree against rg on its home ground (no ignore files, hidden files searched).
utf8_tree_mb=$(du -sb --apparent-size "$dir/tree-utf8" | awk '{ printf "%.1f", $1 / 1e6 }')
printf '# UTF-8 tree: %s files, %s MB\n' "$(find "$dir/tree-utf8" -type f | wc -l)" \
  "$utf8_tree_mb"
printf '%-32s %8s %8s %6s   %s\n' case kensaku rg k/rg "counts: kensaku rg"
for threads in 2 1; do
  sum="| awk -F: '{ s += \$NF } END { print s + 0 }'"
  tk=$(time_of "$cli -r -c -j$threads -F ファイル $dir/tree-utf8 $sum"); ck=$(cat "$work/out")
  tr=$(time_of "rg -c -j$threads --no-ignore --hidden -F ファイル $dir/tree-utf8 $sum")
  cr=$(cat "$work/out")
  awk -v name="UTF-8 tree -F ファイル, -j$threads" -v mb="$utf8_tree_mb" -v k="$tk" -v r="$tr" \
    -v counts="$ck $cr" 'BEGIN {
      printf "%-32s %8.0f %8.0f %6.2f   %s\n", name, mb / k, mb / r, r / k, counts }'
done

# A tree with its files in five encodings, each read in its own: the count against the UTF-8
# twin's.
sum="| awk -F: '{ s += \$NF } END { print s + 0 }'"
mixed_mb=$(du -sb --apparent-size "$dir/tree-mixed" | awk '{ printf "%.1f", $1 / 1e6 }')
tk=$(time_of "$cli -r -c -k -F ファイル $dir/tree-mixed $sum"); ck=$(cat "$work/out")
time_of "LC_ALL=ja_JP.UTF-8 grep -r -c $kana $dir/tree-utf8/1 $sum" >/dev/null
ct=$(cat "$work/out")
printf '# mixed tree: %s files, %s MB\n' "$(find "$dir/tree-mixed" -type f | wc -l)" "$mixed_mb"
awk -v mb="$mixed_mb" -v k="$tk" -v counts="$ct / $ck" 'BEGIN {
  printf "%-32s %8.0f MB/s   counts: true / kensaku %s\n", "mixed tree -r -k -F ファイル",
    mb / k, counts }'
