#include "match/byte_finder.h"

#include <emmintrin.h>

#include <cstring>

namespace kensaku {
namespace {

// How common a byte is in Japanese Shift_JIS text, roughly: line ends, spaces and the lead bytes
// of kana and punctuation most, then the lead bytes of common kanji and frequent ASCII letters.
int Commonness(unsigned char b) {
  if (b == '\n' || b == '\r' || b == ' ' || (b >= 0x81 && b <= 0x83)) return 9;
  if ((b >= 0x88 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEA)) return 6;
  if (std::strchr("etaoinsrhl", b) != nullptr && b != 0) return 7;
  if ((b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) return 5;
  if (b >= 'A' && b <= 'Z') return 4;
  return 3;
}

}  // namespace

ByteFinder::ByteFinder(ByteSets sets) : sets_(std::move(sets)) {
  if (sets_.size() > kMaxRequiredSets) sets_.resize(kMaxRequiredSets);
  const std::size_t m = sets_.size();
  if (m == 1) {
    int n = 0;
    for (int b = 0; b < 256; ++b) {
      if (sets_[0][b]) {
        ++n;
        single_ = b;
      }
    }
    if (n != 1) single_ = -1;
  }
  bool exact = m > 1;
  for (const ByteSet& set : sets_) {
    int n = 0, byte = 0;
    for (int b = 0; b < 256; ++b) {
      if (set[b]) {
        ++n;
        byte = b;
      }
    }
    exact = exact && n == 1;
    exact_.push_back(static_cast<char>(byte));
  }
  if (exact) {
    for (std::size_t i = 0; i < m; ++i) {
      if (Commonness(static_cast<unsigned char>(exact_[i])) <=
          Commonness(static_cast<unsigned char>(exact_[anchor_]))) {
        anchor_ = i;
      }
    }
  } else {
    exact_.clear();
  }
  // The two sets of at most kProbeBytes bytes that are least common, for the 16-wide probe.
  if (exact_.empty() && single_ < 0 && m >= 2) {
    int best[2] = {-1, -1};
    int score[2] = {1 << 30, 1 << 30};
    for (std::size_t i = 0; i < m; ++i) {
      int n = 0, common = 0;
      for (int b = 0; b < 256; ++b) {
        if (sets_[i][b]) {
          ++n;
          common += Commonness(static_cast<unsigned char>(b));
        }
      }
      if (n == 0 || n > kProbeBytes) continue;
      if (common < score[0]) {
        best[1] = best[0];
        score[1] = score[0];
        best[0] = static_cast<int>(i);
        score[0] = common;
      } else if (common < score[1]) {
        best[1] = static_cast<int>(i);
        score[1] = common;
      }
    }
    if (best[1] >= 0) {
      probed_ = true;
      for (int k = 0; k < 2; ++k) {
        Probe& probe = probes_[k];
        probe.at = static_cast<std::size_t>(best[k]);
        for (int b = 0; b < 256; ++b) {
          if (sets_[probe.at][b]) probe.bytes[probe.count++] = static_cast<unsigned char>(b);
        }
      }
    }
  }
  // Horspool over sets: how far the window may move when its last byte is b.
  for (std::size_t& shift : shift_) shift = m;
  for (std::size_t i = 0; i + 1 < m; ++i) {
    for (int b = 0; b < 256; ++b) {
      if (sets_[i][b]) shift_[b] = m - 1 - i;
    }
  }
}

std::size_t ByteFinder::Find(const char* text, std::size_t n) const {
  const std::size_t m = sets_.size();
  if (m == 0) return 0;
  if (single_ >= 0) {
    const void* hit = std::memchr(text, single_, n);
    return hit != nullptr ? static_cast<std::size_t>(static_cast<const char*>(hit) - text) : n;
  }
  if (n < m) return n;
  if (!exact_.empty()) {
    // memchr runs to each place of the least common byte; the rest is compared there.
    const char* p = text + anchor_;
    const char* const end = text + (n - (m - 1 - anchor_));
    while (p < end) {
      const char* k = static_cast<const char*>(std::memchr(p, exact_[anchor_], end - p));
      if (k == nullptr) return n;
      if (std::memcmp(k - anchor_, exact_.data(), m) == 0) {
        return static_cast<std::size_t>(k - anchor_ - text);
      }
      p = k + 1;
    }
    return n;
  }
  const auto* t = reinterpret_cast<const unsigned char*>(text);
  if (probed_) return Probed(t, n);
  const ByteSet& last = sets_[m - 1];
  for (std::size_t i = 0; i + m <= n;) {
    const unsigned char c = t[i + m - 1];
    if (last[c]) {
      std::size_t k = 0;
      while (k + 1 < m && sets_[k][t[i + k]]) ++k;
      if (k + 1 == m) return i;
    }
    i += shift_[c];
  }
  return n;
}

namespace {

// The 16 places of a block whose byte is one of the probe's, as a bit mask.
int InProbe(const __m128i block, const unsigned char* bytes, int count) {
  __m128i any = _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(bytes[0])));
  for (int k = 1; k < count; ++k) {
    any = _mm_or_si128(any, _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(bytes[k]))));
  }
  return _mm_movemask_epi8(any);
}

}  // namespace

std::size_t ByteFinder::Probed(const unsigned char* t, std::size_t n) const {
  const std::size_t m = sets_.size();
  auto whole = [&](std::size_t i) {
    for (std::size_t k = 0; k < m; ++k) {
      if (!sets_[k][t[i + k]]) return false;
    }
    return true;
  };
  const Probe& a = probes_[0];
  const Probe& b = probes_[1];
  const std::size_t reach = (a.at > b.at ? a.at : b.at) + 16;  // bytes a block's loads cover
  std::size_t i = 0;
  for (; i + reach <= n; i += 16) {
    const __m128i at_a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + a.at));
    const __m128i at_b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + b.at));
    unsigned both = static_cast<unsigned>(InProbe(at_a, a.bytes, a.count) &
                                          InProbe(at_b, b.bytes, b.count));
    while (both != 0) {
      const std::size_t k = i + static_cast<std::size_t>(__builtin_ctz(both));
      if (k + m <= n && whole(k)) return k;
      both &= both - 1;
    }
  }
  for (; i + m <= n; ++i) {
    if (whole(i)) return i;
  }
  return n;
}

}  // namespace kensaku
