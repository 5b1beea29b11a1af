#!/usr/bin/env bash
# Makes RE2's sources ready for the 64-bit Windows build (kensaku64.dll), from Debian's re2
# source package: the same version as the libre2-dev the Linux build links. The package leaves
# out three generated tables; they are made here from Debian's unicode-data, with the package's
# own patches applied (one points re2/unicode.py at /usr/share/unicode).
#   fetch-re2.sh [DIR]   DIR defaults to $KENSAKU_CACHE_DIR/re2, else /var/cache/kensaku/re2
#                        (outside the tree, shared by every clone; the win64 preset reads it)
# Called by install-deps.sh all, as root on Debian. Without a deb-src entry for the mirror and
# suite libre2-dev comes from, it writes one (/etc/apt/sources.list.d/kensaku-src.sources) and
# updates only that index. Done again only when the wanted version changes. On failure it says
# why and exits non-zero, leaving no half-made DIR: the win64 build then goes without regular
# expressions.
set -eu
dir=${1:-${KENSAKU_CACHE_DIR:-/var/cache/kensaku}/re2}
stamp=$dir/.kensaku-re2-version
tables=(re2/perl_groups.cc re2/unicode_casefold.cc re2/unicode_groups.cc)

# The version Linux links; any when libre2-dev is not installed.
version=$(dpkg-query -W -f='${source:Version}' libre2-dev 2>/dev/null || true)
want=${version:-any}
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
  exit 0
fi

fail() { echo "fetch-re2.sh: $*; kensaku64.dll will be built without regular expressions" >&2; exit 1; }
# One fetch at a time (clones set up at once share the cache); the one that waited finds it done.
mkdir -p "$(dirname "$dir")" 2>/dev/null && exec 9>"$(dirname "$dir")/.re2.lock" ||
  fail "cannot write to $(dirname "$dir")"
flock 9
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
  exit 0
fi
src_list=/etc/apt/sources.list.d/kensaku-src.sources
apt_only_src=(-o Dir::Etc::SourceList="$src_list" -o Dir::Etc::SourceParts=-)

# Debian's index of re2's sources: from the machine's own deb-src entries if it has any, else
# from one for the archive and suite libre2-dev's binaries come from.
if ! apt-cache showsrc re2 2>/dev/null | grep -q '^Package: re2$'; then
  [ "$(id -u)" = 0 ] || fail "no deb-src entry for re2; run as root to add one"
  if [ ! -f "$src_list" ]; then
    # "500 http://deb.debian.org/debian bookworm/main amd64 Packages"
    read -r uri dist < <(apt-cache policy libre2-dev |
      awk '$2 ~ /^(https?|file):\/\// && $NF == "Packages" {print $2, $3; exit}') ||
      fail "no archive found for libre2-dev"
    suite=${dist%%/*}
    component=${dist#*/}
    [ "$component" != "$dist" ] || component=main
    # The binary entry's key, when it names one.
    keyring=$(awk -v uri="$uri" -v suite="$suite" '
      BEGIN { RS = ""; FS = "\n" }
      $0 ~ "(^|\n)URIs:[^\n]*" uri && $0 ~ "(^|\n)Suites:[^\n]*" suite {
        for (i = 1; i <= NF; i++) if ($i ~ /^Signed-By:/) { sub(/^Signed-By: */, "", $i); print $i; exit }
      }' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
    {
      echo "# re2's sources, for kensaku64.dll (kensaku: cmake/fetch-re2.sh)"
      echo "Types: deb-src"
      echo "URIs: $uri"
      echo "Suites: $suite"
      echo "Components: $component"
      [ -z "$keyring" ] || echo "Signed-By: $keyring"
    } >"$src_list"
  fi
  apt-get update -qq "${apt_only_src[@]}" -o APT::Get::List-Cleanup=0 ||
    fail "apt-get update of $src_list failed"
  apt-cache showsrc re2 2>/dev/null | grep -q '^Package: re2$' || fail "no source package re2 in $src_list"
fi

work=$(mktemp -d "$(dirname "$dir")/re2-work.XXXXXX")
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -qq --download-only "re2${version:+=$version}" >/dev/null 2>&1) ||
  fail "apt-get source re2${version:+=$version} failed"
# dpkg-source applies debian/patches, the Unicode data's place among them.
# (apt checked the files against the signed index; dpkg-source's gpgv notes go to its log.)
dpkg-source -q -x "$work"/re2_*.dsc "$work/re2" >"$work/dpkg-source.log" 2>&1 ||
  { cat "$work/dpkg-source.log" >&2; fail "dpkg-source -x failed"; }
grep -q '^_UNICODE_DIR = "/usr/share/unicode"' "$work/re2/re2/unicode.py" ||
  fail "re2/unicode.py does not read /usr/share/unicode"
(
  cd "$work/re2"
  perl re2/make_perl_groups.pl >re2/perl_groups.cc
  /usr/bin/python3 re2/make_unicode_casefold.py >re2/unicode_casefold.cc
  /usr/bin/python3 re2/make_unicode_groups.py >re2/unicode_groups.cc
) || fail "making re2's tables failed (perl, python3-six and unicode-data are needed)"
for t in "${tables[@]}"; do
  [ -s "$work/re2/$t" ] || fail "$t is empty"
done
echo "$want" >"$work/re2/$(basename "$stamp")"
rm -rf "$dir"
mv "$work/re2" "$dir"
echo "RE2 $want for kensaku64.dll: $dir"
