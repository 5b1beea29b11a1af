// A regex that is a row of single characters (each one of a set of scalars, or any but a set),
// found in UTF-8 text a character at a time: each element of the row is a bit, shifted along
// and kept where the next character is in the element's set. Linear in the text, with no state
// to lock or build as it runs: where nearly every line matches, a line costs a short walk.
//
// It reads the text as the line's own reading does, and as RE2 reads the direct program's
// classes: a byte that begins no well-formed character (an overlong form, a surrogate, a
// sequence cut short) is in no set; a line break is in none unless a negated set leaves it in.
// Tests: tests/unit/encodings_search_test.cpp (against RE2 with the same sets, and against each
// line matched alone).
#ifndef KENSAKU_SRC_MATCH_SCALAR_ROW_H_
#define KENSAKU_SRC_MATCH_SCALAR_ROW_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kensaku {

class ScalarRow {
 public:
  static constexpr std::size_t kMaxElements = 64;
  // Past this many pages of 256 scalars (2 KiB each) a row is not worth its table.
  static constexpr std::size_t kMaxPages = 512;

  struct Element {
    std::vector<char32_t> members;
    bool negated = false;
  };

  // Null for a row longer than kMaxElements, an empty one, or one whose sets span too many
  // pages. With `line_start`, a match begins only where a line does.
  static std::unique_ptr<const ScalarRow> Make(const std::vector<Element>& elements,
                                               bool line_start);

  // The first match in text[from, to) (text[0, from) telling only where lines start), as bytes
  // in start and end. False when there is none.
  bool Find(const char* text, std::size_t from, std::size_t to, std::size_t* start = nullptr,
            std::size_t* end = nullptr) const {
    return line_start_ ? Run<true>(text, from, to, start, end)
                       : Run<false>(text, from, to, start, end);
  }

  std::size_t size() const { return size_; }

 private:
  ScalarRow() = default;
  template <bool kLineStart>
  bool Run(const char* text, std::size_t from, std::size_t to, std::size_t* start,
           std::size_t* end) const;
  std::uint64_t MaskOf(char32_t u) const {
    return masks_[std::size_t{pages_[u >> 8]} << 8 | (u & 0xFF)];
  }

  std::uint64_t ascii_[128] = {};
  std::vector<std::uint16_t> pages_;  // by scalar >> 8: the page of its masks
  std::vector<std::uint64_t> masks_;  // 256 a page: bit k for each element k the scalar is in
  std::uint64_t last_ = 0;
  std::size_t size_ = 0;
  bool line_start_ = false;
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_SCALAR_ROW_H_
