#include "match/byte_finder.h"

#include <emmintrin.h>
#include <tmmintrin.h>
#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <iterator>
#include <cstring>
#include <vector>

#include "frame/bits.h"
#include "frame/cpu.h"
#include "frame/find_byte.h"
#include "match/list_filter.h"

namespace kensaku {
namespace {

// How common a byte is in Japanese text, roughly. Shift_JIS: line ends, spaces and the lead
// bytes of kana and punctuation most, then the lead bytes of common kanji and frequent ASCII
// letters. UTF-8: the lead byte of kana and punctuation (and of some kanji) far more than
// anything, the second bytes of kana and punctuation next, and the other continuation bytes
// spread thin. EUC-JP: the first bytes of hiragana, katakana and punctuation.
int AsciiCommonness(unsigned char b) {
  if (b == '\n' || b == '\r' || b == ' ') return 9;
  if (std::strchr("etaoinsrhl", b) != nullptr && b != 0) return 7;
  if ((b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) return 5;
  if (b >= 'A' && b <= 'Z') return 4;
  return 3;
}

int Commonness(unsigned char b, Encoding text) {
  if (b < 0x80) return AsciiCommonness(b);
  switch (text) {
    case Encoding::kUtf8:
      if (b == 0xE3) return 20;
      if (b <= 0x83) return 12;
      if (b >= 0xE4 && b <= 0xE9) return 8;
      return b <= 0xBF ? 4 : 2;
    case Encoding::kEucJp:
      if (b == 0xA1 || b == 0xA4 || b == 0xA5) return 12;
      if (b >= 0xB0 && b <= 0xF4) return 6;
      return b >= 0xA1 ? 4 : 2;
    default:
      if (b >= 0x81 && b <= 0x83) return 9;
      if ((b >= 0x88 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEA)) return 6;
      return 3;
  }
}

// Commonness as a rough share of a text's places.
double ShareOf(unsigned char b, Encoding text) {
  switch (Commonness(b, text)) {
    case 20: return 0.2;
    case 12: return 0.06;
    case 9: return 0.05;
    case 8: return 0.02;
    case 7: return 0.015;
    case 6: return 0.01;
    case 5: return 0.006;
    case 4: return 0.004;
    case 3: return 0.002;
    default: return 0.001;
  }
}

}  // namespace

bool ByteFinder::ChooseProbes(const ByteSets& sets, Encoding text) {
  // The two sets of at most kProbeBytes bytes that are least common; for an exact run of bytes,
  // its two least common bytes.
  int best[2] = {-1, -1};
  int score[2] = {1 << 30, 1 << 30};
  for (std::size_t i = 0; i < sets.size(); ++i) {
    int n = 0, common = 0;
    sets[i].ForEach([&](unsigned b) {
      ++n;
      common += Commonness(static_cast<unsigned char>(b), text);
    });
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
  if (best[1] < 0) return false;
  for (int k = 0; k < 2; ++k) {
    Probe& probe = probes_[k];
    probe.at = static_cast<std::size_t>(best[k]);
    sets[probe.at].ForEach(
        [&probe](unsigned b) { probe.bytes[probe.count++] = static_cast<unsigned char>(b); });
    // Every compare is made, with the loop unrolled and its broadcasts kept out of it: the
    // first byte again in the places left over.
    for (int j = probe.count; j < kProbeBytes; ++j) probe.bytes[j] = probe.bytes[0];
  }
  return true;
}

ByteFinder::ByteFinder(ByteRuns runs, Encoding text) : runs_(std::move(runs)) {
  for (ByteSets& run : runs_) {
    if (run.size() > kMaxRequiredSets) run.resize(kMaxRequiredSets);
  }
  // More alternatives than the list filter holds (a regex of many literals in many forms): a
  // line may hold any of them, so none is required, rather than some left out.
  if (runs_.size() > ListFilter::kMaxEntries) runs_.clear();
  shortest_ = runs_.empty() ? 0 : runs_[0].size();
  for (const ByteSets& run : runs_) {
    shortest_ = run.size() < shortest_ ? run.size() : shortest_;
    longest_ = run.size() > longest_ ? run.size() : longest_;
  }
  if (runs_.size() > 1) {
    any_ = std::make_shared<const ListFilter>(runs_);
    density_ = std::make_shared<Density>();
  }
  if (runs_.size() == 1) sets_ = runs_[0];
  const std::size_t m = sets_.size();
  if (m == 1 && sets_[0].Count() == 1) single_ = static_cast<int>(sets_[0].First());
  if (single_ < 0 && m >= 2) probed_ = ChooseProbes(sets_, text);
  // A few alternatives are probed at two of their first places, each for every byte some
  // alternative has there, where the estimated share of places passing both is small; the list
  // filter's sweep costs several times the work.
  if (any_ != nullptr && runs_.size() <= kMaxProbedRuns && shortest_ >= 2) {
    ByteSets unions(shortest_);
    std::vector<double> share(shortest_);
    for (std::size_t i = 0; i < shortest_; ++i) {
      for (const ByteSets& run : runs_) unions[i] |= run[i];
      unions[i].ForEach(
          [&](unsigned b) { share[i] += ShareOf(static_cast<unsigned char>(b), text); });
    }
    double best = kMaxProbedShare;
    for (std::size_t i = 0; i < shortest_; ++i) {
      for (std::size_t j = i + 1; j < shortest_; ++j) {
        if (share[i] * share[j] >= best) continue;
        best = share[i] * share[j];
        set_probes_[0].at = i;
        set_probes_[1].at = j;
        probed_ = true;
      }
    }
    for (SetProbe& probe : set_probes_) {
      if (!probed_) break;
      // Each high half of a byte gets a bit (shared past eight: more bytes pass, none is lost);
      // a byte is in the set when the tables of its halves share a bit.
      int bit_of[16];
      std::fill(std::begin(bit_of), std::end(bit_of), -1);
      int next = 0;
      unions[probe.at].ForEach([&](unsigned b) {
        if (bit_of[b >> 4] < 0) bit_of[b >> 4] = next++ % 8;
        const auto bit = static_cast<unsigned char>(1u << bit_of[b >> 4]);
        probe.hi[b >> 4] = bit;
        probe.lo[b & 15] |= bit;
      });
    }
  }
  // Horspool over sets: how far the window may move when its last byte is b.
  for (std::size_t& shift : shift_) shift = m;
  for (std::size_t i = 0; i + 1 < m; ++i) {
    sets_[i].ForEach([&](unsigned b) { shift_[b] = m - 1 - i; });
  }
}

std::size_t ByteFinder::Find(const char* text, std::size_t n, std::size_t* length) const {
  if (any_ != nullptr) {
    const auto* t = reinterpret_cast<const unsigned char*>(text);
    std::size_t k = n;
    if (probed_) {
      if (n >= shortest_) k = Probed(t, n);
      if (length != nullptr) {
        *length = longest_;
        for (std::uint64_t found = k < n ? any_->EntriesAt(t, k, n) : 0; found != 0;
             found &= found - 1) {
          const std::size_t size = runs_[static_cast<std::size_t>(CountrZero(found))].size();
          if (size < *length) *length = size;
        }
      }
      return k;
    }
    std::uint64_t found = 0;
    k = any_->First(t, 0, n, found);
    if (length != nullptr) {
      *length = longest_;
      for (; found != 0; found &= found - 1) {
        const std::size_t size = runs_[static_cast<std::size_t>(CountrZero(found))].size();
        if (size < *length) *length = size;
      }
    }
    return k;
  }
  if (length != nullptr) *length = sets_.size();
  const std::size_t m = sets_.size();
  if (m == 0) return 0;
  if (single_ >= 0) {
    const char* hit = FindByte(text, static_cast<char>(single_), n);
    return hit != nullptr ? static_cast<std::size_t>(hit - text) : n;
  }
  if (n < m) return n;
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

// The places of a block whose byte is one of the probe's, as a bit mask: 16 places with SSE2,
// 32 with AVX2.
struct Sse2 {
  static constexpr std::size_t kWidth = 16;
  static inline unsigned In(const unsigned char* at, const unsigned char* bytes) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    __m128i any = _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(bytes[0])));
    for (int k = 1; k < ByteFinder::kProbeBytes; ++k) {
      any = _mm_or_si128(any, _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(bytes[k]))));
    }
    return static_cast<unsigned>(_mm_movemask_epi8(any));
  }
  static inline unsigned Is(const unsigned char* at, unsigned char byte) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(byte)))));
  }
};

