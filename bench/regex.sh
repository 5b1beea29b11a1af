#!/usr/bin/env bash
# kensaku -E beside ripgrep on the corpus of bench/corpus.sh, counting matching lines: on the
# UTF-8 copy against rg, on the Shift_JIS copy against `rg -E shift_jis`, and folded searches
# against rg with the fold written out as classes. Each time is the best of three runs; the
# ratio is rg's time over kensaku's (above 1: kensaku is faster), and the counts must agree.
#
#   bench/regex.sh BUILD_DIR [CORPUS_DIR]
set -eu
build=$(cd "${1:-build/linux}" && pwd)
dir=${2:-/tmp/kensaku-corpus}
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/corpus.sh" "$dir" >/dev/null
cli=$build/kensaku
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

best() {  # seconds of the best of three runs of a command; its output in $work/out
  local t s e
  t=999
  for _ in 1 2 3; do
    s=$(date +%s.%N)
    "$@" >"$work/out" || true
    e=$(date +%s.%N)
    t=$(awk -v a="$t" -v b="$(awk -v s="$s" -v e="$e" 'BEGIN { print e - s }')" \
      'BEGIN { print (b < a ? b : a) }')
  done
  echo "$t"
}

row() {  # label, kensaku options..., --, rg options...
  local label=$1 file=$2
  shift 2
  local k=() r=()
  while [ "$1" != -- ]; do k+=("$1"); shift; done
  shift
  r=("$@")
  local tk tr ck cr
  tk=$(best "$cli" -c "${k[@]}" "$file"); ck=$(cat "$work/out")
  tr=$(best rg -c --no-config "${r[@]}" "$file"); cr=$(cat "$work/out")
  [ -n "$cr" ] || cr=0  # rg -c writes nothing for no line
  local mark=""
  [ "$ck" = "$cr" ] || mark=" COUNTS DIFFER ($cr)"
  printf '%-44s %8s %6.3f s  rg %6.3f s  %5.2fx%s\n' "$label" "$ck" "$tk" "$tr" \
    "$(awk -v a="$tr" -v b="$tk" 'BEGIN { print a / b }')" "$mark"
}

u=$dir/corpus-utf8.txt
s=$dir/corpus-sjis.txt
echo "UTF-8 copy, against rg"
for re in 'ファイル(名|パス)' '[ァ-ヶ]ー[ァ-ヶ]' '\d{4}年' 'ab*c' '\p{Han}{4}した' 'Linux|Windows' \
          '(?i)kernel' '^\s*$' '[0-9]+\.[0-9]+' '[ァ-ヶ]{5}'; do
  row "$re" "$u" -E "$re" -- "$re"
done
echo "Shift_JIS copy, against rg -E shift_jis"
for re in 'ファイル(名|パス)' '[ァ-ヶ]ー[ァ-ヶ]' '\d{4}年' 'ab*c' '\p{Han}{4}した' 'Linux|Windows' \
          '(?i)kernel' '[0-9]+\.[0-9]+' '[ァ-ヶ]{5}'; do
  row "$re" "$s" -E "$re" -- -E shift_jis "$re"
done
echo "Folded, UTF-8 copy, against rg with the classes written out"
row "-k ファイル(名|パス)" "$u" -k -E 'ファイル(名|パス)' -- '[フふ][ァぁ][イい][ルる](名|[パぱ][スす])'
row "--ignore-width ガイド|データ" "$u" --ignore-width -E 'ガイド|データ' -- \
  '(ガ|ｶﾞ)(イ|ｲ)(ド|ﾄﾞ)|(デ|ﾃﾞ)(ー|ｰ)(タ|ﾀ)'
row "--ignore-digits [0-9]{4}年" "$u" --ignore-digits -E '[0-9]{4}年' -- '[0-9０-９]{4}年'
row "-k [ァ-ヶ]{4}" "$u" -k -E '[ァ-ヶ]{4}' -- '[ァ-ヶぁ-ゖ]{4}'
echo "(a|aa)*b on one line of 200,000 characters"
line=$work/line
head -c 200000 /dev/zero | tr '\0' a >"$line"
echo >>"$line"
printf '%-44s %6.3f s\n' "(a|aa)*b" "$(best "$cli" -c -E '(a|aa)*b' "$line")"
