#include "match/scalar_row.h"

namespace kensaku {

std::unique_ptr<const ScalarRow> ScalarRow::Make(const std::vector<Element>& elements,
                                                 bool line_start) {
  if (elements.empty() || elements.size() > kMaxElements) return nullptr;
  // The pages the sets name, counted before any is made.
  std::vector<bool> named(0x110000 >> 8);
  std::size_t pages = 0;
  for (const Element& element : elements) {
    for (const char32_t u : element.members) {
      if (u > 0x10FFFF || named[u >> 8]) continue;
      named[u >> 8] = true;
      if (++pages > kMaxPages) return nullptr;
    }
  }
  std::unique_ptr<ScalarRow> row(new ScalarRow());
  row->size_ = elements.size();
  row->line_start_ = line_start;
  row->last_ = std::uint64_t{1} << (elements.size() - 1);
  std::uint64_t negated = 0;
  for (std::size_t k = 0; k < elements.size(); ++k) {
    if (elements[k].negated) negated |= std::uint64_t{1} << k;
  }
  // Page 0 is every page no set names: the negated elements alone.
  row->pages_.assign(0x110000 >> 8, 0);
  row->masks_.assign(256, negated);
  for (std::size_t k = 0; k < elements.size(); ++k) {
    for (const char32_t u : elements[k].members) {
      if (u > 0x10FFFF) continue;
      std::uint16_t& page = row->pages_[u >> 8];
      if (page == 0) {
        page = static_cast<std::uint16_t>(row->masks_.size() / 256);
        row->masks_.insert(row->masks_.end(), 256, negated);
      }
      // A member of a negated set leaves its bit out: the same flip either way.
      row->masks_[std::size_t{page} << 8 | (u & 0xFF)] ^= std::uint64_t{1} << k;
    }
  }
  for (char32_t c = 0; c < 0x80; ++c) row->ascii_[c] = row->MaskOf(c);
  return row;
}

template <bool kLineStart>
bool ScalarRow::Run(const char* text, std::size_t from, std::size_t to, std::size_t* start,
                    std::size_t* end) const {
  const auto* t = reinterpret_cast<const unsigned char*>(text);
  auto more = [](unsigned char b) { return (b & 0xC0) == 0x80; };
  std::uint64_t d = 0;
  std::size_t i = from;
  while (i < to) {
    const unsigned b = t[i];
    std::uint64_t m = 0;
    std::size_t length = 1;
    // Kana and most kanji are three bytes: tried first.
    if (b >= 0xE0 && b < 0xF0) {
      if (i + 2 < to && more(t[i + 1]) && more(t[i + 2]) && (b != 0xE0 || t[i + 1] >= 0xA0) &&
          (b != 0xED || t[i + 1] < 0xA0)) {
        m = MaskOf((b & 0x0F) << 12 | (t[i + 1] & 0x3Fu) << 6 | (t[i + 2] & 0x3Fu));
        length = 3;
      }
    } else if (b < 0x80) {
      m = ascii_[b];
    } else if (b >= 0xC2 && b < 0xE0) {
      if (i + 1 < to && more(t[i + 1])) {
        m = MaskOf((b & 0x1F) << 6 | (t[i + 1] & 0x3Fu));
        length = 2;
      }
    } else if (b >= 0xF0 && b <= 0xF4) {
      if (i + 3 < to && more(t[i + 1]) && more(t[i + 2]) && more(t[i + 3]) &&
          (b != 0xF0 || t[i + 1] >= 0x90) && (b != 0xF4 || t[i + 1] < 0x90)) {
        m = MaskOf((b & 0x07) << 18 | (t[i + 1] & 0x3Fu) << 12 | (t[i + 2] & 0x3Fu) << 6 |
                   (t[i + 3] & 0x3Fu));
        length = 4;
      }
    }
    std::uint64_t first = 1;
    if constexpr (kLineStart) first = i == 0 || t[i - 1] == '\n' ? 1 : 0;
    d = (d << 1 | first) & m;
    i += length;
    if ((d & last_) != 0) {
      if (end != nullptr) *end = i;
      if (start != nullptr) {
        // Back over the row's characters, each well formed: a lead byte and what it leads.
        std::size_t s = i;
        for (std::size_t k = 0; k < size_; ++k) {
          do {
            --s;
          } while (s > from && more(t[s]));
        }
        *start = s;
      }
      return true;
    }
  }
  return false;
}

template bool ScalarRow::Run<true>(const char*, std::size_t, std::size_t, std::size_t*,
                                   std::size_t*) const;
template bool ScalarRow::Run<false>(const char*, std::size_t, std::size_t, std::size_t*,
                                    std::size_t*) const;

}  // namespace kensaku
