// Where the byte runs of a whole list may occur, found in one pass for all of its entries. The
// entries are sorted into sixteen buckets (eight, one each, for eight entries or fewer) by the
// first bytes of their runs; a table per byte offset, looked up by each half of a byte, tells
// which buckets a byte may begin there, so that 16 or 32 places are tried at once (SSSE3, AVX2)
// or one by one from the same tables. A place where a bucket survives is checked against the
// few entries a hash of its first four bytes names (entries whose first bytes are not one byte
// each: those of the bucket), the four bytes at once, the next eight as one word, or the whole
// run.
#ifndef KENSAKU_SRC_MATCH_LIST_FILTER_H_
#define KENSAKU_SRC_MATCH_LIST_FILTER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mbchar/required_bytes.h"

namespace kensaku {

class ListFilter {
 public:
  static constexpr std::size_t kOffsets = 4;  // leading bytes of each run in the tables
  static constexpr int kBuckets = 16;
  static constexpr std::size_t kMaxEntries = 64;

  ListFilter() = default;
  // At most 64 runs, none empty.
  explicit ListFilter(std::vector<ByteSets> runs);

  bool empty() const { return runs_.empty(); }

  // The first place in [from, n) where some entry's run occurs whole before n, and in `found`
  // the entries whose runs occur there; n (and no entries) when there is none.
  std::size_t First(const unsigned char* t, std::size_t from, std::size_t n,
                    std::uint64_t& found) const;
  // The entries whose runs start in [from, n) and occur whole before n; with `places`, the
  // first place of each of them goes to places[entry].
  std::uint64_t Present(const unsigned char* t, std::size_t from, std::size_t n,
                        std::uint32_t* places = nullptr) const;

  // The entries whose runs occur whole at place i of t[0, n), looked up as one place of the sweep.
  std::uint64_t EntriesAt(const unsigned char* t, std::size_t i, std::size_t n) const;

  // The tables of buckets 0-7 (half 0) or 8-15 (half 1), for the vector loops.
  std::size_t offsets() const { return offsets_; }
  const unsigned char* lo(int half, std::size_t j) const { return lo_[half][j]; }
  const unsigned char* hi(int half, std::size_t j) const { return hi_[half][j]; }

 private:
  // The buckets the tables let through at place i of t[0, n), one place at a time.
  unsigned Buckets(const unsigned char* t, std::size_t i, std::size_t n) const {
    unsigned buckets = 0xFFFF;
    for (std::size_t j = 0; j < offsets_ && i + j < n; ++j) {
      const unsigned char b = t[i + j];
      buckets &= static_cast<unsigned>(lo_[0][j][b & 15] | lo_[1][j][b & 15] << 8) &
                 static_cast<unsigned>(hi_[0][j][b >> 4] | hi_[1][j][b >> 4] << 8);
    }
    return buckets;
  }
  // The entries of those buckets, other than `skip`, whose runs occur whole at place i.
  std::uint64_t Verify(const unsigned char* t, std::size_t i, std::size_t n, unsigned buckets,
                       std::uint64_t skip) const;

  template <typename Vec>
  std::size_t Run(const unsigned char* t, std::size_t from, std::size_t n, bool all,
                  std::uint64_t& found, std::uint32_t* places) const;
  std::size_t RunSsse3(const unsigned char* t, std::size_t from, std::size_t n, bool all,
                       std::uint64_t& found, std::uint32_t* places) const;
  std::size_t RunAvx2(const unsigned char* t, std::size_t from, std::size_t n, bool all,
                      std::uint64_t& found, std::uint32_t* places) const;
  std::size_t Dispatch(const unsigned char* t, std::size_t from, std::size_t n, bool all,
                       std::uint64_t& found, std::uint32_t* places) const;

  std::vector<ByteSets> runs_;
  std::uint64_t all_ = 0;
  std::size_t offsets_ = 0;  // min(kOffsets, the longest run)
  alignas(16) unsigned char lo_[2][kOffsets][16] = {};
  alignas(16) unsigned char hi_[2][kOffsets][16] = {};
  std::uint64_t bucket_entries_[kBuckets] = {};
  // Each entry's first bytes as one word and the next eight as another: those of one-byte sets,
  // under masks.
  std::uint32_t head_[kMaxEntries] = {}, head_mask_[kMaxEntries] = {};
  std::uint64_t rest_[kMaxEntries] = {}, rest_mask_[kMaxEntries] = {};
  std::uint64_t exact_ = 0;  // entries whose runs are those words and no more
  // The entries with each of the most common head masks, by a hash of a place's head under it:
  // one look tells which few entries may be there, where the buckets would name many.
  static constexpr int kHashedMasks = 2;
  static constexpr int kSlotBits = 8;
  static std::size_t Slot(std::uint32_t head) { return (head * 0x9E3779B1u) >> (32 - kSlotBits); }
  std::uint32_t hashed_mask_[kHashedMasks] = {};
  std::uint64_t slots_[kHashedMasks][std::size_t{1} << kSlotBits] = {};
  std::uint64_t unhashed_ = 0;  // the rest, found through the buckets
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_LIST_FILTER_H_
