#include "match/regex.h"

#include <algorithm>
#include <bitset>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <unordered_map>

#include "match/pattern_error.h"
#include "match/re2_or_none.h"
#include "match/regex_syntax.h"
#include "match/scalar_row.h"
#include "mbchar/case_fold.h"
#include "mbchar/fold.h"
#include "mbchar/variants.h"

namespace kensaku {
namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// A table by code whose entries start as zeros and whose pages are touched only where written:
// the codes that occur (single bytes, and the rows of the lead bytes) are a sixth of the 64K,
// and on a machine where a page fault costs tens of microseconds a query is made sooner.
template <typename T>
std::unique_ptr<T[], FreeDeleter> ZeroedByCode() {
  auto* p = static_cast<T*>(std::calloc(0x10000, sizeof(T)));
  if (p == nullptr) throw std::bad_alloc();
  return std::unique_ptr<T[], FreeDeleter>(p);
}

// Every code a text in the internal form holds: single bytes, then each lead byte's row.
template <typename F>
void ForEachCode(F f) {
  for (unsigned c = 0; c < 0x100; ++c) f(static_cast<Code>(c));
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLeadByte(lead)) continue;
    for (unsigned trail = 0; trail < 0x100; ++trail) f(static_cast<Code>(lead << 8 | trail));
  }
}

// Every code of code page 932 text a program over its bytes may match: the single bytes but
// the lead bytes and the NUL, and the lead bytes with their trails but 0xEF (Regex::cp932_program).
template <typename F>
void ForEachTextCode(F f) {
  for (unsigned c = 1; c < 0x100; ++c) {
    if (!IsLeadByte(c)) f(static_cast<Code>(c));
  }
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLeadByte(lead) || lead == 0xEF) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (IsTrailByte(trail)) f(static_cast<Code>(lead << 8 | trail));
    }
  }
}

// What a character of the internal form becomes in the text RE2 reads, under one fold.
struct Scalars {
  std::unique_ptr<char32_t[], FreeDeleter> of;  // by code
  // By code: the scalar's UTF-8, its length in the top byte.
  std::unique_ptr<std::uint64_t[], FreeDeleter> forms;
  // Code page 932's characters and the fixed ones, by the scalar written for them, sorted.
  std::vector<std::pair<char32_t, CharUniverse::Char>> by_written;
  // ForEachTextCode's codes by their scalars, sorted; none that is broken.
  std::vector<std::pair<char32_t, Code>> cp932_by_scalar;
  bool ascii_itself = false;  // every ASCII byte's form is that byte
};

using WrittenChars = std::vector<std::pair<char32_t, CharUniverse::Char>>;

bool WrittenBefore(const std::pair<char32_t, CharUniverse::Char>& a,
                   const std::pair<char32_t, CharUniverse::Char>& b) {
  return a.first < b.first;
}

char32_t ScalarOfFolded(Code f) { return f < 0x100 ? f : 0x10000 + f; }

