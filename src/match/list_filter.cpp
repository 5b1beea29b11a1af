#include "match/list_filter.h"

#include <emmintrin.h>
#include <tmmintrin.h>
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "frame/bits.h"
#include "frame/cpu.h"

namespace kensaku {
namespace {

// One place at a time: the tails of the vector loops, and processors without SSSE3.
struct Scalar {
  static constexpr std::size_t kWidth = 0;
  explicit Scalar(const ListFilter&) {}
  unsigned Candidates(const unsigned char*, unsigned char*) const { return 0; }
};

// The buckets of the halves in use at each place of a block: bit k of the result when some
// bucket survives at p + k, and out[k], out[kWidth + k] its buckets 0-7 and 8-15 (the second
// only with two halves: a list of eight entries or fewer keeps to the first).
template <int kUsed>
struct Ssse3 {
  static constexpr std::size_t kWidth = 16;
  static constexpr int kHalves = kUsed;
  __attribute__((target("ssse3"))) explicit Ssse3(const ListFilter& f) : offsets(f.offsets()) {
    for (int half = 0; half < 2; ++half) {
      for (std::size_t j = 0; j < offsets; ++j) {
        lo[half][j] = _mm_load_si128(reinterpret_cast<const __m128i*>(f.lo(half, j)));
        hi[half][j] = _mm_load_si128(reinterpret_cast<const __m128i*>(f.hi(half, j)));
      }
    }
  }
  __attribute__((target("ssse3"))) unsigned Candidates(const unsigned char* p,
                                                       unsigned char* out) const {
    const __m128i nibble = _mm_set1_epi8(0x0F);
    __m128i r0 = _mm_set1_epi8(-1), r1 = r0;
    for (std::size_t j = 0; j < offsets; ++j) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
      const __m128i low = _mm_and_si128(v, nibble);
      const __m128i high = _mm_and_si128(_mm_srli_epi16(v, 4), nibble);
      r0 = _mm_and_si128(
          r0, _mm_and_si128(_mm_shuffle_epi8(lo[0][j], low), _mm_shuffle_epi8(hi[0][j], high)));
      if constexpr (kHalves == 2) {
        r1 = _mm_and_si128(r1, _mm_and_si128(_mm_shuffle_epi8(lo[1][j], low),
                                             _mm_shuffle_epi8(hi[1][j], high)));
      }
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), r0);
    if constexpr (kHalves == 2) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + kWidth), r1);
      r0 = _mm_or_si128(r0, r1);
    }
    const __m128i none = _mm_cmpeq_epi8(r0, _mm_setzero_si128());
    return ~static_cast<unsigned>(_mm_movemask_epi8(none)) & 0xFFFF;
  }
  std::size_t offsets;
  __m128i lo[2][ListFilter::kOffsets], hi[2][ListFilter::kOffsets];
};

template <int kUsed>
struct Avx2 {
  static constexpr std::size_t kWidth = 32;
  static constexpr int kHalves = kUsed;
  __attribute__((target("avx2"))) explicit Avx2(const ListFilter& f) : offsets(f.offsets()) {
    for (int half = 0; half < 2; ++half) {
      for (std::size_t j = 0; j < offsets; ++j) {
        lo[half][j] = _mm256_broadcastsi128_si256(
            _mm_load_si128(reinterpret_cast<const __m128i*>(f.lo(half, j))));
        hi[half][j] = _mm256_broadcastsi128_si256(
            _mm_load_si128(reinterpret_cast<const __m128i*>(f.hi(half, j))));
      }
    }
  }
  __attribute__((target("avx2"))) unsigned Candidates(const unsigned char* p,
                                                      unsigned char* out) const {
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    __m256i r0 = _mm256_set1_epi8(-1), r1 = r0;
    for (std::size_t j = 0; j < offsets; ++j) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + j));
      const __m256i low = _mm256_and_si256(v, nibble);
      const __m256i high = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
      r0 = _mm256_and_si256(r0, _mm256_and_si256(_mm256_shuffle_epi8(lo[0][j], low),
                                                 _mm256_shuffle_epi8(hi[0][j], high)));
      if constexpr (kHalves == 2) {
        r1 = _mm256_and_si256(r1, _mm256_and_si256(_mm256_shuffle_epi8(lo[1][j], low),
                                                   _mm256_shuffle_epi8(hi[1][j], high)));
      }
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), r0);
    if constexpr (kHalves == 2) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + kWidth), r1);
      r0 = _mm256_or_si256(r0, r1);
    }
    const __m256i none = _mm256_cmpeq_epi8(r0, _mm256_setzero_si256());
    return ~static_cast<unsigned>(_mm256_movemask_epi8(none));
  }
  std::size_t offsets;
  __m256i lo[2][ListFilter::kOffsets], hi[2][ListFilter::kOffsets];
};

