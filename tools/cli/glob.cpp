#include "glob.h"

#include <cstdint>
#include <cstring>

#include "platform.h"

namespace kensaku::cli {
namespace {

// The bytes of the character at s[0] (n > 0): a whole UTF-8 sequence, else one byte.
std::size_t Utf8Length(const unsigned char* s, std::size_t n) {
  const unsigned char b = s[0];
  std::size_t length = 0;
  std::uint32_t min = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
    min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    min = 0x10000;
  } else {
    return 1;
  }
  if (n < length) return 1;
  std::uint32_t u = b & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 1;
    u = u << 6 | (s[i] & 0x3F);
  }
  return u >= min && u <= 0x10FFFF && (u < 0xD800 || u > 0xDFFF) ? length : 1;
}

struct Char {
  std::size_t length = 0;
  std::uint32_t value = 0;  // what ranges compare: the code point, or the bytes as a number
};

Char CharAt(std::string_view s, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data()) + at;
  const std::size_t n = s.size() - at;
  Char c;
  const int bytes = NameCharBytes(p[0]);
  c.length =
      bytes > 0 ? std::min<std::size_t>(static_cast<std::size_t>(bytes), n) : Utf8Length(p, n);
  if (bytes == 0 && c.length > 1) {
    c.value = p[0] & (0x7F >> c.length);
    for (std::size_t i = 1; i < c.length; ++i) c.value = c.value << 6 | (p[i] & 0x3F);
  } else {
    for (std::size_t i = 0; i < c.length; ++i) c.value = c.value << 8 | p[i];
  }
  return c;
}

bool InClass(std::string_view name, std::uint32_t c, bool& known) {
  known = true;
  const bool ascii = c < 0x80;
  const bool upper = c >= 'A' && c <= 'Z';
  const bool lower = c >= 'a' && c <= 'z';
  const bool digit = c >= '0' && c <= '9';
  const bool graph = c > 0x20 && c < 0x7F;
  if (name == "alpha") return upper || lower;
  if (name == "upper") return upper;
  if (name == "lower") return lower;
  if (name == "digit") return digit;
  if (name == "alnum") return upper || lower || digit;
  if (name == "xdigit") return digit || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  if (name == "space") return c == ' ' || (c >= '\t' && c <= '\r');
  if (name == "blank") return c == ' ' || c == '\t';
  if (name == "punct") return graph && !(upper || lower || digit);
  if (name == "graph") return graph;
  if (name == "print") return graph || c == ' ';
  if (name == "cntrl") return ascii && !graph && c != ' ';
  known = false;
  return false;
}

enum class SetResult { kMatch, kNoMatch, kNotASet };

// One element of a set: a character (quoted, or "[.c.]"), a class "[:name:]", or "[=c=]".
struct Element {
  enum Kind { kChar, kClass, kEqual, kBad };
  Kind kind = kBad;
  Char c;
  std::string_view text;  // the character's bytes, or the class's name
};

// The element at pattern[i] (i < size), with i moved past it, read as fnmatch reads it. A "[:"
// that letters from a to y (no class name has a z) and ":]" do not follow is a '[' of its own, and
// so is a "[=" that is not
// "[=c=]", but only while the set is still tried: past an element that matched, such a "[=" is
// bad. A "[." must be closed, and while tried must hold one character (no collating element of
// several is known here). A range's end is only ever a character.
Element NextElement(std::string_view pattern, std::size_t& i, bool tried, bool range_end) {
  Element e;
  const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
  if (pattern[i] == '[' && next == '.') {
    const std::size_t close = pattern.find(".]", i + 2);
    if (close == std::string_view::npos) return e;
    e.text = pattern.substr(i + 2, close - (i + 2));
    i = close + 2;
    if (!tried) return {Element::kChar, {}, {}};
    if (e.text.empty()) return e;
    e.c = CharAt(e.text, 0);
    if (e.c.length == e.text.size()) e.kind = Element::kChar;
    return e;
  }
  if (pattern[i] == '[' && next == ':' && !range_end) {
    std::size_t j = i + 2;
    while (j < pattern.size() && pattern[j] >= 'a' && pattern[j] < 'z') ++j;
    if (pattern.substr(j, 2) == ":]") {
      e.kind = Element::kClass;
      e.text = pattern.substr(i + 2, j - (i + 2));
      i = j + 2;
      return e;
    }
  } else if (pattern[i] == '[' && next == '=' && !range_end) {
    const std::size_t length = i + 2 < pattern.size() ? CharAt(pattern, i + 2).length : 0;
    if (length > 0 && pattern.substr(i + 2 + length, 2) == "=]") {
      e.kind = Element::kEqual;
      e.text = pattern.substr(i + 2, length);
      e.c = CharAt(pattern, i + 2);
      i += 4 + length;
      return e;
    }
    if (!tried) return e;
  } else if (pattern[i] == '\\') {
    if (++i == pattern.size()) return e;
  }
  e.kind = Element::kChar;
  e.c = CharAt(pattern, i);
  e.text = pattern.substr(i, e.c.length);
  i += e.c.length;
  return e;
}

