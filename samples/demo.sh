#!/usr/bin/env bash
# Runs the command-line tool on the bundled Shift_JIS sample and shows what it finds.
set -u
cli=$(realpath "${1:-build/linux/kensaku}")
samples=$(cd "$(dirname "$0")" && pwd)
sample=sample.sjis.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$samples/$sample" "$work/"
cd "$work" || exit 1

# The sample is Shift_JIS; every run converts its lines to UTF-8 so that they read anywhere (on a
# UTF-8 terminal the tool does so by itself) and drops the sample's CRs.
run() {
  echo "\$ kensaku $*"
  "$cli" --output-encoding=utf-8 "$@" | tr -d '\r'
  echo
}

echo "Sample: $sample ($(wc -l <"$sample") lines of Shift_JIS text, CR LF line ends)"
echo
echo "== Literal search (-F)"
run -F 検索 "$sample"
echo "== Folding, shown with only the matched parts (-o)"
echo "Hiragana and katakana alike (-k); half-width katakana too (--ignore-width):"
run -o -k ケンサク "$sample"
run -o --ignore-width ケンサク "$sample"
echo "Full-width letters (--ignore-width) and case (-i) ignored:"
run -o --ignore-width -i KENSAKU "$sample"
echo "Full-width digits read as ASCII (--ignore-digits):"
run -o --ignore-digits '1..0' "$sample"
echo "== Both terms, in this order (--and)"
run -n --and 'ソフト&ファイル' "$sample"
echo "== The two output forms: whole lines with their numbers, and the matched parts"
run -n 'ファ#イル' "$sample"
run -o 'ファ#イル' "$sample"
echo "== A recursive search: file names first, as grep writes them"
mkdir -p notes/2026 notes/old
cp "$sample" notes/2026/a.txt
printf '\x8C\x9F\x8D\xF5\x82\xCC\x83\x81\x83\x82\r\n' >notes/old/memo.txt  # 検索のメモ
run -r -c 検索 notes
run -r 検索 notes
echo "== The backslash is found once: the second byte of ソ (0x83 0x5C) is no backslash"
run -n -F '\' "$sample"
echo "(a byte-wise grep for 0x5C hits lines $(LC_ALL=C grep -n -F '\' "$sample" | cut -d: -f1 | paste -sd, -))"