// The bytes of p[0, available) that fit in a Word, little end first, with those past as zero.
template <typename Word>
inline Word LittleWord(const unsigned char* p, std::size_t available) {
  Word word = 0;
  if (available >= sizeof(Word)) {
    std::memcpy(&word, p, sizeof(Word));
    if constexpr (std::endian::native == std::endian::big) {
      if constexpr (sizeof(Word) == 4) word = __builtin_bswap32(word);
      if constexpr (sizeof(Word) == 8) word = __builtin_bswap64(word);
    }
    return word;
  }
  for (std::size_t j = 0; j < available; ++j) word |= static_cast<Word>(p[j]) << (8 * j);
  return word;
}

}  // namespace

ListFilter::ListFilter(std::vector<ByteSets> runs) : runs_(std::move(runs)) {
  if (runs_.size() > kMaxEntries) runs_.resize(kMaxEntries);
  const std::size_t n = runs_.size();
  all_ = n == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
  for (const ByteSets& run : runs_) offsets_ = std::max(offsets_, std::min(kOffsets, run.size()));
  // Entries whose runs begin alike share a bucket, so that its tables let little else through.
  auto key = [&](std::size_t e) {
    std::array<int, kOffsets + 1> k{};
    k[0] = runs_[e].size() >= offsets_ ? 1 : 0;  // short runs weaken a bucket: keep together
    for (std::size_t j = 0; j < kOffsets; ++j) {
      k[j + 1] = 256;
      if (j < runs_[e].size()) k[j + 1] = static_cast<int>(runs_[e][j].First());
    }
    return k;
  };
  std::vector<std::size_t> order(n);
  std::vector<std::array<int, kOffsets + 1>> keys(n);
  for (std::size_t e = 0; e < n; ++e) {
    order[e] = e;
    keys[e] = key(e);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  for (std::size_t r = 0; r < n; ++r) {
    const std::size_t e = order[r];
    // A short list keeps to half the buckets, one entry each, and the sweep to half the work.
    const int bucket = static_cast<int>(n <= kBuckets / 2 ? r : r * kBuckets / n);
    const int half = bucket / 8;
    const auto bit = static_cast<unsigned char>(1u << bucket % 8);
    bucket_entries_[bucket] |= std::uint64_t{1} << e;
    const ByteSets& f = runs_[e];
    for (std::size_t j = 0; j < offsets_; ++j) {
      auto add = [&](unsigned b) {
        lo_[half][j][b & 15] |= bit;
        hi_[half][j][b >> 4] |= bit;
      };
      // Past the end of a short run any byte may follow.
      if (j < f.size()) {
        f[j].ForEach(add);
      } else {
        for (unsigned b = 0; b < 256; ++b) add(b);
      }
    }
    // The bytes of one-byte sets among the first twelve, as words under masks.
    bool single = true;
    for (std::size_t j = 0; j < f.size(); ++j) {
      const int members = f[j].Count();
      const unsigned byte = f[j].First();
      if (members != 1) single = false;
      if (members != 1 || j >= 12) continue;
      if (j < 4) {
        head_[e] |= static_cast<std::uint32_t>(byte) << (8 * j);
        head_mask_[e] |= std::uint32_t{0xFF} << (8 * j);
      } else {
        rest_[e] |= static_cast<std::uint64_t>(byte) << (8 * (j - 4));
        rest_mask_[e] |= std::uint64_t{0xFF} << (8 * (j - 4));
      }
    }
    if (single && f.size() <= 12) exact_ |= std::uint64_t{1} << e;
  }
  // The masks most entries share get a hash table each; a mask of no byte tells nothing.
  std::vector<std::pair<int, std::uint32_t>> masks;
  for (std::size_t e = 0; e < n; ++e) {
    if (head_mask_[e] == 0) continue;
    auto it = std::find_if(masks.begin(), masks.end(),
                           [&](const auto& m) { return m.second == head_mask_[e]; });
    if (it == masks.end()) {
      masks.push_back({1, head_mask_[e]});
    } else {
      ++it->first;
    }
  }
  std::stable_sort(masks.begin(), masks.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  int hashed = 0;
  for (const auto& m : masks) {
    if (hashed == kHashedMasks) break;
    hashed_mask_[hashed++] = m.second;
  }
  unhashed_ = all_;
  for (int k = 0; k < hashed; ++k) {
    for (std::size_t e = 0; e < n; ++e) {
      if (head_mask_[e] != hashed_mask_[k]) continue;
      slots_[k][Slot(head_[e])] |= std::uint64_t{1} << e;
      unhashed_ &= ~(std::uint64_t{1} << e);
    }
  }
}

__attribute__((always_inline)) inline std::uint64_t ListFilter::Verify(const unsigned char* t,
                                                                       std::size_t i, std::size_t n,
                                                                       unsigned buckets,
                                                                       std::uint64_t skip) const {
  const auto word = LittleWord<std::uint32_t>(t + i, n - i);
  std::uint64_t candidates = 0;
  if (unhashed_ != 0) {
    for (; buckets != 0; buckets &= buckets - 1) {
      candidates |= bucket_entries_[CountrZero(buckets)];
    }
    candidates &= unhashed_;
  }
  // A table left unused holds no entry in the slot of its zero mask.
  for (int k = 0; k < kHashedMasks; ++k) candidates |= slots_[k][Slot(word & hashed_mask_[k])];
  candidates &= ~skip;
  std::uint64_t found = 0;
  for (; candidates != 0; candidates &= candidates - 1) {
    const int e = CountrZero(candidates);
    if ((word & head_mask_[e]) != head_[e]) continue;
    const ByteSets& f = runs_[e];
    if (f.size() > n - i) continue;
    bool at = false;
    if ((exact_ >> e & 1) != 0) {
      // The next eight places the same way, those past the run masked off. (A run with more
      // than four bytes has them before n.)
      const std::uint64_t rest =
          rest_mask_[e] != 0 ? LittleWord<std::uint64_t>(t + i + 4, n - i - 4) : 0;
      at = (rest & rest_mask_[e]) == rest_[e];
    } else {
      at = true;
      for (std::size_t k = 0; k < f.size() && at; ++k) at = f[k][t[i + k]];
    }
    if (at) found |= std::uint64_t{1} << e;
  }
  return found;
}

// Inlined into each caller, which brings the instructions of its Vec. With `all`, every entry
// found in [from, n) is gathered into `found`; otherwise the first place is returned.
template <typename Vec>
__attribute__((always_inline)) inline std::size_t ListFilter::Run(const unsigned char* t,
                                                                  std::size_t from, std::size_t n,
                                                                  bool all, std::uint64_t& found,
                                                                  std::uint32_t* places) const {
  found = 0;
  std::size_t i = from;
  // Place k of text, which starts at place base of t.
  auto at = [&](const unsigned char* text, std::size_t k, std::size_t end, unsigned buckets,
                std::size_t base = 0) {
    const std::uint64_t here = Verify(text, k, end, buckets, found);
    if (here == 0) return false;
    found |= here;
    if (places != nullptr) {
      for (std::uint64_t m = here; m != 0; m &= m - 1) {
        places[CountrZero(m)] = static_cast<std::uint32_t>(base + k);
      }
    }
    return !all || found == all_;
  };
  if constexpr (Vec::kWidth > 0) {
    const Vec vec(*this);
    auto of = [](const unsigned char* buckets, std::size_t k) {
      if constexpr (Vec::kHalves == 1) return static_cast<unsigned>(buckets[k]);
      return static_cast<unsigned>(buckets[k] | buckets[Vec::kWidth + k] << 8);
    };
    alignas(32) unsigned char buckets[2 * Vec::kWidth];
    alignas(32) unsigned char next[2 * Vec::kWidth];
    // Every load of a block stays before n.
    const std::size_t reach = offsets_ - 1 + Vec::kWidth;
    // Two blocks a turn, one branch for both, where most blocks have no candidate: a short list.
    // The blocks of a long one often have, and the second would mostly be looked up in vain.
    for (; Vec::kHalves == 1 && i + Vec::kWidth + reach <= n; i += 2 * Vec::kWidth) {
      const unsigned first = vec.Candidates(t + i, buckets);
      const unsigned second = vec.Candidates(t + i + Vec::kWidth, next);
      if ((first | second) == 0) continue;
      for (unsigned m = first; m != 0; m &= m - 1) {
        const std::size_t k = static_cast<std::size_t>(CountrZero(m));
        if (at(t, i + k, n, of(buckets, k))) return i + k;
      }
      for (unsigned m = second; m != 0; m &= m - 1) {
        const std::size_t k = static_cast<std::size_t>(CountrZero(m));
        if (at(t, i + Vec::kWidth + k, n, of(next, k))) return i + Vec::kWidth + k;
      }
    }
    for (; i + reach <= n; i += Vec::kWidth) {
      for (unsigned m = vec.Candidates(t + i, buckets); m != 0; m &= m - 1) {
        const std::size_t k = static_cast<std::size_t>(CountrZero(m));
        if (at(t, i + k, n, of(buckets, k))) return i + k;
      }
    }
    if (i >= n) return n;
    // The last places, fewer than a block's reach, as one block of a copy padded with zeros:
    // a candidate found in the padding is dropped, and runs are checked against the real end.
    alignas(32) unsigned char tail[2 * Vec::kWidth + kOffsets] = {};
    const std::size_t rest = n - i;
    std::memcpy(tail, t + i, rest);
    auto first = [](std::size_t places) { return places >= 32 ? ~0u : (1u << places) - 1; };
    for (unsigned m = vec.Candidates(tail, buckets) & first(rest); m != 0; m &= m - 1) {
      const std::size_t k = static_cast<std::size_t>(CountrZero(m));
      if (at(tail, k, rest, of(buckets, k), i)) return i + k;
    }
    // A block of 16 covers fewer places than a tail may have.
    i += Vec::kWidth;
    if (i >= n) return n;
    for (unsigned m = vec.Candidates(tail + Vec::kWidth, buckets) & first(n - i); m != 0;
         m &= m - 1) {
      const std::size_t k = static_cast<std::size_t>(CountrZero(m));
      if (at(tail + Vec::kWidth, k, n - i, of(buckets, k), i)) {
        return i + k;
      }
    }
    return n;
  }
  for (; i < n; ++i) {
    const unsigned b = Buckets(t, i, n);
    if (b != 0 && at(t, i, n, b)) return i;
  }
  return n;
}

__attribute__((target("ssse3"))) std::size_t ListFilter::RunSsse3(const unsigned char* t,
                                                                  std::size_t from, std::size_t n,
                                                                  bool all, std::uint64_t& found,
                                                                  std::uint32_t* places) const {
  if (runs_.size() <= kBuckets / 2) return Run<Ssse3<1>>(t, from, n, all, found, places);
  return Run<Ssse3<2>>(t, from, n, all, found, places);
}

__attribute__((target("avx2,bmi"))) std::size_t ListFilter::RunAvx2(const unsigned char* t,
                                                                    std::size_t from, std::size_t n,
                                                                    bool all, std::uint64_t& found,
                                                                    std::uint32_t* places) const {
  if (runs_.size() <= kBuckets / 2) return Run<Avx2<1>>(t, from, n, all, found, places);
  return Run<Avx2<2>>(t, from, n, all, found, places);
}

std::size_t ListFilter::Dispatch(const unsigned char* t, std::size_t from, std::size_t n, bool all,
                                 std::uint64_t& found, std::uint32_t* places) const {
  const SimdLevel level = Simd();
  if (level == SimdLevel::kAvx2) return RunAvx2(t, from, n, all, found, places);
  if (level != SimdLevel::kSse2) return RunSsse3(t, from, n, all, found, places);
  return Run<Scalar>(t, from, n, all, found, places);
}

std::uint64_t ListFilter::EntriesAt(const unsigned char* t, std::size_t i, std::size_t n) const {
  const unsigned buckets = Buckets(t, i, n);
  return buckets == 0 ? 0 : Verify(t, i, n, buckets, 0);
}

std::size_t ListFilter::First(const unsigned char* t, std::size_t from, std::size_t n,
                              std::uint64_t& found) const {
  return Dispatch(t, from, n, false, found, nullptr);
}

std::uint64_t ListFilter::Present(const unsigned char* t, std::size_t from, std::size_t n,
                                  std::uint32_t* places) const {
  std::uint64_t found = 0;
  Dispatch(t, from, n, true, found, places);
  return found;
}

}  // namespace kensaku