// The places of a block whose byte is in a probe's set.
struct Ssse3 : Sse2 {
  __attribute__((target("ssse3"))) static inline unsigned InSet(const unsigned char* at,
                                                                const unsigned char* lo,
                                                                const unsigned char* hi) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i both = _mm_and_si128(
        _mm_shuffle_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(lo)),
                         _mm_and_si128(block, nibble)),
        _mm_shuffle_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(hi)),
                         _mm_and_si128(_mm_srli_epi16(block, 4), nibble)));
    return ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(both, _mm_setzero_si128()))) &
           0xFFFF;
  }
};

struct Avx2 {
  static constexpr std::size_t kWidth = 32;
  __attribute__((target("avx2"))) static inline unsigned InSet(const unsigned char* at,
                                                               const unsigned char* lo,
                                                               const unsigned char* hi) {
    const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i both = _mm256_and_si256(
        _mm256_shuffle_epi8(
            _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(lo))),
            _mm256_and_si256(block, nibble)),
        _mm256_shuffle_epi8(
            _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(hi))),
            _mm256_and_si256(_mm256_srli_epi16(block, 4), nibble)));
    return ~static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(both, _mm256_setzero_si256())));
  }
  __attribute__((target("avx2"))) static inline unsigned In(const unsigned char* at,
                                                            const unsigned char* bytes) {
    const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    __m256i any = _mm256_cmpeq_epi8(block, _mm256_set1_epi8(static_cast<char>(bytes[0])));
    for (int k = 1; k < ByteFinder::kProbeBytes; ++k) {
      any = _mm256_or_si256(
          any, _mm256_cmpeq_epi8(block, _mm256_set1_epi8(static_cast<char>(bytes[k]))));
    }
    return static_cast<unsigned>(_mm256_movemask_epi8(any));
  }
  __attribute__((target("avx2"))) static inline unsigned Is(const unsigned char* at,
                                                            unsigned char byte) {
    const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    return static_cast<unsigned>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(block, _mm256_set1_epi8(static_cast<char>(byte)))));
  }
};

}  // namespace

