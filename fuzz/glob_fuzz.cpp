// The glob matcher of --include, --exclude and --exclude-dir against a slow twin that takes the
// pattern a piece between stars at a time, reading the syntax glob.h gives afresh at each step; on
// ASCII also against the system's fnmatch, whose rules the matcher follows. Input: settings
// (unused), pattern, NUL, name.
#include <fnmatch.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "glob.h"
#include "mbchar/encoding.h"

namespace {

// A character: a whole UTF-8 sequence, else one byte; ranges compare its code point, or the
// byte.
struct Char {
  std::string_view bytes;
  std::uint32_t value = 0;
};

Char CharAt(std::string_view s, std::size_t at) {
  const kensaku::TextChar c =
      kensaku::ReadTextChar(kensaku::Encoding::kUtf8, s.data() + at, s.size() - at);
  if (c.broken || c.length == 1) return {s.substr(at, 1), static_cast<unsigned char>(s[at])};
  return {s.substr(at, c.length), c.unicode};
}

// The classes of the C locale, which are ASCII.
bool InClass(std::string_view name, std::uint32_t c, bool& known) {
  static const struct {
    const char* name;
    int (*test)(int);
  } kClasses[] = {{"alpha", std::isalpha}, {"upper", std::isupper}, {"lower", std::islower},
                  {"digit", std::isdigit}, {"alnum", std::isalnum}, {"xdigit", std::isxdigit},
                  {"space", std::isspace}, {"blank", std::isblank}, {"punct", std::ispunct},
                  {"graph", std::isgraph}, {"print", std::isprint}, {"cntrl", std::iscntrl}};
  for (const auto& k : kClasses) {
    if (name == k.name) {
      known = true;
      return c < 0x80 && k.test(static_cast<int>(c)) != 0;
    }
  }
  known = false;
  return false;
}

bool HasWildcard(std::string_view p) {
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] == '\\') {
      ++i;
    } else if (p[i] == '*' || p[i] == '?' || p[i] == '[') {
      return true;
    }
  }
  return false;
}

class Twin {
 public:
  Twin(std::string_view pattern, std::string_view name) : p_(pattern), n_(name) {}

  // As fnmatch reads stars: the rest is tried after each length a '*' may take, shortest
  // first, and the first try that reaches the next '*' is kept. (A pattern whose sets read one
  // way for one character and another way for the next may part from trying every way.)
  bool Match() {
    std::size_t star = 0, taken = 0;
    Seg seg = Segment(0, 0, star, taken);
    while (seg == Seg::kStar) {
      const std::size_t from = star + 1;
      for (std::size_t k = taken;; k += CharAt(n_, k).bytes.size()) {
        seg = Segment(from, k, star, taken);
        if (seg != Seg::kFail) break;
        if (k == n_.size()) return false;
      }
    }
    return seg == Seg::kEnd;
  }

 private:
  enum class Set { kMatch, kNoMatch, kNotASet };
  enum class Seg { kFail, kEnd, kStar };

  // The pattern from p on the name from n up to the pattern's next '*' (its place to star, the
  // name's to taken) or its end with the name's.
  Seg Segment(std::size_t p, std::size_t n, std::size_t& star, std::size_t& taken) {
    for (;;) {
      if (p == p_.size()) return n == n_.size() ? Seg::kEnd : Seg::kFail;
      if (p_[p] == '*') {
        star = p;
        taken = n;
        return Seg::kStar;
      }
      if (n == n_.size()) return Seg::kFail;
      const Char c = CharAt(n_, n);
      n += c.bytes.size();
      if (p_[p] == '?') {
        ++p;
        continue;
      }
      if (p_[p] == '[') {
        std::size_t end = p;
        const Set set = SetAt(end, c);
        if (set == Set::kNoMatch) return Seg::kFail;
        if (set == Set::kMatch) {
          p = end;
          continue;
        }
      }
      std::size_t at = p;
      if (p_[p] == '\\') {
        if (p + 1 == p_.size()) {
          if (HasWildcard(p_) || c.bytes != "\\") return Seg::kFail;
          ++p;
          continue;
        }
        at = p + 1;
      }
      const Char literal = CharAt(p_, at);
      if (literal.bytes != c.bytes) return Seg::kFail;
      p = at + literal.bytes.size();
    }
  }