std::uint64_t FormOf(char32_t u) {
  std::uint64_t bytes = 0;
  int n = 0;
  auto put = [&](unsigned b) { bytes |= static_cast<std::uint64_t>(b & 0xFF) << (8 * n++); };
  if (u < 0x80) {
    put(u);
  } else if (u < 0x800) {
    put(0xC0 | u >> 6), put(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    put(0xE0 | u >> 12), put(0x80 | (u >> 6 & 0x3F)), put(0x80 | (u & 0x3F));
  } else {
    put(0xF0 | u >> 18), put(0x80 | (u >> 12 & 0x3F)), put(0x80 | (u >> 6 & 0x3F)),
        put(0x80 | (u & 0x3F));
  }
  return bytes | static_cast<std::uint64_t>(n) << 56;
}

const Scalars& ScalarsFor(int flags) {
  static std::mutex mutex;
  static std::map<int, std::unique_ptr<const Scalars>> made;
  const std::lock_guard<std::mutex> lock(mutex);
  std::unique_ptr<const Scalars>& slot = made[flags];
  if (slot != nullptr) return *slot;
  const FoldTable& fold = FoldTable::For(flags);
  auto scalars = std::make_unique<Scalars>();
  // A folded code is written as a scalar of its own, but for these.
  std::unordered_map<Code, char32_t> own;
  // A fold that takes an ASCII letter or digit elsewhere (the width fold may) gives it the
  // letter's own scalar: no other character has it, as the letter folds to something else.
  for (Code a = 0x21; a < 0x7F; ++a) {
    if (fold[a] >= 0x100) own[fold[a]] = a;
  }
  // A broken sequence matches nothing, not . nor a negated set: it is read as a line break,
  // which no line holds and which those leave out. In code page 932 that is a lead byte read
  // alone.
  own[fold[kBrokenChar]] = '\n';
  scalars->of = ZeroedByCode<char32_t>();
  scalars->forms = ZeroedByCode<std::uint64_t>();
  ForEachCode([&](Code c) {
    const Code f = fold[c];
    const auto it = own.find(f);
    const char32_t u = c < 0x100 && IsLeadByte(c) ? U'\n'
                       : it != own.end()          ? it->second
                                                  : ScalarOfFolded(f);
    scalars->of[c] = u;
    scalars->forms[c] = FormOf(u);
  });
  scalars->ascii_itself = true;
  for (std::uint64_t c = 0; c < 0x80; ++c) {
    scalars->ascii_itself =
        scalars->ascii_itself && scalars->forms[c] == (c | std::uint64_t{1} << 56);
  }
  const CharUniverse fixed(nullptr);
  scalars->by_written.reserve(0x100 + 60 * 188);
  fixed.ForEachChar([&](const CharUniverse::Char& c) {
    scalars->by_written.emplace_back(scalars->of[c.code], c);
  });
  std::stable_sort(scalars->by_written.begin(), scalars->by_written.end(), WrittenBefore);
  ForEachTextCode([&](Code c) {
    if (scalars->of[c] != U'\n') scalars->cp932_by_scalar.emplace_back(scalars->of[c], c);
  });
  std::sort(scalars->cp932_by_scalar.begin(), scalars->cp932_by_scalar.end());
  slot = std::move(scalars);
  return *slot;
}

// A character as read: its code without a query's extras (0 for none), and its scalar.
Code BaseCodeOf(char32_t u, const Reading& reading, char32_t* as_read = nullptr) {
  const char32_t x = ScalarAsRead(u, reading);
  if (as_read != nullptr) *as_read = x;
  if (IsVariationSelector(u)) return 0;
  if (x < 0x80) return static_cast<Code>(x);
  if (const Code c = Cp932OfUnicode(x)) return c;
  return FixedCodeOf(x);
}

// The BMP scalars of each code (as read, without extras), each code's list in descending order;
// and the scalars of no code that read as another scalar, by that scalar. Made once for each
// reading: every regular expression compiled as read looks here.
struct ScalarLists {
  std::vector<std::uint64_t> by_code;                 // code << 32 | scalar, sorted
  std::vector<std::pair<char32_t, char32_t>> folded;  // (as read, scalar), sorted

  explicit ScalarLists(const Reading& reading) {
    for (std::uint32_t u = 0x80; u < 0x10000; ++u) {
      if (u >= 0xD800 && u < 0xE000) continue;
      char32_t x = 0;
      const Code c = BaseCodeOf(u, reading, &x);
      if (c != 0) {
        by_code.push_back(std::uint64_t{c} << 32 | u);
      } else if (x != u && !IsVariationSelector(u)) {
        folded.emplace_back(x, u);
      }
    }
    std::sort(by_code.begin(), by_code.end());
    std::sort(folded.begin(), folded.end());
  }

  static const ScalarLists& For(const Reading& reading) {
    static std::mutex making;
    static std::unique_ptr<const ScalarLists> made[16];
    const int key =
        reading.as_read | reading.spacing << 1 | reading.variants << 2 | reading.case_fold << 3;
    const std::lock_guard<std::mutex> lock(making);
    if (made[key] == nullptr) made[key] = std::make_unique<const ScalarLists>(reading);
    return *made[key];
  }
};

// Every scalar a text may hold that reads as a code (as read, with the query's extras), for
// programs run on UTF-8 text itself: the code's own scalar, the others code page 932 gives the
// same code (both wave dashes), and the variants and case forms the reading takes to it.
class ScalarsOfCodes {
 public:
  ScalarsOfCodes(const Reading& reading, const ExtraChars* extras)
      : reading_(reading), extras_(extras), lists_(ScalarLists::For(reading)) {
    if (extras == nullptr) return;
    // An extra character's BMP scalars: itself where it reads as itself, and those that read
    // as it.
    for (const char32_t x : extras->chars()) {
      if (x < 0x80 || Cp932OfUnicode(x) != 0 || FixedCodeOf(x) != 0) continue;
      std::vector<char32_t> scalars;
      if (x < 0x10000 && !(x >= 0xD800 && x < 0xE000) && !IsVariationSelector(x) &&
          ScalarAsRead(x, reading) == x) {
        scalars.push_back(x);
      }
      const auto& folded = lists_.folded;
      for (auto it = std::lower_bound(folded.begin(), folded.end(), std::make_pair(x, char32_t{0}));
           it != folded.end() && it->first == x; ++it) {
        scalars.push_back(it->second);
      }
      std::sort(scalars.rbegin(), scalars.rend());
      if (!scalars.empty()) extra_scalars_.emplace(extras->CodeOf(x), std::move(scalars));
    }
  }

  // The scalars that read as c, whose own scalar is `scalar`.
  void Append(Code c, char32_t scalar, std::vector<char32_t>& out) const {
    if (c < 0x80) {
      out.push_back(c);
      return;
    }
    const auto& by = lists_.by_code;
    for (auto it = std::lower_bound(by.begin(), by.end(), std::uint64_t{c} << 32);
         it != by.end() && *it >> 32 == c; ++it) {
      out.push_back(static_cast<char32_t>(*it));
    }
    if (const auto it = extra_scalars_.find(c); it != extra_scalars_.end()) {
      out.insert(out.end(), it->second.begin(), it->second.end());
    }
    auto more = [&](char32_t u) {
      if (u >= 0x10000 && CodeOf(u) == c) out.push_back(u);
    };
    more(scalar);
    if (reading_.variants) {
      for (char32_t u : VariantsLacking932(scalar)) more(u);
    }
    if (reading_.case_fold) {
      for (char32_t u : CaseVariantsOf(CaseFoldOf(scalar))) more(u);
    }
  }

 private:
  Code CodeOf(char32_t u) const {
    if (IsVariationSelector(u)) return 0;
    TextChar t;
    t.unicode = ScalarAsRead(u, reading_);
    const Code c = InternalCode(t, extras_);
    return c == kOtherChar ? 0 : c;
  }

  Reading reading_;
  const ExtraChars* extras_;
  const ScalarLists& lists_;
  std::unordered_map<Code, std::vector<char32_t>> extra_scalars_;  // by extra code
};

// Sorted, without repeats. A large set (a negated class, a range of kanji, a class under a fold)
// holds thousands: those below 0x10000 are sorted by a bitset of them.
void SortUnique(std::vector<char32_t>& members) {
  if (members.size() > 256) {
    std::bitset<0x10000> bmp;
    std::vector<char32_t> beyond;
    for (const char32_t m : members) {
      if (m < 0x10000) {
        bmp.set(m);
      } else {
        beyond.push_back(m);
      }
    }
    members.clear();
    for (std::size_t m = bmp._Find_first(); m < bmp.size(); m = bmp._Find_next(m)) {
      members.push_back(static_cast<char32_t>(m));
    }
    std::sort(beyond.begin(), beyond.end());
    std::unique_copy(beyond.begin(), beyond.end(), std::back_inserter(members));
    return;
  }
  std::sort(members.begin(), members.end());
  members.erase(std::unique(members.begin(), members.end()), members.end());
}

std::string Hex(char32_t u) {
  // Written for every member of every set: by hand, not by snprintf.
  char text[16] = {'\\', 'x', '{'};
  std::size_t n = 3;
  int shift = 28;
  while (shift > 0 && (u >> shift & 0xF) == 0) shift -= 4;
  for (; shift >= 0; shift -= 4) text[n++] = "0123456789ABCDEF"[u >> shift & 0xF];
  text[n++] = '}';
  return std::string(text, n);
}

std::string CodeBytes(Code c) {
  std::string bytes;
  if (c >= 0x100) bytes.push_back(static_cast<char>(c >> 8));
  bytes.push_back(static_cast<char>(c & 0xFF));
  return bytes;
}

// What is known of the literals a node's matches hold.
struct Literals {
  bool exact = false;                // strings are every text the node matches
  std::vector<std::string> strings;  // else, when not empty, every match holds one of them
};

constexpr std::size_t kMaxLiterals = 16;
constexpr std::size_t kMaxExactSet = 8;

// How well a set of literals narrows the lines down: its shortest literal's length, -1 for none.
long Score(const Literals& l) {
  if (l.strings.empty()) return -1;
  std::size_t shortest = SIZE_MAX;
  for (const std::string& s : l.strings) shortest = std::min(shortest, s.size());
  return static_cast<long>(shortest);
}

Literals Better(Literals a, Literals b) {
  const long sa = Score(a), sb = Score(b);
  Literals best = sa > sb || (sa == sb && a.strings.size() <= b.strings.size()) ? a : b;
  best.exact = false;
  return best;
}

Literals Cross(const Literals& a, const Literals& b) {
  Literals out;
  out.exact = true;
  for (const std::string& x : a.strings) {
    for (const std::string& y : b.strings) out.strings.push_back(x + y);
  }
  std::sort(out.strings.begin(), out.strings.end());
  out.strings.erase(std::unique(out.strings.begin(), out.strings.end()), out.strings.end());
  return out;
}

class Writer {
 public:
  Writer(int flags, const CharUniverse& universe)
      : flags_(flags), scalars_(ScalarsFor(flags)), universe_(universe) {}

  bool case_used() const { return case_used_; }

  // From now on, write for UTF-8 text itself (ScalarsOfCodes): each set as the scalars that read
  // as its members, over a whole text whose lines a match never leaves.
  void WriteDirect(const ScalarsOfCodes& direct) {
    direct_ = &direct;
    for (const CharUniverse::Char& c : universe_.extra_chars()) {
      extra_by_written_.emplace_back(scalars_.of[c.code], c);
    }
    std::stable_sort(extra_by_written_.begin(), extra_by_written_.end(), WrittenBefore);
  }

  // While set, the scalars each character, set and '.' written is made of, by node.
  void Remember(std::unordered_map<const RegexNode*, std::vector<char32_t>>* remembered) {
    remembered_ = remembered;
  }

  // From now on, write for code page 932 text itself, byte by byte (RE2's Latin-1): each set as
  // the codes that read as its members.
  void WriteCp932() {
    direct_ = nullptr;
    cp932_ = true;
  }

  void Write(const RegexNode& node, std::string& out) {
    using Kind = RegexNode::Kind;
    const bool as_read = direct_ != nullptr || cp932_;
    switch (node.kind) {
      case Kind::kEmpty:
        out += "(?:)";
        return;
      case Kind::kChar:
        if (node.code == '\n') {
          out += cp932_ ? "[^\\x00-\\xFF]" : "[^\\x00-\\x{10FFFF}]";  // no line holds one
          return;
        }
        if (!node.fold_case && !as_read) {
          // A broken character (a line break here) matches nothing, as in a set.
          out += scalars_.of[node.code] == U'\n' ? "[^\\x00-\\x{10FFFF}]"
                                                  : Hex(scalars_.of[node.code]);
          return;
        }
        writing_ = &node;
        WriteOne(node.code, node.fold_case, out);
        return;
      case Kind::kSet:
        writing_ = &node;
        WriteSet(*node.set, node.negated, node.fold_case, out);
        return;
      case Kind::kAny:
        if (cp932_) {
          WriteAnyCp932(out);
        } else if (direct_ != nullptr) {
          writing_ = &node;
          WriteMembers({'\n', 0}, true, false, out);  // a line break and a NUL end a line
        } else {
          out += ".";
        }
        return;
      case Kind::kConcat:
        for (const RegexNode& child : node.children) Write(child, out);
        return;
      case Kind::kAlternate:
        for (std::size_t i = 0; i < node.children.size(); ++i) {
          if (i > 0) out += '|';
          Write(node.children[i], out);
        }
        return;
      case Kind::kGroup:
      case Kind::kRepeat:
        out += "(?:";
        Write(node.children.front(), out);
        out += ')';
        if (node.kind == Kind::kRepeat) {
          if (node.min == 0 && node.max < 0) {
            out += '*';
          } else if (node.min == 1 && node.max < 0) {
            out += '+';
          } else if (node.min == 0 && node.max == 1) {
            out += '?';
          } else {
            out += '{' + std::to_string(node.min);
            if (node.max != node.min) out += ',' + (node.max >= 0 ? std::to_string(node.max) : "");
            out += '}';
          }
          if (!node.greedy) out += '?';
        }
        return;
      case Kind::kAssert:
        if (as_read && (node.assertion == "^" || node.assertion == "\\A")) {
          out += "(?m:^)";
        } else if (as_read && (node.assertion == "$" || node.assertion == "\\z")) {
          out += "(?m:$)";
        } else {
          out += node.assertion;
        }
        return;
    }
  }

  Literals LiteralsOf(const RegexNode& node) {
    using Kind = RegexNode::Kind;
    Literals l;
    switch (node.kind) {
      case Kind::kEmpty:
      case Kind::kAssert:
        l.exact = true;
        l.strings.emplace_back();
        return l;
      case Kind::kChar:
        case_used_ = case_used_ || node.fold_case;
        l.exact = true;
        l.strings.push_back(CodeBytes(node.code));
        return l;
      case Kind::kSet:
        if (node.negated || node.set->count() > kMaxExactSet || node.set->none()) return l;
        case_used_ = case_used_ || node.fold_case;
        l.exact = true;
        for (std::size_t c = node.set->_Find_first(); c < node.set->size();
             c = node.set->_Find_next(c)) {
          l.strings.push_back(CodeBytes(static_cast<Code>(c)));
        }
        return l;
      case Kind::kAny:
        return l;
      case Kind::kGroup:
        return LiteralsOf(node.children.front());
      case Kind::kRepeat: {
        if (node.min == 0) return l;
        Literals child = LiteralsOf(node.children.front());
        if (node.min == 1 && node.max == 1) return child;
        child.exact = false;
        return child;
      }
      case Kind::kConcat: {
        Literals run;  // the exact literals of the children in a row so far
        run.exact = true;
        run.strings.emplace_back();
        Literals best;
        bool all_exact = true;
        for (const RegexNode& child : node.children) {
          Literals c = LiteralsOf(child);
          if (c.exact && run.strings.size() * c.strings.size() <= kMaxLiterals) {
            run = Cross(run, c);
            continue;
          }
          all_exact = false;
          best = Better(best, run);
          run = Literals{};
          run.exact = true;
          run.strings.emplace_back();
          if (c.exact) {
            run = c;
          } else {
            best = Better(best, c);
          }
        }
        if (all_exact) return run;
        return Better(best, run);
      }
      case Kind::kAlternate: {
        Literals all;
        all.exact = true;
        for (const RegexNode& child : node.children) {
          Literals c = LiteralsOf(child);
          if (c.strings.empty()) return Literals{};
          all.exact = all.exact && c.exact;
          all.strings.insert(all.strings.end(), c.strings.begin(), c.strings.end());
        }
        std::sort(all.strings.begin(), all.strings.end());
        all.strings.erase(std::unique(all.strings.begin(), all.strings.end()), all.strings.end());
        if (all.strings.size() > kMaxLiterals) return Literals{};
        return all;
      }
    }
    return l;
  }

 private:
  // The scalars of a set's members' folds; under (?i), of every character that folds as one of
  // them does with the case folded too.
  void WriteSet(const CodeSet& set, bool negated, bool fold_case, std::string& out) {
    std::vector<Code> codes;
    for (std::size_t c = set._Find_first(); c < set.size(); c = set._Find_next(c)) {
      codes.push_back(static_cast<Code>(c));
    }
    WriteMembers(codes, negated, fold_case, out);
  }

  // The same for a set of these codes. Not inlined into Write, which recurses through the
  // tree's height: its callees' sets (SortUnique's 8 KiB) would sit in every frame.
  __attribute__((noinline)) void WriteMembers(const std::vector<Code>& codes, bool negated,
                                              bool fold_case, std::string& out) {
    const std::vector<char32_t> members = MembersOf(codes, negated, fold_case);
    if (remembered_ != nullptr && writing_ != nullptr) remembered_->emplace(writing_, members);
    writing_ = nullptr;
    if (cp932_) {
      WriteCodes(members, negated, out);
      return;
    }
    std::vector<std::pair<char32_t, char32_t>> ranges;  // runs of members, first and last
    for (std::size_t i = 0; i < members.size();) {
      std::size_t j = i;
      while (j + 1 < members.size() && members[j + 1] == members[j] + 1) ++j;
      ranges.emplace_back(members[i], members[j]);
      i = j + 1;
    }
    if (negated && direct_ != nullptr) {
      // RE2 reads a class of every scalar from U+0080 on loosely (overlong forms and more
      // too), and a surrogate's bytes as a character: the scalars such a set takes, written
      // out without the surrogates, are read as strictly as the line's own reading does.
      std::vector<std::pair<char32_t, char32_t>> taken;
      char32_t next = 0;
      auto take = [&](char32_t lo, char32_t hi) {
        if (lo < 0xD800 && hi >= 0xD800) taken.emplace_back(lo, 0xD7FF), lo = 0xE000;
        if (lo >= 0xD800 && lo < 0xE000) lo = 0xE000;
        if (lo <= hi) taken.emplace_back(lo, hi);
      };
      for (const auto& [lo, hi] : ranges) {
        if (lo > next) take(next, lo - 1);
        next = hi + 1;
      }
      if (next <= 0x10FFFF) take(next, 0x10FFFF);
      ranges = std::move(taken);
      negated = false;
    }
    if (ranges.empty()) {
      out += "[^\\x00-\\x{10FFFF}]";
      return;
    }
    if (ranges.size() == 1 && ranges[0].first == ranges[0].second && !negated) {
      out += Hex(ranges[0].first);
      return;
    }
    out += negated ? "[^" : "[";
    for (const auto& [lo, hi] : ranges) {
      out += Hex(lo);
      if (hi > lo) out += '-' + Hex(hi);
    }
    out += ']';
  }

  // The scalars a set is written with, sorted: of its members' folds, or for code page 932
  // text (to be written as codes) or UTF-8 text itself (WriteDirect) as those read; a negated
  // set's members are those it leaves out.
  std::vector<char32_t> MembersOf(const std::vector<Code>& codes, bool negated, bool fold_case) {
    std::vector<char32_t> members;
    for (const Code c : codes) members.push_back(scalars_.of[c]);
    if (fold_case) {
      const FoldTable& cased = FoldTable::For(flags_ | FoldToUpper);
      if (by_case_.empty()) {
        universe_.ForEachChar([&](const CharUniverse::Char& c) {
          by_case_.emplace_back(cased[c.code], scalars_.of[c.code]);
        });
        std::sort(by_case_.begin(), by_case_.end());
      }
      std::vector<bool> keys(0x10000);
      for (const Code c : codes) {
        if (keys[cased[c]]) continue;
        keys[cased[c]] = true;
        for (auto it = std::lower_bound(by_case_.begin(), by_case_.end(),
                                        std::make_pair(cased[c], char32_t{0}));
             it != by_case_.end() && it->first == cased[c]; ++it) {
          members.push_back(it->second);
        }
      }
    }
    // A line break stands for a broken sequence here (ScalarsFor): out of every set.
    std::erase(members, U'\n');
    if (cp932_) {
      SortUnique(members);
      return members;
    }
    if (direct_ != nullptr) {
      // The text's own scalars; a line break and a NUL end a line for matching.
      std::vector<char32_t> scalars;
      for (char32_t r : members) {
        for (const WrittenChars* by :
             {&scalars_.by_written, const_cast<const WrittenChars*>(&extra_by_written_)}) {
          const auto [from, to] = std::equal_range(
              by->begin(), by->end(), std::make_pair(r, CharUniverse::Char{}), WrittenBefore);
          for (auto it = from; it != to; ++it)
            direct_->Append(it->second.code, it->second.scalar, scalars);
        }
      }
      members = std::move(scalars);
      std::erase(members, U'\n');
      std::erase(members, U'\0');
      if (negated) members.push_back(0);
    }
    if (negated) members.push_back('\n');
    SortUnique(members);
    return members;
  }

  void WriteOne(Code code, bool fold_case, std::string& out) {
    WriteMembers({code}, false, fold_case, out);
  }
  void WriteAnyCp932(std::string& out) {
    if (any_cp932_.empty()) WriteMembers({}, true, false, any_cp932_);
    out += any_cp932_;
  }

  // The code page 932 characters whose scalars are among `members` (or, negated, not, nor a
  // broken one), as their bytes: the single bytes, then each lead byte with its trails. A NUL and
  // the codes of lead 0xEF (which as read stand for joined kana) are left out: lines holding
  // them are not read this way (PlainCp932).
  void WriteCodes(const std::vector<char32_t>& members, bool negated, std::string& out) const {
    // The codes in order: the members' looked up by their scalars (a regex of many literals
    // has thousands of characters), or for a negated set every code looked at.
    std::vector<Code> codes;
    if (!negated) {
      const auto& by = scalars_.cp932_by_scalar;
      for (const char32_t u : members) {
        for (auto it = std::lower_bound(by.begin(), by.end(), std::make_pair(u, Code{0}));
             it != by.end() && it->first == u; ++it) {
          codes.push_back(it->second);
        }
      }
      std::sort(codes.begin(), codes.end());
    } else {
      ForEachTextCode([&](Code c) {
        const char32_t u = scalars_.of[c];
        if (u != U'\n' && std::binary_search(members.begin(), members.end(), u) != negated) {
          codes.push_back(c);
        }
      });
    }
    std::bitset<256> singles;
    std::vector<std::pair<std::bitset<256>, std::bitset<256>>> rows;  // (trails, leads)
    for (std::size_t i = 0; i < codes.size();) {
      if (codes[i] < 0x100) {
        singles.set(codes[i++]);
        continue;
      }
      const unsigned lead = codes[i] >> 8;
      std::bitset<256> trails;
      for (; i < codes.size() && codes[i] >> 8 == lead; ++i) trails.set(codes[i] & 0xFF);
      const auto same = std::find_if(rows.begin(), rows.end(),
                                     [&](const auto& row) { return row.first == trails; });
      if (same != rows.end()) {
        same->second.set(lead);
      } else {
        rows.emplace_back(trails, std::bitset<256>().set(lead));
      }
    }
    if (singles.none() && rows.empty()) {
      out += "[^\\x00-\\xFF]";
      return;
    }
    out += "(?:";
    bool first = true;
    if (singles.any()) {
      ByteClass(singles, out);
      first = false;
    }
    for (const auto& [row_trails, leads] : rows) {
      if (!first) out += '|';
      first = false;
      ByteClass(leads, out);
      ByteClass(row_trails, out);
    }
    out += ')';
  }

  static void ByteClass(const std::bitset<256>& bytes, std::string& out) {
    auto hex = [&](std::size_t b) {
      out += "\\x";
      out += "0123456789ABCDEF"[b >> 4];
      out += "0123456789ABCDEF"[b & 0xF];
    };
    if (bytes.count() == 1) {
      hex(bytes._Find_first());
      return;
    }
    out += '[';
    for (std::size_t b = bytes._Find_first(); b < 256;) {
      std::size_t e = b;
      while (e + 1 < 256 && bytes[e + 1]) ++e;
      hex(b);
      if (e > b) out += '-', hex(e);
      b = bytes._Find_next(e);
    }
    out += ']';
  }

  int flags_;
  const Scalars& scalars_;
  const CharUniverse& universe_;
  bool case_used_ = false;
  bool cp932_ = false;
  std::string any_cp932_;  // . over code page 932, written once
  const ScalarsOfCodes* direct_ = nullptr;
  const RegexNode* writing_ = nullptr;  // the node whose members WriteMembers makes
  std::unordered_map<const RegexNode*, std::vector<char32_t>>* remembered_ = nullptr;
  // The extras' characters by the scalar written for them, sorted (Scalars::by_written).
  std::vector<std::pair<char32_t, CharUniverse::Char>> extra_by_written_;
  // The universe's scalars by their case fold, sorted: made for the first set that folds case,
  // rather than the universe walked for each.
  std::vector<std::pair<Code, char32_t>> by_case_;
};

// Whether every character a tree may match, and every one folding as it does, is ASCII (no line
// break), with no word boundary.
bool MatchesAsciiOnly(const RegexNode& node, int flags) {
  auto ascii = [&](Code c, bool fold_case) {
    const FoldTable& fold = FoldTable::For(flags | (fold_case ? FoldToUpper : 0));
    if (c == '\n' || c >= 0x80) return false;
    for (const Code p : fold.Preimages(fold[c])) {
      if (p >= 0x80 || p == '\n') return false;
    }
    return true;
  };
  using Kind = RegexNode::Kind;
  switch (node.kind) {
    case Kind::kChar:
      return ascii(node.code, node.fold_case);
    case Kind::kSet:
      if (node.negated || node.set->_Find_next(0x7F) < node.set->size()) return false;
      for (std::size_t c = node.set->_Find_first(); c < 0x80; c = node.set->_Find_next(c)) {
        if (!ascii(static_cast<Code>(c), node.fold_case)) return false;
      }
      return true;
    case Kind::kAny:
      return false;
    case Kind::kAssert:
      if (node.assertion == "\\b" || node.assertion == "\\B") return false;
      break;
    default:
      break;
  }
  for (const RegexNode& child : node.children) {
    if (!MatchesAsciiOnly(child, flags)) return false;
  }
  return true;
}

}  // namespace