// Inlined into each caller, which brings the instructions of its Vec; kAny for several
// alternatives.
template <typename Vec, bool kAny>
__attribute__((always_inline)) inline std::size_t ByteFinder::ProbedWith(const unsigned char* t,
                                                                         std::size_t n) const {
  // Of several alternatives, the shortest is the least every place must hold.
  const std::size_t m = kAny ? shortest_ : sets_.size();
  auto whole = [&](std::size_t i) {
    if constexpr (kAny) return any_->EntriesAt(t, i, n) != 0;
    for (std::size_t k = 0; k < m; ++k) {
      if (!sets_[k][t[i + k]]) return false;
    }
    return true;
  };
  // The probes of several alternatives are shared bytes that a text may hold everywhere (the
  // lead bytes of kana): once they pass places in vain too often (kDenseSpacing), over this text
  // or those before, the list filter's sweep takes over.
  std::size_t missed = 0, told_missed = 0, told_scanned = 0;
  auto weigh = [&](std::size_t scanned) {
    if (missed == told_missed) return false;
    const std::uint64_t all =
        density_->missed.fetch_add(missed - told_missed, std::memory_order_relaxed) + missed -
        told_missed;
    const std::uint64_t bytes =
        density_->scanned.fetch_add(scanned - told_scanned, std::memory_order_relaxed) + scanned -
        told_scanned;
    told_missed = missed;
    told_scanned = scanned;
    if (all <= kDenseMisses || all * kDenseSpacing <= bytes) return false;
    density_->dense.store(true, std::memory_order_relaxed);
    return true;
  };
  auto dense = [&](std::size_t k) {
    return kAny && ++missed > kDenseMisses && missed * kDenseSpacing > k && weigh(k);
  };
  auto found_at = [&](std::size_t k) {
    if constexpr (kAny) weigh(k);
    return k;
  };
  auto swept = [&](std::size_t i) {
    std::uint64_t found = 0;
    return any_->First(t, i, n, found);
  };
  if (kAny && density_->dense.load(std::memory_order_relaxed)) return swept(0);
  const Probe& a = probes_[0];
  const Probe& b = probes_[1];
  const std::size_t a_at = kAny ? set_probes_[0].at : a.at, b_at = kAny ? set_probes_[1].at : b.at;
  const std::size_t reach = (a_at > b_at ? a_at : b_at) + Vec::kWidth;  // bytes a block covers
  std::size_t i = 0;
  if (!kAny && a.count == 1 && b.count == 1) {
    // An exact run: one compare a probe, two blocks a step, as most blocks hold no candidate.
    for (; i + reach + Vec::kWidth <= n; i += 2 * Vec::kWidth) {
      const std::uint64_t low =
          Vec::Is(t + i + a.at, a.bytes[0]) & Vec::Is(t + i + b.at, b.bytes[0]);
      const std::uint64_t high = Vec::Is(t + i + Vec::kWidth + a.at, a.bytes[0]) &
                                 Vec::Is(t + i + Vec::kWidth + b.at, b.bytes[0]);
      for (std::uint64_t both = low | high << Vec::kWidth; both != 0; both &= both - 1) {
        const std::size_t k = i + static_cast<std::size_t>(__builtin_ctzll(both));
        if (k + m <= n && whole(k)) return found_at(k);
        if (dense(k)) return swept(i);
      }
    }
  }
  for (; i + reach <= n; i += Vec::kWidth) {
    unsigned both = 0;
    if constexpr (kAny) {
      both = Vec::InSet(t + i + a_at, set_probes_[0].lo, set_probes_[0].hi) &
             Vec::InSet(t + i + b_at, set_probes_[1].lo, set_probes_[1].hi);
    } else {
      both = Vec::In(t + i + a.at, a.bytes) & Vec::In(t + i + b.at, b.bytes);
    }
    while (both != 0) {
      const std::size_t k = i + static_cast<std::size_t>(__builtin_ctz(both));
      if (k + m <= n && whole(k)) return found_at(k);
      if (dense(k)) return swept(i);
      both &= both - 1;
    }
  }
  for (; i + m <= n; ++i) {
    if (whole(i)) return found_at(i);
  }
  return found_at(n);
}

template <bool kAny>
__attribute__((target("avx2,bmi"))) std::size_t ByteFinder::ProbedAvx2(const unsigned char* t,
                                                                       std::size_t n) const {
  return ProbedWith<Avx2, kAny>(t, n);
}

__attribute__((target("ssse3"))) std::size_t ByteFinder::ProbedSsse3(const unsigned char* t,
                                                                     std::size_t n) const {
  return ProbedWith<Ssse3, true>(t, n);
}

std::size_t ByteFinder::Probed(const unsigned char* t, std::size_t n) const {
  const SimdLevel level = Simd();
  if (level == SimdLevel::kAvx2) {
    return any_ != nullptr ? ProbedAvx2<true>(t, n) : ProbedAvx2<false>(t, n);
  }
  if (any_ == nullptr) return ProbedWith<Sse2, false>(t, n);
  // Sets are looked up by a shuffle, which SSE2 lacks.
  if (level == SimdLevel::kSse2) {
    std::uint64_t found = 0;
    return any_->First(t, 0, n, found);
  }
  return ProbedSsse3(t, n);
}

}  // namespace kensaku
