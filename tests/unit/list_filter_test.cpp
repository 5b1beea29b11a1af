// The list-wide filter against the obvious scan of every entry at every place, at each vector
// width: lists of 1 to 64 runs, short and long, of one-byte and folded sets, over texts whose
// ends fall anywhere in a block.
#include "match/list_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "simd_levels.h"
#include "test_text.h"

namespace kensaku {
namespace {

bool RunAt(const ByteSets& sets, const std::string& text, std::size_t i) {
  if (sets.size() > text.size() - i) return false;
  for (std::size_t k = 0; k < sets.size(); ++k) {
    if (!sets[k][static_cast<unsigned char>(text[i + k])]) return false;
  }
  return true;
}

TEST(ListFilter, FirstAndPresentAgreeWithEveryPlace) {
  AtEachSimdLevel([] {
    std::mt19937 rng(3131);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    // Lead and trail bytes, bytes that differ in one half only, a LF.
    const std::string alphabet = "ab\x82\x83\x92\xA0\x41\x5C\x61\x40\n";
    auto byte = [&] { return alphabet[static_cast<std::size_t>(pick(0, 10))]; };
    int found = 0;
    for (int round = 0; round < 1500; ++round) {
      // Some lists of short runs only, so that they fill every bucket and meet a text's last
      // places.
      const bool short_runs = pick(0, 3) == 0;
      std::vector<ByteSets> runs(static_cast<std::size_t>(pick(1, 64)));
      for (ByteSets& sets : runs) {
        // Lengths on both sides of the twelve bytes the filter compares as words.
        const int length = short_runs || pick(0, 3) == 0 ? pick(1, 2)
                           : pick(0, 3) == 0             ? pick(10, 14)
                                                         : pick(3, 7);
        sets.resize(static_cast<std::size_t>(length));
        const bool literal = pick(0, 1) == 0;  // one byte a set, as most words are
        for (ByteSet& set : sets) {
          set = ByteSet();
          for (int k = !literal && pick(0, 3) == 0 ? pick(2, 4) : 1; k > 0; --k) {
            set.Add(static_cast<unsigned char>(byte()));
          }
        }
      }
      const ListFilter filter(runs);
      std::string whole;
      while (whole.size() < static_cast<std::size_t>(pick(0, 200))) {
        if (pick(0, 2) != 0) {
          whole += byte();
          continue;
        }
        // A run's bytes, now and then with one of them (often the last) from outside its set:
        // a near miss only a check of every byte turns down.
        const ByteSets& sets =
            runs[static_cast<std::size_t>(pick(0, static_cast<int>(runs.size()) - 1))];
        const int wrong = pick(0, 1) == 0   ? -1
                          : pick(0, 1) == 0 ? static_cast<int>(sets.size()) - 1
                                            : pick(0, static_cast<int>(sets.size()) - 1);
        for (std::size_t k = 0; k < sets.size(); ++k) {
          std::vector<char> fit;
          for (int b = 0; b < 256; ++b) {
            if (sets[k][b] != (static_cast<int>(k) == wrong)) fit.push_back(static_cast<char>(b));
          }
          whole += fit[static_cast<std::size_t>(pick(0, static_cast<int>(fit.size()) - 1))];
        }
      }
      // Several ends of one text, each in a buffer of its exact size: a read past it is caught
      // by the address sanitizer.
      for (int cut = 0; cut < 6; ++cut) {
        const std::string text = whole.substr(0, static_cast<std::size_t>(pick(0, 200)));
        const std::unique_ptr<unsigned char[]> exact(new unsigned char[text.size()]);
        std::copy(text.begin(), text.end(), exact.get());
        const unsigned char* t = exact.get();
        const std::size_t from = static_cast<std::size_t>(pick(0, static_cast<int>(text.size())));

        std::size_t want = text.size();
        std::uint64_t want_there = 0, want_present = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
          for (std::size_t e = 0; e < runs.size(); ++e) {
            if (!RunAt(runs[e], text, i)) continue;
            if (i >= from) want_present |= std::uint64_t{1} << e;
            if (i >= from && (want == text.size() || want == i)) {
              want = i;
              want_there |= std::uint64_t{1} << e;
            }
          }
        }
        std::uint64_t there = 0;
        ASSERT_EQ(filter.First(t, from, text.size(), there), want)
            << "round " << round << " from " << from << " text " << Shown(text);
        ASSERT_EQ(there, want_there) << "round " << round << " text " << Shown(text);
        ASSERT_EQ(filter.Present(t, from, text.size()), want_present)
            << "round " << round << " text " << Shown(text);
        if (want != text.size()) ++found;
      }
    }
    EXPECT_GT(found, 3000);
  });
}

}  // namespace
}  // namespace kensaku