#ifdef KENSAKU_WITH_REGEX
namespace {

// The tree of a pattern, or none when it cannot be read (the regex compiled from it says why).
std::optional<RegexNode> ParsedOrNone(const char* pattern, const CharUniverse& universe) {
  try {
    return ParseRegex(pattern, std::char_traits<char>::length(pattern), universe);
  } catch (const PatternError&) {
    return std::nullopt;
  }
}

// The characters of a tree in a row, when it is no more than that: characters, sets and '.',
// fixed counts of them (few: each is an element), perhaps after '^' (then `start`).
bool RowOf(const RegexNode& tree, std::vector<const RegexNode*>& row, bool& start) {
  // The characters in a row; a count repeats what it counts (few times: each is an element).
  constexpr int kMaxCount = 16;
  std::vector<std::pair<const RegexNode*, int>> todo{{&tree, 1}};  // a node, and how often
  // In order: the last pushed is taken first, so children go on in reverse.
  while (!todo.empty()) {
    const auto [node, times] = todo.back();
    todo.pop_back();
    switch (node->kind) {
      case RegexNode::Kind::kEmpty:
        break;
      case RegexNode::Kind::kChar:
      case RegexNode::Kind::kSet:
      case RegexNode::Kind::kAny:
        for (int i = 0; i < times; ++i) row.push_back(node);
        break;
      case RegexNode::Kind::kConcat:
        for (int t = 0; t < times; ++t) {
          for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            todo.push_back({&*it, 1});
          }
        }
        break;
      case RegexNode::Kind::kGroup:
        todo.push_back({&node->children[0], times});
        break;
      case RegexNode::Kind::kRepeat:
        if (node->min != node->max || node->min < 1 || node->min * times > kMaxCount) return false;
        todo.push_back({&node->children[0], node->min * times});
        break;
      case RegexNode::Kind::kAssert:
        // The line's start, before anything else.
        if (node->assertion != "^" || start || !row.empty() || times != 1) return false;
        start = true;
        break;
      default:
        return false;
    }
  }
  return !row.empty();
}

}  // namespace
#endif