  // "[.x.]" at i, moved past it: its one character, or false when it holds other than one.
  bool Collating(std::size_t& i, Char& c, bool& closed) {
    const std::size_t close = p_.find(".]", i + 2);
    closed = close != std::string_view::npos;
    if (!closed) return false;
    const std::string_view inside = p_.substr(i + 2, close - i - 2);
    i = close + 2;
    if (inside.empty()) return false;
    c = CharAt(inside, 0);
    return c.bytes.size() == inside.size();
  }

  bool Starts(std::size_t i, std::string_view s) const { return p_.substr(i, s.size()) == s; }

  // The set of the '[' at p tried on c; on a verdict, p moves past its ']'.
  Set SetAt(std::size_t& p, const Char& c) {
    std::size_t i = p + 1;
    const bool negate = i < p_.size() && (p_[i] == '!' || p_[i] == '^');
    if (negate) ++i;
    bool matched = false;
    for (bool first = true;; first = false) {
      if (i >= p_.size()) return Set::kNotASet;
      if (p_[i] == ']' && !first) break;
      Char low;
      if (Starts(i, "[.")) {
        bool closed;
        const bool one = Collating(i, low, closed);
        if (!closed || (!matched && !one)) return Set::kNoMatch;
        if (matched) continue;
      } else {
        if (Starts(i, "[:")) {
          std::size_t j = i + 2;
          while (j < p_.size() && p_[j] >= 'a' && p_[j] <= 'y') ++j;
          if (Starts(j, ":]")) {
            const std::string_view name = p_.substr(i + 2, j - i - 2);
            i = j + 2;
            if (matched) continue;
            bool known;
            matched = InClass(name, c.value, known);
            if (!known) return Set::kNoMatch;
            continue;
          }
        } else if (Starts(i, "[=")) {
          if (i + 2 < p_.size()) {
            const Char e = CharAt(p_, i + 2);
            if (Starts(i + 2 + e.bytes.size(), "=]")) {
              i += 4 + e.bytes.size();
              matched = matched || e.bytes == c.bytes;
              continue;
            }
          }
          if (matched) return Set::kNoMatch;
        } else if (p_[i] == '\\') {
          if (++i == p_.size()) return Set::kNoMatch;
        }
        low = CharAt(p_, i);
        i += low.bytes.size();
        if (matched) continue;
      }
      if (i < p_.size() && p_[i] == '-' && !Starts(i + 1, "]")) {
        // Nothing after the '-': the low end taking c leaves the set unclosed.
        if (++i == p_.size()) return low.bytes == c.bytes ? Set::kNotASet : Set::kNoMatch;
        Char high;
        if (Starts(i, "[.")) {
          bool closed;
          if (!Collating(i, high, closed)) return Set::kNoMatch;
        } else {
          if (p_[i] == '\\' && ++i == p_.size()) return Set::kNoMatch;
          high = CharAt(p_, i);
          i += high.bytes.size();
        }
        matched = low.value <= c.value && c.value <= high.value;
      } else {
        matched = low.bytes == c.bytes;
      }
    }
    p = i + 1;
    return matched != negate ? Set::kMatch : Set::kNoMatch;
  }

  std::string_view p_, n_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kensaku_fuzz::Input in = kensaku_fuzz::Split(data, size, 2);
  const std::string& pattern = in.texts[0];
  const std::string& name = in.texts[1];
  if (pattern.size() > 256 || name.size() > 256) return 0;
  const bool matches = kensaku::cli::GlobMatches(pattern, name);
  CHECK(matches == Twin(pattern, name).Match());
  // glibc drops a collating symbol followed by a final '-' ("[[.a.]-]" holds only '-'), where
  // POSIX keeps both members, as the matcher does.
  bool ascii = name.find('\0') == std::string::npos &&
               !(pattern.size() > 0 && pattern.back() == '\\') &&
               pattern.find(".]-]") == std::string::npos;
  for (const char c : pattern + name) ascii = ascii && (c & 0x80) == 0;
  if (ascii) CHECK(matches == (fnmatch(pattern.c_str(), name.c_str(), 0) == 0));
  return 0;
}
