#include "match/regex_syntax.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <string_view>

#include "match/pattern_error.h"
#include "mbchar/encoding.h"

#ifdef KENSAKU_WITH_REGEX
#include <re2/re2.h>
#endif

namespace kensaku {
namespace {

char32_t ScalarOfCode(Code c) {
  if (c < 0x80) return c;
  if (const FixedKana* f = FixedKanaOf(c)) return f->unicode != 0 ? f->unicode : UnicodeOfCp932(f->base);
  return UnicodeOfCp932(c);
}

std::shared_ptr<const std::vector<CharUniverse::Char>> FixedChars() {
  static const auto chars = [] {
    auto all = std::make_shared<std::vector<CharUniverse::Char>>();
    all->reserve(0x100 + 60 * 188);  // every single byte and double-byte code: no copies
    auto add = [&](Code c) {
      if (const char32_t u = ScalarOfCode(c)) all->push_back({c, u});
    };
    for (Code c = 1; c < 0x100; ++c) add(c);
    ForEachDoubleCode(add);
    return std::shared_ptr<const std::vector<CharUniverse::Char>>(std::move(all));
  }();
  return chars;
}

#ifdef KENSAKU_WITH_REGEX
// The members of a class among some characters, by RE2's reading of the class.
bool AddMembers(const RE2& re, const std::vector<CharUniverse::Char>& chars, CodeSet& set) {
  std::string utf8;
  for (const CharUniverse::Char& c : chars) {
    utf8.clear();
    AppendUtf8Of(c.scalar, utf8);
    if (RE2::FullMatch(utf8, re)) set.set(c.code);
  }
  return true;
}
#endif

}  // namespace

CharUniverse::CharUniverse(const ExtraChars* extras, Reading reading)
    : fixed_(FixedChars()), extras_(extras), reading(reading) {
  if (extras == nullptr || extras->empty()) return;
  for (unsigned lead : {0x85u, 0x86u, 0xEBu, 0xECu}) {
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      const auto c = static_cast<Code>(lead << 8 | trail);
      if (const char32_t u = extras->UnicodeOf(c)) extra_chars_.push_back({c, u});
    }
  }
}

char32_t CharUniverse::ScalarOf(Code c) const {
  if (extras_ != nullptr) {
    if (const char32_t u = extras_->UnicodeOf(c)) return u;
  }
  return ScalarOfCode(c);
}

CodeSet CharUniverse::Named(const std::string& re2_class, bool* known) const {
  CodeSet set;
  *known = false;
#ifdef KENSAKU_WITH_REGEX
  // A class and code page 932's part of it are the same for every query: made once.
  struct Made {
    std::unique_ptr<const RE2> re;
    CodeSet fixed;
  };
  static std::mutex mutex;
  static std::map<std::string, std::shared_ptr<const Made>> made;
  std::shared_ptr<const Made> entry;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto it = made.find(re2_class);
    if (it != made.end()) entry = it->second;
  }
  if (entry == nullptr) {
    RE2::Options options;
    options.set_log_errors(false);
    auto fresh = std::make_shared<Made>();
    fresh->re = std::make_unique<const RE2>(re2_class, options);
    if (fresh->re->ok()) AddMembers(*fresh->re, *fixed_, fresh->fixed);
    entry = fresh;
    const std::lock_guard<std::mutex> lock(mutex);
    made.emplace(re2_class, entry);
  }
  if (!entry->re->ok()) return set;
  set = entry->fixed;
  if (!extra_chars_.empty()) AddMembers(*entry->re, extra_chars_, set);
  *known = true;
#else
  (void)re2_class;
#endif
  return set;
}