Regex::Regex(const char* pattern, const MatchOptions& options, const ExtraChars* extras) {
#ifdef KENSAKU_WITH_REGEX
  const int flags = options.fold_flags & kAllFoldBits;
  const CharUniverse universe(extras, ReadingOf(options.fold_flags));
  const RegexNode tree = ParseRegex(pattern, std::char_traits<char>::length(pattern), universe);
  Writer writer(flags, universe);
  writer.Write(tree, program_);
  const Literals literals = writer.LiteralsOf(tree);
  const bool some_empty = std::any_of(literals.strings.begin(), literals.strings.end(),
                                      [](const std::string& s) { return s.empty(); });
  if (!some_empty) literals_ = literals.strings;
  literal_flags_ = flags | (writer.case_used() ? FoldToUpper : 0);
  // The same for UTF-8 text itself, as read; not where a fold gives letters of other widths the
  // ASCII word characters \b looks for.
  const Reading reading = ReadingOf(options.fold_flags);
  bool boundary = false;
  std::vector<const RegexNode*> todo{&tree};
  while (!todo.empty()) {
    const RegexNode* node = todo.back();
    todo.pop_back();
    boundary = boundary || (node->kind == RegexNode::Kind::kAssert && node->assertion[0] == '\\' &&
                            (node->assertion[1] == 'b' || node->assertion[1] == 'B'));
    for (const RegexNode& child : node->children) todo.push_back(&child);
  }
  if (reading.as_read && !(boundary && (flags & (FoldToHalfWidth | FoldToFullWidth)) != 0)) {
    const ScalarsOfCodes direct(reading, extras);
    writer.WriteDirect(direct);
    std::unordered_map<const RegexNode*, std::vector<char32_t>> members;
    writer.Remember(&members);
    writer.Write(tree, direct_program_);
    writer.Remember(nullptr);
    // A row of single characters is also found without RE2, by the sets just written.
    std::vector<const RegexNode*> row;
    bool start = false;
    if (RowOf(tree, row, start) && row.size() <= ScalarRow::kMaxElements) {
      std::vector<ScalarRow::Element> elements;
      bool known = true;
      for (const RegexNode* node : row) {
        ScalarRow::Element& e = elements.emplace_back();
        e.negated = node->kind == RegexNode::Kind::kAny ||
                    (node->kind == RegexNode::Kind::kSet && node->negated);
        if (node->kind == RegexNode::Kind::kChar && node->code == '\n') continue;  // no match
        const auto it = members.find(node);
        known = known && it != members.end();
        if (it != members.end()) e.members = it->second;
      }
      if (known) direct_row_ = ScalarRow::Make(elements, start);
    }
  }
  ascii_only_ = !direct_program_.empty() && MatchesAsciiOnly(tree, flags);
  // An ASCII one reads code page 932 text through the direct program (ascii_only).
  if (!direct_program_.empty() && !ascii_only_ && !boundary) {
    writer.WriteCp932();
    writer.Write(tree, cp932_program_);
  }
  forms_ = ScalarsFor(flags).forms.get();
  ascii_itself_ = ScalarsFor(flags).ascii_itself;
  RE2::Options re2_options;
  re2_options.set_log_errors(false);
  re2_options.set_never_capture(true);
  re2_options.set_max_mem(std::int64_t{256} << 20);
  re_ = std::make_unique<RE2>(program_, re2_options);
  if (!re_->ok()) throw PatternError(0, "the regular expression is too large: " + re_->error());
#else
  (void)pattern, (void)options, (void)extras;
  throw PatternError(0, "regular expressions are not in this build");
#endif
}

