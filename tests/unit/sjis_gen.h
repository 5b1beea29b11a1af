// Random Shift_JIS texts for cross-checks: well-formed characters mixed with the hazards (trail
// bytes that look like metacharacters, lone and misplaced lead bytes, half-width kana).
#ifndef KENSAKU_TESTS_UNIT_SJIS_GEN_H_
#define KENSAKU_TESTS_UNIT_SJIS_GEN_H_

#include <random>
#include <string>
#include <vector>

namespace kensaku::testing_gen {

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  template <typename T>
  const T& Pick(const std::vector<T>& v) {
    return v[static_cast<std::size_t>(Int(0, static_cast<int>(v.size()) - 1))];
  }

  // A text of up to max_units pieces drawn from the pieces given.
  std::string Text(const std::vector<std::string>& pieces, int max_units) {
    std::string s;
    const int n = Int(0, max_units);
    for (int i = 0; i < n; ++i) s += Pick(pieces);
    return s;
  }

 private:
  std::mt19937 rng_;
};

// Subject pieces: ASCII, full-width forms, kana of both widths, trail-byte hazards, lone leads.
inline const std::vector<std::string>& SubjectPieces() {
  static const std::vector<std::string> pieces = {
      "a", "b", "c", "A", "B", "x", " ", "\t", "&", "]", "[", "*", ".", "#", "\\", "@", "^", "-",
      "1", "0",
      "\x82\x60",  // full-width A
      "\x82\x81",  // full-width a
      "\x82\x4F",  // full-width 0
      "\x82\xA0",  // hiragana a
      "\x83\x41",  // katakana a
      "\x82\xAA",  // hiragana ga
      "\x83\x4A",  // katakana ka
      "\xB1", "\xB6", "\xDE",
      "\x83\x5C",  // katakana so: trail byte is the backslash code
      "\x81\x5B",  // long vowel mark: trail byte is '['
      "\x81\x5D", "\x82\x63", "\x81\x2A" /* lead before '*' */, "\x81\x40",
      "\x81",      // lone lead before whatever follows
      "\xE0", "\x81\x96" /* full-width asterisk */, "\x81\x8F",
  };
  return pieces;
}

// Pattern pieces add the metacharacters in their forms.
inline const std::vector<std::string>& PatternPieces() {
  static const std::vector<std::string> pieces = [] {
    std::vector<std::string> p = SubjectPieces();
    for (const char* extra : {".", "*", "#", "[a-c]", "[^b]", "[", "]", "\\", "\\t", "\\r", "\\]",
                              "[\\]a]", "[-a]", "[a-]", "[[x]", "[]", "[^]", "a*", "@", "&", "\\&",
                              "[&]", "[\x82\x9F-\x82\xF1]", "[\x83\x5C]", "##", "\\\x83\x5C", "#a", "b#a",
                              "a#\x82\xA0"}) {
      p.push_back(extra);
    }
    return p;
  }();
  return pieces;
}

inline const std::vector<int>& FlagChoices() {
  static const std::vector<int> flags = {0, 0x01, 0x02, 0x03, 0x04, 0x08, 0x0C, 0x10, 0x11,
                                         0x14, 0x20, 0x21, 0x30, 0x40, 0x50, 0x7F};
  return flags;
}

}  // namespace kensaku::testing_gen

#endif  // KENSAKU_TESTS_UNIT_SJIS_GEN_H_