// The set opened by the '[' at pattern[at], tried on the character c (its bytes first in name);
// on kMatch and kNoMatch, at is moved past its ']'. As with fnmatch, a bad element or an unknown
// class fails the set where it is met, and the elements after one that has matched are only
// passed over (a bad one still fails the set).
SetResult MatchSet(std::string_view pattern, std::size_t& at, Char c, std::string_view name) {
  const std::string_view ch = name.substr(0, c.length);
  std::size_t i = at + 1;
  bool negate = false;
  if (i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^')) {
    negate = true;
    ++i;
  }
  bool matched = false;
  for (bool first = true;; first = false) {
    if (i >= pattern.size()) return SetResult::kNotASet;
    if (pattern[i] == ']' && !first) break;
    const Element e = NextElement(pattern, i, !matched, false);
    if (e.kind == Element::kBad) return SetResult::kNoMatch;
    if (matched) continue;
    if (e.kind == Element::kClass) {
      bool known = false;
      matched = InClass(e.text, c.value, known);
      if (!known) return SetResult::kNoMatch;
    } else if (e.kind == Element::kEqual) {
      matched = e.text == ch;
    } else if (i < pattern.size() && pattern[i] == '-' && pattern.substr(i + 1, 1) != "]") {
      // "[a-" at the end: fnmatch passes over the rest of a set once an element matched, meets
      // the end there and reads the '[' as itself; else it fails on the range with no end.
      if (++i == pattern.size()) return e.text == ch ? SetResult::kNotASet : SetResult::kNoMatch;
      const Element high = NextElement(pattern, i, true, true);
      if (high.kind != Element::kChar) return SetResult::kNoMatch;
      matched = e.c.value <= c.value && c.value <= high.c.value;
    } else {
      matched = e.text == ch;
    }
  }
  at = i + 1;
  return matched != negate ? SetResult::kMatch : SetResult::kNoMatch;
}

// Whether the pattern has a '*', '?' or '[' that no '\' quotes.
bool HasWildcard(std::string_view pattern) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '\\') {
      ++i;
    } else if (pattern[i] == '*' || pattern[i] == '?' || pattern[i] == '[') {
      return true;
    }
  }
  return false;
}

}  // namespace

bool GlobMatches(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0;
  // Where to go on after the last '*': the pattern after it, and the name it has taken up to.
  std::size_t star_p = std::string_view::npos, star_n = 0;
  for (;;) {
    if (p < pattern.size() && pattern[p] == '*') {
      star_p = ++p;
      star_n = n;
      continue;
    }
    if (p == pattern.size() && n == name.size()) return true;
    bool step = false;
    if (p < pattern.size() && n < name.size()) {
      const Char c = CharAt(name, n);
      if (pattern[p] == '?') {
        ++p;
        step = true;
      } else {
        SetResult set = SetResult::kNotASet;
        if (pattern[p] == '[') set = MatchSet(pattern, p, c, name.substr(n));
        if (set == SetResult::kNotASet) {
          // A literal character, the next one when quoted. A lone '\' at the end is itself in a
          // pattern without wildcards, which grep compares as text, and matches nothing in
          // others, which it hands to fnmatch.
          if (pattern[p] == '\\' && p + 1 == pattern.size() && HasWildcard(pattern)) return false;
          const std::size_t at = pattern[p] == '\\' && p + 1 < pattern.size() ? p + 1 : p;
          const std::size_t length = CharAt(pattern, at).length;
          if (pattern.substr(at, length) == name.substr(n, c.length)) {
            p = at + length;
            step = true;
          }
        } else {
          step = set == SetResult::kMatch;
        }
      }
      if (step) n += c.length;
    }
    if (step) continue;
    // No match here: the last '*' takes one more character, if there is one.
    if (star_p == std::string_view::npos || star_n == name.size()) return false;
    star_n += CharAt(name, star_n).length;
    n = star_n;
    p = star_p;
  }
}

void NameFilter::ExcludeDirectory(std::string glob) {
  while (glob.size() > 1 && glob.back() == '/') glob.pop_back();
  directories_.push_back(std::move(glob));
}

// The last rule whose glob matches decides; a name none matches is left out when the first rule
// is an --include (only some files are wanted), and kept when it is an --exclude.
template <typename Test>
bool NameFilter::SkipsFileBy(Test&& matches) const {
  for (auto rule = files_.rbegin(); rule != files_.rend(); ++rule) {
    if (matches(rule->glob)) return !rule->include;
  }
  return !files_.empty() && files_.front().include;
}

namespace {

// The whole path, or any part of it that follows a '/'.
bool PathMatches(std::string_view glob, std::string_view path) {
  if (GlobMatches(glob, path)) return true;
  for (std::size_t slash = path.find('/'); slash != std::string_view::npos;
       slash = path.find('/', slash + 1)) {
    if (GlobMatches(glob, path.substr(slash + 1))) return true;
  }
  return false;
}

}  // namespace

bool NameFilter::SkipsFile(std::string_view name) const {
  return SkipsFileBy([&](const std::string& glob) { return GlobMatches(glob, name); });
}

bool NameFilter::SkipsFileOperand(std::string_view path) const {
  return SkipsFileBy([&](const std::string& glob) { return PathMatches(glob, path); });
}

bool NameFilter::SkipsDirectory(std::string_view name) const {
  for (const std::string& glob : directories_) {
    if (GlobMatches(glob, name)) return true;
  }
  return false;
}

bool NameFilter::SkipsDirectoryOperand(std::string_view path) const {
  for (const std::string& glob : directories_) {
    if (PathMatches(glob, path)) return true;
  }
  return false;
}

}  // namespace kensaku::cli