std::string Cp932FromLineStart(const std::string& programs) {
  return "(?m:^)(?:[\\x00-\\x09\\x0B-\\x80\\xA0-\\xDF\\xFD-\\xFF]|"
         "[\\x81-\\x9F\\xE0-\\xFC][\\x40-\\x7E\\x80-\\xFC])*?(?:" +
         programs + ")";
}

bool Regex::AsLiterals(const char* pattern, int fold_flags, const ExtraChars* extras,
                       std::vector<std::string>& literals) {
#ifdef KENSAKU_WITH_REGEX
  // A lone lead byte is a character of the regex, but in a literal it would read the first byte
  // of the text after it as its trail (`ファイ\x83(許|...)` would find ファイル名).
  for (const char* p = pattern; *p != '\0';) {
    const MbChar c = DecodeText(p);
    if (c.code < 0x100 && IsLeadByte(c.code)) return false;
    p += c.ByteCount();
  }
  const CharUniverse universe(extras, ReadingOf(fold_flags));
  const std::optional<RegexNode> parsed = ParsedOrNone(pattern, universe);
  if (!parsed) return false;  // the regex itself says why
  const RegexNode& tree = *parsed;
  std::vector<const RegexNode*> todo{&tree};
  while (!todo.empty()) {
    const RegexNode* node = todo.back();
    todo.pop_back();
    if (node->kind == RegexNode::Kind::kAssert) return false;
    for (const RegexNode& child : node->children) todo.push_back(&child);
  }
  Writer writer(fold_flags & kAllFoldBits, universe);
  const Literals found = writer.LiteralsOf(tree);
  if (!found.exact || writer.case_used() || found.strings.empty()) return false;
  for (const std::string& a : found.strings) {
    if (a.empty()) return false;
    // A lone lead byte is a character here; a literal reads it with what follows. A broken
    // character is matched by nothing here; a literal finds its bytes.
    for (std::size_t i = 0; i < a.size();) {
      const MbChar c = DecodeText(a.c_str() + i);
      if ((c.code < 0x100 && IsLeadByte(c.code)) || universe.ScalarOf(c.code) == 0) return false;
      i += static_cast<std::size_t>(c.ByteCount());
    }
    for (const std::string& b : found.strings) {
      if (&a != &b && b.size() > a.size() && b.compare(0, a.size(), a) == 0) return false;
    }
  }
  literals = found.strings;
  return true;
#else
  (void)pattern, (void)fold_flags, (void)extras, (void)literals;
  return false;
#endif
}