namespace {

// The RE2 classes the escapes stand for: Unicode's, as users of other tools expect.
constexpr const char* kDigit = "\\p{Nd}";
constexpr const char* kWord = "[\\p{L}\\p{M}\\p{Nd}\\p{Nl}\\p{Pc}]";
constexpr const char* kSpace =
    "[\\t\\n\\v\\f\\r \\x{85}\\x{A0}\\x{1680}\\x{2000}-\\x{200A}\\x{2028}\\x{2029}\\x{202F}"
    "\\x{205F}\\x{3000}]";

bool IsAsciiAlnum(Code c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int HexValue(Code c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Parser {
 public:
  Parser(const char* pattern, std::size_t length, const CharUniverse& universe)
      : p_(pattern), n_(length), universe_(universe) {}

  RegexNode Parse() {
    Flags flags;
    RegexNode node = Alternation(flags, 0);
    if (pos_ < n_) Fail(pos_, "unmatched )");
    return node;
  }

 private:
  struct Flags {
    bool fold_case = false;
    bool ungreedy = false;
  };

  [[noreturn]] static void Fail(std::size_t at, const std::string& what) {
    throw PatternError(at, what);
  }

  bool AtEnd() const { return pos_ >= n_; }
  Code Peek() const { return AtEnd() ? 0 : DecodeText(p_ + pos_).code; }
  // The character at the cursor, which moves past it.
  Code Next() {
    const MbChar c = DecodeText(p_ + pos_);
    pos_ += static_cast<std::size_t>(c.ByteCount());
    if (pos_ > n_) pos_ = n_;
    return c.code;
  }
  bool Eat(char c) {
    if (AtEnd() || p_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  // The walks of a tree recurse (here, in match/regex and in RE2's own parser): deeper ones are
  // refused, as ripgrep's are, so that a pattern cannot overflow a thread's stack.
  static constexpr int kMaxNesting = 250;  // groups in groups, as ripgrep counts them
  static constexpr int kMaxHeight = 300;   // levels of the tree, of any node

  // A node's height from its children's.
  void Nest(RegexNode& node, std::size_t at) const {
    int below = 0;
    for (const RegexNode& child : node.children) below = std::max(below, child.height);
    node.height = below + 1;
    if (node.height > kMaxHeight) Fail(at, "the regular expression nests too deeply");
  }

  RegexNode Alternation(Flags& flags, int depth) {
    if (depth > kMaxNesting) Fail(pos_, "groups nested too deeply");
    std::vector<RegexNode> alternatives;
    alternatives.push_back(Concatenation(flags, depth));
    while (Eat('|')) alternatives.push_back(Concatenation(flags, depth));
    if (alternatives.size() == 1) return std::move(alternatives.front());
    RegexNode node;
    node.kind = RegexNode::Kind::kAlternate;
    node.children = std::move(alternatives);
    Nest(node, pos_);
    return node;
  }

  RegexNode Concatenation(Flags& flags, int depth) {
    RegexNode node;
    node.kind = RegexNode::Kind::kConcat;
    while (!AtEnd() && p_[pos_] != '|' && p_[pos_] != ')') {
      const std::size_t start = pos_;
      RegexNode atom;
      if (!Atom(flags, depth, atom)) continue;  // a flag group, \Q\E or \E: nothing to match
      Quantifiers(flags, start, atom);
      node.children.push_back(std::move(atom));
    }
    if (node.children.size() == 1) return std::move(node.children.front());
    if (node.children.empty()) node.kind = RegexNode::Kind::kEmpty;
    Nest(node, pos_);
    return node;
  }

  // Reads {n}, {n,} or {n,m} at the cursor into min and max; false (the cursor as it was) when
  // what follows is no repetition, and a `{` is then a character.
  bool Counts(int& min, int& max) {
    std::size_t k = pos_;
    if (k >= n_ || p_[k] != '{') return false;
    auto number = [&](int& value) {
      const std::size_t from = k;
      long v = 0;
      while (k < n_ && p_[k] >= '0' && p_[k] <= '9') {
        v = v * 10 + (p_[k] - '0');
        if (v > 100000) v = 100000;
        ++k;
      }
      value = static_cast<int>(v);
      return k > from;
    };
    ++k;
    if (!number(min)) return false;
    max = min;
    if (k < n_ && p_[k] == ',') {
      ++k;
      if (!number(max)) max = -1;
    }
    if (k >= n_ || p_[k] != '}') return false;
    const std::size_t at = pos_;
    pos_ = k + 1;
    if (min > 1000 || max > 1000) Fail(at, "repetition count too large (at most 1000)");
    if (max >= 0 && max < min) Fail(at, "invalid repetition range (the larger count first)");
    return true;
  }

  void Quantifiers(const Flags& flags, std::size_t start, RegexNode& atom) {
    for (;;) {
      int min = 0, max = 0;
      const std::size_t at = pos_;
      if (Eat('*')) {
        min = 0, max = -1;
      } else if (Eat('+')) {
        min = 1, max = -1;
      } else if (Eat('?')) {
        min = 0, max = 1;
      } else if (!Counts(min, max)) {
        return;
      }
      (void)start;
      RegexNode repeat;
      repeat.kind = RegexNode::Kind::kRepeat;
      repeat.min = min;
      repeat.max = max;
      repeat.greedy = !Eat('?') != flags.ungreedy;
      repeat.children.push_back(std::move(atom));
      Nest(repeat, at);
      atom = std::move(repeat);
    }
  }

  static RegexNode CharNode(Code c, const Flags& flags) {
    RegexNode node;
    node.kind = RegexNode::Kind::kChar;
    node.code = c;
    node.fold_case = flags.fold_case;
    return node;
  }

  static RegexNode SetNode(CodeSet set, bool negated, const Flags& flags) {
    RegexNode node;
    node.kind = RegexNode::Kind::kSet;
    node.set = std::make_shared<const CodeSet>(std::move(set));
    node.negated = negated;
    node.fold_case = flags.fold_case;
    return node;
  }

  static RegexNode Assert(const char* what) {
    RegexNode node;
    node.kind = RegexNode::Kind::kAssert;
    node.assertion = what;
    return node;
  }

  // False when what was read matches nothing of its own (flags, an empty \Q\E).
  bool Atom(Flags& flags, int depth, RegexNode& node) {
    const std::size_t start = pos_;
    const char c = p_[pos_];
    switch (c) {
      case '(':
        return Group(flags, depth, node);
      case '[':
        node = Class(flags);
        return true;
      case '.':
        ++pos_;
        node.kind = RegexNode::Kind::kAny;
        return true;
      case '^':
        ++pos_;
        node = Assert("^");
        return true;
      case '$':
        ++pos_;
        node = Assert("$");
        return true;
      case '*': case '+': case '?':
        Fail(start, std::string("missing argument to repetition operator ") + c);
      case '{': {
        int min = 0, max = 0;
        if (Counts(min, max)) Fail(start, "missing argument to repetition operator {");
        ++pos_;
        node = CharNode('{', flags);
        return true;
      }
      case '\\':
        return Escape(flags, node);
      default:
        node = CharNode(Next(), flags);
        return true;
    }
  }

  bool Group(Flags& flags, int depth, RegexNode& node) {
    const std::size_t open = pos_++;
    Flags inner = flags;
    if (Eat('?')) {
      if (Eat(':')) {
      } else if (Eat('=') || Eat('!')) {
        Fail(open, "look-around is not supported (matching runs in linear time)");
      } else if (Eat('<') || Eat('P')) {
        if (p_[pos_ - 1] == 'P' && !Eat('<')) Fail(open, "invalid group");
        if (!AtEnd() && (p_[pos_] == '=' || p_[pos_] == '!')) {
          Fail(open, "look-around is not supported (matching runs in linear time)");
        }
        const std::size_t name = pos_;
        while (!AtEnd() && (IsAsciiAlnum(static_cast<unsigned char>(p_[pos_])) || p_[pos_] == '_')) {
          ++pos_;
        }
        if (pos_ == name || !Eat('>')) Fail(open, "invalid group name");
      } else {
        // Flags, for the rest of this group or for a group of their own.
        bool on = true, any = false;
        for (;;) {
          if (AtEnd()) Fail(open, "missing )");
          const char f = p_[pos_++];
          if (f == ')' || f == ':') {
            if (!any) Fail(open, "invalid flags");
            if (f == ')') {
              flags = inner;
              return false;
            }
            break;
          }
          if (f == '-' && on) {
            on = false;
            continue;
          }
          any = true;
          switch (f) {
            case 'i': inner.fold_case = on; break;
            case 'U': inner.ungreedy = on; break;
            case 's': case 'm': break;  // a line holds no line break
            default:
              Fail(pos_ - 1, std::string("unknown flag ") + f);
          }
        }
      }
    }
    RegexNode body = Alternation(inner, depth + 1);
    if (!Eat(')')) Fail(open, "missing )");
    node.kind = RegexNode::Kind::kGroup;
    node.children.push_back(std::move(body));
    Nest(node, open);
    return true;
  }

  // A class RE2 reads, as the codes of its members; `negated` takes the complement.
  CodeSet Named(const std::string& re2_class, std::size_t at) const {
    bool known = false;
    CodeSet set = universe_.Named(re2_class, &known);
    if (!known) Fail(at, "unknown class " + re2_class);
    return set;
  }

  // \d \D \w \W \s \S \p.. \P..: the members, and whether they are negated.
  bool ClassEscape(Code c, std::size_t at, CodeSet& set, bool& negated) {
    negated = c == 'D' || c == 'W' || c == 'S' || c == 'P';
    switch (c) {
      case 'd': case 'D': set = Named(kDigit, at); return true;
      case 'w': case 'W': set = Named(kWord, at); return true;
      case 's': case 'S': set = Named(kSpace, at); return true;
      case 'p': case 'P': break;
      default: return false;
    }
    std::string name;
    if (Eat('{')) {
      while (!AtEnd() && p_[pos_] != '}') name.push_back(p_[pos_++]);
      if (!Eat('}')) Fail(at, "missing } after \\p");
    } else if (!AtEnd()) {
      name.push_back(p_[pos_++]);
    }
    if (!name.empty() && name[0] == '^') {
      negated = !negated;
      name.erase(0, 1);
    }
    for (const char* prefix : {"Script=", "sc=", "scx=", "Script_Extensions=", "General_Category=",
                               "gc="}) {
      if (name.rfind(prefix, 0) == 0) name.erase(0, std::string(prefix).size());
    }
    for (char ch : name) {
      if (!IsAsciiAlnum(static_cast<unsigned char>(ch)) && ch != '_') Fail(at, "invalid class name");
    }
    if (name.empty()) Fail(at, "invalid class name");
    // Unicode's names as users write them: han, HIRAGANA.
    std::string cased = name;
    if (cased.size() > 2) {
      for (char& ch : cased) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      cased[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(cased[0])));
    }
    for (const std::string& n : {name, cased}) {
      // The prolonged sound mark is written in katakana words, and users count it as one.
      const std::string re2 = n == "Katakana" ? "[\\p{Katakana}\\x{30FC}\\x{FF70}]"
                                               : "\\p{" + n + "}";
      bool known = false;
      set = universe_.Named(re2, &known);
      if (known) return true;
    }
    Fail(at, "unknown Unicode class " + name);
  }

  // The code of a scalar named by an escape, when a text can hold it.
  Code CodeOfScalar(char32_t u, std::size_t at) const {
    if (IsVariationSelector(u)) Fail(at, "a variation selector, which text is read without");
    u = ScalarAsRead(u, universe_.reading);
    Code code = u < 0x80 ? static_cast<Code>(u) : Cp932OfUnicode(u);
    if (code == 0 && u >= 0x80) code = FixedCodeOf(u);
    if (code == 0 && u >= 0x80) {
      universe_.ForEachChar([&](const CharUniverse::Char& c) {
        if (code == 0 && c.scalar == u) code = c.code;
      });
    }
    if (code == 0) Fail(at, "a character no text read here can hold: write it as itself");
    return code;
  }

  // After a backslash in or out of a class: a character it stands for, or false.
  bool CharEscape(Code c, std::size_t at, Code& code) {
    switch (c) {
      case 'n': code = '\n'; return true;
      case 't': code = '\t'; return true;
      case 'r': code = '\r'; return true;
      case 'f': code = '\f'; return true;
      case 'v': code = '\v'; return true;
      case 'a': code = '\a'; return true;
      case 'x': {
        char32_t u = 0;
        if (Eat('{')) {
          int digits = 0;
          while (!AtEnd() && p_[pos_] != '}') {
            const int h = HexValue(static_cast<unsigned char>(p_[pos_++]));
            if (h < 0 || ++digits > 6) Fail(at, "invalid \\x{...}");
            u = u * 16 + static_cast<char32_t>(h);
          }
          if (!Eat('}') || digits == 0 || u > 0x10FFFF) Fail(at, "invalid \\x{...}");
        } else {
          for (int k = 0; k < 2; ++k) {
            const int h = AtEnd() ? -1 : HexValue(static_cast<unsigned char>(p_[pos_]));
            if (h < 0) Fail(at, "invalid \\x escape");
            ++pos_;
            u = u * 16 + static_cast<char32_t>(h);
          }
        }
        code = u == 0 ? 0 : CodeOfScalar(u, at);  // a NUL, which no line holds: a range's start
        return true;
      }
      default:
        if (c >= '1' && c <= '9') {
          Fail(at, "back-references are not supported (matching runs in linear time)");
        }
        // Punctuation, and any character that is no ASCII letter or digit, stands for itself.
        if (c < 0x80 && IsAsciiAlnum(c)) return false;
        if (c == 0) return false;
        code = c;
        return true;
    }
  }

  // Not inlined, as Class: their sets (8 KiB each) stay off the frames the groups recurse through.
  __attribute__((noinline)) bool Escape(Flags& flags, RegexNode& node) {
    const std::size_t at = pos_++;
    if (AtEnd()) Fail(at, "trailing backslash");
    const Code c = Next();
    switch (c) {
      case 'b': node = Assert("\\b"); return true;
      case 'B': node = Assert("\\B"); return true;
      case 'A': node = Assert("\\A"); return true;
      case 'z': node = Assert("\\z"); return true;
      case 'E': return false;
      case 'Q': {
        RegexNode run;
        run.kind = RegexNode::Kind::kConcat;
        while (!AtEnd() && !(p_[pos_] == '\\' && pos_ + 1 < n_ && p_[pos_ + 1] == 'E')) {
          run.children.push_back(CharNode(Next(), flags));
        }
        if (!AtEnd()) pos_ += 2;
        if (run.children.empty()) return false;
        node = run.children.size() == 1 ? std::move(run.children.front()) : std::move(run);
        if (node.kind == RegexNode::Kind::kConcat) {
          Nest(node, pos_);
          RegexNode group;
          group.kind = RegexNode::Kind::kGroup;  // a quantifier after it takes the whole run
          group.children.push_back(std::move(node));
          Nest(group, pos_);
          node = std::move(group);
        }
        return true;
      }
      default:
        break;
    }
    CodeSet set;
    bool negated = false;
    if (ClassEscape(c, at, set, negated)) {
      node = SetNode(std::move(set), negated, flags);
      return true;
    }
    Code code = 0;
    if (!CharEscape(c, at, code)) Fail(at, "invalid escape");
    node = CharNode(code, flags);
    return true;
  }

  // One character of a class, for a member or a range's end; false at an escape that names a
  // class (its members then in `set`).
  bool ClassChar(std::size_t open, Code& code, CodeSet& set) {
    if (AtEnd()) Fail(open, "missing ] (an unclosed character class)");
    if (p_[pos_] != '\\') {
      code = Next();
      return true;
    }
    const std::size_t at = pos_++;
    if (AtEnd()) Fail(open, "missing ] (an unclosed character class)");
    const Code c = Next();
    bool negated = false;
    if (ClassEscape(c, at, set, negated)) {
      if (negated) Complement(set);
      return false;
    }
    if (!CharEscape(c, at, code)) Fail(at, "invalid escape in a character class");
    return true;
  }

  void Complement(CodeSet& set) const {
    CodeSet all;
    universe_.ForEachChar([&all](const CharUniverse::Char& c) { all.set(c.code); });
    set = all & ~set;
  }

  __attribute__((noinline)) RegexNode Class(const Flags& flags) {
    const std::size_t open = pos_++;
    const bool negated = Eat('^');
    CodeSet set;
    bool first = true;
    for (;;) {
      if (AtEnd()) Fail(open, "missing ] (an unclosed character class)");
      if (p_[pos_] == ']' && !first) {
        ++pos_;
        break;
      }
      first = false;
      if (p_[pos_] == '[' && pos_ + 1 < n_ && p_[pos_ + 1] == ':') {
        const std::size_t at = pos_;
        // "[:]" is no class: its ":]" must come after the "[:".
        const std::size_t close = std::string_view(p_ + pos_, n_ - pos_).find(":]", 2);
        if (close != std::string_view::npos) {
          std::string name(p_ + pos_ + 2, close - 2);
          pos_ += close + 2;
          bool not_in = false;
          if (!name.empty() && name[0] == '^') {
            not_in = true;
            name.erase(0, 1);
          }
          CodeSet members = Named("[[:" + name + ":]]", at);
          if (not_in) Complement(members);
          set |= members;
          continue;
        }
      }
      const std::size_t at = pos_;
      Code lo = 0;
      CodeSet named;
      if (!ClassChar(open, lo, named)) {
        set |= named;
        continue;
      }
      if (pos_ + 1 < n_ && p_[pos_] == '-' && p_[pos_ + 1] != ']') {
        ++pos_;
        Code hi = 0;
        if (!ClassChar(open, hi, named)) Fail(at, "invalid range: a class cannot end a range");
        const char32_t from = universe_.ScalarOf(lo), to = universe_.ScalarOf(hi);
        if ((from == 0 && lo != 0) || (to == 0 && hi != 0)) Fail(at, "invalid range");
        if (to < from) Fail(at, "invalid range: its end comes before its start");
        universe_.ForEachChar([&, from = from, to = to](const CharUniverse::Char& c) {
          if (c.scalar >= from && c.scalar <= to) set.set(c.code);
        });
        continue;
      }
      set.set(lo);
    }
    return SetNode(std::move(set), negated, flags);
  }

  const char* p_;
  std::size_t n_;
  std::size_t pos_ = 0;
  const CharUniverse& universe_;
};

}  // namespace

void AddEscapedChars(std::string_view pattern, Reading reading, ExtraChars& extras) {
  for (std::size_t at = pattern.find("\\x"); at != std::string_view::npos;
       at = pattern.find("\\x", at + 2)) {
    // An escaped backslash before it makes it no escape.
    std::size_t slashes = 0;
    while (slashes < at && pattern[at - 1 - slashes] == '\\') ++slashes;
    if (slashes % 2 != 0) continue;
    std::size_t k = at + 2;
    const bool braced = k < pattern.size() && pattern[k] == '{';
    if (braced) ++k;
    char32_t u = 0;
    std::size_t digits = 0;
    for (; k < pattern.size() && digits < (braced ? 6u : 2u); ++k, ++digits) {
      const int h = HexValue(static_cast<unsigned char>(pattern[k]));
      if (h < 0) break;
      u = u * 16 + static_cast<char32_t>(h);
    }
    if (digits == 0 || (braced && (k >= pattern.size() || pattern[k] != '}')) || u > 0x10FFFF) {
      continue;  // the parser says what is wrong
    }
    const char32_t read = ScalarAsRead(u, reading);
    if (read < 0x80 || IsVariationSelector(read) || (read >= 0xD800 && read < 0xE000)) continue;
    if (Cp932OfUnicode(read) == 0 && FixedCodeOf(read) == 0) extras.Add(read);
  }
}

bool RegexFoldsCase(std::string_view pattern) {
  for (std::size_t at = pattern.find("(?"); at != std::string_view::npos;
       at = pattern.find("(?", at + 2)) {
    for (std::size_t k = at + 2; k < pattern.size(); ++k) {
      const char c = pattern[k];
      if (c == 'i') return true;
      if (c != 'm' && c != 's' && c != 'U') break;  // '-' turns flags off: not this one
    }
  }
  return false;
}

RegexNode ParseRegex(const char* pattern, std::size_t length, const CharUniverse& universe) {
  return Parser(pattern, length, universe).Parse();
}

}  // namespace kensaku
