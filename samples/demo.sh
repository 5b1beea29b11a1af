#!/usr/bin/env bash
# Runs the command-line tool on the bundled Shift_JIS sample and shows what it finds.
set -u
cli=${1:-build/linux/kensaku}
sample=$(dirname "$0")/sample.sjis.txt

run() {
  echo "\$ kensaku $*"
  "$cli" "$@" "$sample" | tr -d '\r'
  echo
}

echo "Sample: $sample ($(wc -l <"$sample") lines of Shift_JIS text, CR LF line ends)"
echo
echo "== Literal search"
run -F 検索
echo "== Hiragana, katakana and half-width katakana alike (-k ignores kana, -w width)"
run -n -w ケンサク
echo "== Full-width letters and case ignored"
run -n -w -i KENSAKU
echo "== Both terms, in order"
run -n -a 'ソフト&ファイル'
echo "== Only the matched parts; full-width digits read as ASCII (-d)"
run -o -d '[0-9]...円'
echo "== The backslash is found once: the second byte of ソ (0x83 0x5C) is no backslash"
run -n -F '\'
echo "(a byte-wise grep for 0x5C hits lines $(LC_ALL=C grep -n -F '\' "$sample" | cut -d: -f1 | paste -sd, -))"