bool Regex::AsPattern(const char* pattern, int fold_flags, const ExtraChars* extras,
                      std::string& out) {
#ifdef KENSAKU_WITH_REGEX
  const CharUniverse universe(extras, ReadingOf(fold_flags));
  const std::optional<RegexNode> parsed = ParsedOrNone(pattern, universe);
  if (!parsed) return false;  // the regex itself says why
  const RegexNode& tree = *parsed;
  std::vector<const RegexNode*> row;
  bool start = false;
  if (!RowOf(tree, row, start)) return false;
  for (const RegexNode* node : row) {
    if (node->fold_case) return false;
  }
  const FoldTable& fold = FoldTable::For(fold_flags & kAllFoldBits);
  // As the regex reads them: a code it takes as broken (a lone lead byte) matches nothing.
  const Scalars& scalars = ScalarsFor(fold_flags & kAllFoldBits);
  std::string text = start ? "^" : "";
  // A code as the pattern reads it; ASCII punctuation escaped ('\x' is x but for t and r).
  auto put = [&](Code c) {
    if (c < 0x80 && std::ispunct(static_cast<unsigned char>(c)) != 0) text += '\\';
    if (c >= 0x100) text += static_cast<char>(c >> 8);
    text += static_cast<char>(c & 0xFF);
  };
  // Only codes that are their own fold, so that the pattern's folding of what is written
  // leaves it as it is; a lone lead byte would read the next byte as its trail.
  auto writable = [&](Code c) { return fold[c] == c && !(c < 0x100 && IsLeadByte(c)); };
  for (const RegexNode* node : row) {
    if (node->kind == RegexNode::Kind::kAny) {
      text += '.';
      continue;
    }
    std::vector<Code> folded;
    if (node->kind == RegexNode::Kind::kChar) {
      // The pattern would find the bytes of what the regex reads as broken.
      if (scalars.of[node->code] == U'\n') return false;
      folded.push_back(fold[node->code]);
    } else {
      const CodeSet& set = *node->set;
      for (std::size_t c = set._Find_first(); c < set.size(); c = set._Find_next(c)) {
        const Code f = fold[static_cast<Code>(c)];
        // No line holds a NUL or a line break; a broken code is in no set.
        if (f != 0 && f != '\n' && scalars.of[c] != U'\n') folded.push_back(f);
      }
      std::sort(folded.begin(), folded.end());
      folded.erase(std::unique(folded.begin(), folded.end()), folded.end());
    }
    for (const Code c : folded) {
      if (!writable(c)) return false;
    }
    if (node->kind == RegexNode::Kind::kChar) {
      put(folded.front());
      continue;
    }
    if (folded.empty()) return false;
    text += node->negated ? "[^" : "[";
    for (std::size_t i = 0; i < folded.size();) {
      std::size_t j = i;
      while (j + 1 < folded.size() && folded[j + 1] == folded[j] + 1) ++j;
      put(folded[i]);
      if (j > i + 1) text += '-';
      if (j > i) put(folded[j]);
      i = j + 1;
    }
    text += ']';
  }
  out = std::move(text);
  return true;
#else
  (void)pattern, (void)fold_flags, (void)extras, (void)out;
  return false;
#endif
}

