#!/usr/bin/env bash
# Builds the whole-file corpus: Japanese prose from Debian's manual pages (manpages-ja,
# manpages-ja-dev) with the roff markup stripped, and the EDICT dictionary, all in CP932 and
# repeated to about 100 MB. A UTF-8 copy of the same lines gives the true counts; EUC-JP and
# UTF-16LE copies (with a byte-order mark) hold them too. Also a tree of many small files: every
# manual page of those packages as it is (roff source), in CP932, in eight copies, with a UTF-8
# twin for the true counts, and one copy with its files in five encodings. The packages are only
# downloaded and unpacked, never installed.
#
#   bench/corpus.sh [DIR]   writes DIR/corpus-{sjis,utf8,eucjp,utf16le}.txt (default
#                           /tmp/kensaku-corpus), DIR/tree-{sjis,utf8,mixed}/, and
#                           bench/list-60.txt in CP932; MB=N sets the size of the corpus
set -eu
dir=${1:-/tmp/kensaku-corpus}
mb=${MB:-100}
mkdir -p "$dir"
here=$(cd "$(dirname "$0")" && pwd)
cd "$dir"
iconv -f UTF-8 -t CP932 "$here/list-60.txt" >list-60-sjis.txt  # for kensaku_corpus_bench
have_corpus() { [ -f corpus-sjis.txt ] && [ -f corpus-utf8.txt ]; }
have_copies() { [ -f corpus-eucjp.txt ] && [ -f corpus-utf16le.txt ]; }
# The other encodings from the CP932 bytes (EUC-JP as the Windows-compatible variant writes it,
# so that CP932's NEC characters keep their rows).
copies() {
  iconv -f CP932 -t EUC-JP-MS corpus-sjis.txt >corpus-eucjp.txt
  { printf '\xFF\xFE'; iconv -f CP932 -t UTF-16LE corpus-sjis.txt; } >corpus-utf16le.txt
}
have_tree() { [ -f tree-sjis/.done ] && [ -f tree-utf8/.done ] && [ -f tree-mixed/.done ]; }
# One copy of the tree with its files in the five encodings by turns (UTF-16 with a byte-order
# mark; a page ISO-2022-JP cannot hold stays in UTF-8).
mixed_tree() {
  rm -rf tree-mixed
  local n=0
  (cd tree-utf8/1 && find . -type f | LC_ALL=C sort) | while read -r rel; do
    mkdir -p "tree-mixed/$(dirname "$rel")"
    local from=tree-utf8/1/$rel to=tree-mixed/$rel
    case $((n++ % 5)) in
      0) iconv -f UTF-8 -t CP932 "$from" >"$to" ;;
      1) cp "$from" "$to" ;;
      2) iconv -f UTF-8 -t EUC-JP-MS "$from" >"$to" ;;
      3) iconv -f UTF-8 -t UTF-16 "$from" >"$to" ;;
      4) iconv -f UTF-8 -t ISO-2022-JP-2 "$from" >"$to" 2>/dev/null || cp "$from" "$to" ;;
    esac
  done
  : >tree-mixed/.done
}
have_corpus && ! have_copies && copies
[ -f tree-utf8/.done ] && [ ! -f tree-mixed/.done ] && mixed_tree
have_corpus && have_tree && { echo "$dir/corpus-sjis.txt"; exit 0; }

rm -rf pkgs && mkdir pkgs
(cd pkgs && apt-get download manpages-ja manpages-ja-dev edict >/dev/null 2>&1)
for d in pkgs/*.deb; do dpkg-deb -x "$d" pkgs/x; done

if ! have_tree; then
  # Each page in CP932 (what it cannot hold dropped), and its UTF-8 twin made from those bytes.
  rm -rf tree-sjis tree-utf8
  find pkgs/x/usr/share/man/ja -name '*.gz' | LC_ALL=C sort | while read -r f; do
    rel=${f#pkgs/x/usr/share/man/ja/}
    rel=${rel%.gz}
    mkdir -p "tree-sjis/1/$(dirname "$rel")" "tree-utf8/1/$(dirname "$rel")"
    zcat "$f" | iconv -c -f UTF-8 -t CP932 >"tree-sjis/1/$rel"
    iconv -f CP932 -t UTF-8 "tree-sjis/1/$rel" >"tree-utf8/1/$rel"
  done
  for t in tree-sjis tree-utf8; do
    for copy in 2 3 4 5 6 7 8; do cp -r "$t/1" "$t/$copy"; done
    : >"$t/.done"
  done
  mixed_tree
fi

if ! have_corpus; then
  # Prose lines of the manual pages: comments and requests without text dropped, the text of
  # font requests kept, inline escapes removed.
  strip_roff() {
    sed -e '/^\.\\"/d' -e '/^'"'"'\\"/d' \
        -e 's/^\.\(B\|I\|BI\|IB\|BR\|RB\|IR\|RI\|SH\|SS\|TP\|IP\|SM\|SB\) *//' \
        -e '/^\./d' \
        -e 's/\\f[BIRPC]//g; s/\\f(..//g; s/\\-/-/g; s/\\(em/--/g; s/\\(..//g' \
        -e 's/\\&//g; s/\\e/\\/g; s/\\ / /g; s/"//g' \
        -e '/^[[:space:]]*$/d'
  }
  : >base-utf8.txt
  find pkgs/x/usr/share/man/ja -name '*.gz' | LC_ALL=C sort | while read -r f; do
    zcat "$f" | strip_roff
  done >>base-utf8.txt
  iconv -c -f EUC-JP -t UTF-8 pkgs/x/usr/share/edict/edict >>base-utf8.txt

  # What CP932 cannot hold is dropped once, and the UTF-8 copy is made from the CP932 bytes, so
  # that both hold the same lines.
  iconv -c -f UTF-8 -t CP932 base-utf8.txt >base-sjis.txt
  : >corpus-sjis.txt
  while [ "$(stat -c %s corpus-sjis.txt)" -lt $((mb * 1000 * 1000)) ]; do
    cat base-sjis.txt >>corpus-sjis.txt
  done
  iconv -f CP932 -t UTF-8 corpus-sjis.txt >corpus-utf8.txt
  copies
  rm -f base-utf8.txt base-sjis.txt
fi
rm -rf pkgs
echo "$dir/corpus-sjis.txt"
