#!/usr/bin/env bash
# Two builds of the tool must write the same bytes: every kind and every fold value over the
# corpus in each encoding and over the mixed-encoding tree, with the output options that show
# matched parts, context and offsets. Run before and after a change of the searcher.
#
#   bench/same-output.sh OLD_KENSAKU NEW_KENSAKU [CORPUS_DIR]
#
# NEW_ARGS, if set, is added to the new build's arguments (say --output-encoding=raw, to compare
# with a build whose output was each file's own bytes). Prints one line per difference and a
# summary; exits 1 on any difference.
set -u
old=$1 new=$2
dir=${3:-/tmp/kensaku-corpus}
[ -f "$dir/corpus-sjis.txt" ] || { echo "no corpus in $dir: run bench/corpus.sh" >&2; exit 2; }
runs=0 differ=0

# The digest of a run's output, times in JSON left out, and its exit status.
digest() {
  "$@" 2>&1 | sed -E 's/"elapsed(_total)?":\{[^}]*\}/"elapsed":0/g' | sha256sum
  echo "${PIPESTATUS[0]}"
}

same() {  # same ARGS...: both builds
  local a b
  a=$(digest "$old" "$@")
  b=$(digest "$new" ${NEW_ARGS:-} "$@")
  runs=$((runs + 1))
  if [ "$a" != "$b" ]; then
    differ=$((differ + 1))
    echo "differ: $*"
  fi
}

inputs=("$dir/corpus-sjis.txt" "$dir/corpus-utf8.txt" "$dir/corpus-eucjp.txt"
        "$dir/corpus-utf16le.txt")
# Every fold value with each kind, counted, on the Shift_JIS and UTF-8 copies.
for fold in $(seq 0 127); do
  for input in "${inputs[@]:0:2}"; do
    same -c --fold-flags=$fold 'ファ[イ-ル]ル' "$input"
    same -c --fold-flags=$fold -F 'ｹﾝｻｸ' "$input"
    same -c --fold-flags=$fold --and 'コマンド&オプション' "$input"
  done
done
# The output forms, on every copy, for a few folds.
for input in "${inputs[@]}"; do
  for fold in 0 3 0x22 0x7f; do
    same -n -o --fold-flags=$fold '[ァ-ヶ]ー[ァ-ヶ]' "$input"
    same -n -b --fold-flags=$fold -F 'ファイル' "$input"
    same -c -w --fold-flags=$fold -F 'ﾌｧｲﾙ' "$input"
    same -c -x --fold-flags=$fold 'ファ.*' "$input"
    same -n -C1 -m 500 --fold-flags=$fold -F '２０００' "$input"
    same -c -v --fold-flags=$fold -F 'の' "$input"
    same --json -m 200 --fold-flags=$fold -F 'ﾌｧｲﾙ' "$input"
    same --json -C1 -m 50 --fold-flags=$fold 'ファイル' "$input"
    same --vimgrep -m 200 --fold-flags=$fold 'a.c' "$input"
  done
done
# Regular expressions, of ASCII alone and not, with the output forms, on every copy.
for input in "${inputs[@]}"; do
  for opts in -c "-n -o" "-c -w" "-c -x" "-c -v" "-n -C1 -m 300" "-c -i" "-n -o -k" \
    "-n -o --ignore-width"; do
    # shellcheck disable=SC2086
    same $opts -E 'ab*c|[0-9]+\.[0-9]+|^#|x86$' "$input"
    # shellcheck disable=SC2086
    same $opts -E 'ファイル(名|パス)|[ァ-ヶ]ー[ァ-ヶ]' "$input"
    # Rows of single characters, which Shift_JIS text reads in the pattern language.
    # shellcheck disable=SC2086
    same $opts -E -e '[ァ-ヶ]ー[ァ-ヶ]' -e '^.{2}[^ぁ-んA-Z]\.' "$input"
  done
done
# The mixed tree, in one run each.
for fold in 0 3 0x22 0x7f; do
  same -r -n --fold-flags=$fold -F 'ファイル' "$dir/tree-mixed"
  same -r -c -k 'けんさく' "$dir/tree-mixed"
  same -r -o -n --fold-flags=$fold -e 'オプション' -e '[０-９]+' "$dir/tree-mixed"
  same -r -l --fold-flags=$fold --and 'ファイル&ディレクトリ' "$dir/tree-mixed"
  same -r -n -A2 --fold-flags=$fold -F 'SEE ALSO' "$dir/tree-mixed"
done
echo "$runs runs, $differ differ"
[ "$differ" -eq 0 ]