Regex::~Regex() = default;
Regex::Regex(Regex&&) noexcept = default;
Regex& Regex::operator=(Regex&&) noexcept = default;

void Regex::Fold(const char* text, std::size_t n, Folded& folded, bool with_places) const {
  // Each character's form is written as four bytes and the cursor moved by its length.
  folded.text.resize(4 * n + 8);
  char* out = folded.text.data();
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  std::size_t k = 0;
  if (!with_places) {
    const bool ascii_itself = ascii_itself_;  // a local: the writes through out may alias it
    for (std::size_t i = 0; i < n;) {
      // ASCII, which most lines are full of, eight bytes at a time where it reads as itself.
      if (p[i] < 0x80 && ascii_itself) {
        out[k++] = static_cast<char>(p[i++]);
        std::uint64_t eight;
        while (i + 8 <= n && (std::memcpy(&eight, p + i, 8), (eight & 0x8080808080808080u) == 0)) {
          std::memcpy(out + k, &eight, 8);
          i += 8;
          k += 8;
        }
        continue;
      }
      const bool two = i + 1 < n && IsLeadByte(p[i]) && IsTrailByte(p[i + 1]);
      const std::uint64_t form = forms_[two ? static_cast<Code>(p[i] << 8 | p[i + 1]) : p[i]];
      const auto bytes = static_cast<std::uint32_t>(form);
      std::memcpy(out + k, &bytes, 4);
      k += static_cast<std::size_t>(form >> 56);
      i += two ? 2 : 1;
    }
    folded.text.resize(k);
    return;
  }
  folded.at.resize(4 * n + 8);
  std::uint32_t* at = folded.at.data();
  for (std::size_t i = 0; i < n;) {
    const bool two = i + 1 < n && IsLeadByte(p[i]) && IsTrailByte(p[i + 1]);
    const std::uint64_t form = forms_[two ? static_cast<Code>(p[i] << 8 | p[i + 1]) : p[i]];
    const auto bytes = static_cast<std::uint32_t>(form);
    std::memcpy(out + k, &bytes, 4);
    const auto length = static_cast<std::size_t>(form >> 56);
    for (std::size_t b = 0; b < length; ++b) at[k + b] = static_cast<std::uint32_t>(i);
    k += length;
    i += two ? 2 : 1;
  }
  at[k] = static_cast<std::uint32_t>(n);
  folded.text.resize(k);
  folded.at.resize(k + 1);
}

bool Regex::Matches(const Folded& folded) const {
#ifdef KENSAKU_WITH_REGEX
  return re_->Match(folded.text, 0, folded.text.size(), RE2::UNANCHORED, nullptr, 0);
#else
  (void)folded;
  return false;
#endif
}

bool Regex::Find(const Folded& folded, std::size_t from, std::size_t& start,
                 std::size_t& end) const {
#ifdef KENSAKU_WITH_REGEX
  re2::StringPiece match;
  if (!re_->Match(folded.text, from, folded.text.size(), RE2::UNANCHORED, &match, 1)) return false;
  start = static_cast<std::size_t>(match.data() - folded.text.data());
  end = start + match.size();
  return true;
#else
  (void)folded, (void)from, (void)start, (void)end;
  return false;
#endif
}

namespace {
std::vector<Inclusion> LiteralsOf(const Regex& regex) {
  std::vector<Inclusion> literals;
  for (const std::string& literal : regex.literals()) {
    literals.emplace_back(literal.c_str(), MatchOptions(regex.literal_flags()));
  }
  return literals;
}
}  // namespace

LineRegex::LineRegex(const char* text, const MatchOptions& options, const ExtraChars* extras)
    : regex_(text, options, extras),
      literals_(LiteralsOf(regex_)),
      required_(RequiredIn(FormsIn{})) {}

ByteRuns LineRegex::RequiredIn(const FormsIn& in, bool* whole) const {
  if (whole != nullptr) *whole = false;
  ByteRuns runs;
  for (const Inclusion& literal : literals_) {
    ByteRuns own = literal.RequiredBytes(nullptr, nullptr, in);
    if (own.empty()) return {};  // a literal with no bytes known: any line may match
    runs.insert(runs.end(), own.begin(), own.end());
  }
  return runs;
}

}  // namespace kensaku
