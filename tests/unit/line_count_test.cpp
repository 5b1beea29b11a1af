// Counting passed-over lines against reading them one by one: LFs at every distance from a
// block's edge, and lines at, just under and far over the 4095 bytes the reader cuts at; and
// the line start found backwards from a place; the end of a line read, and a NUL before it.
#include "search/line_count.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <cstring>
#include <string>

#include "frame/find_byte.h"
#include "search/streams.h"
#include "simd_levels.h"

namespace kensaku {
namespace {

LineCount ReadOneByOne(const std::string& text) {
  LineCount c;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    c.lines += (i - start) / kMaxLineBytes + 1;
    start = c.bytes = i + 1;
  }
  return c;
}

TEST(CountLines, AgreesWithReadingLineByLine) {
  AtEachSimdLevel([] {
    std::mt19937 rng(4095);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 600; ++round) {
      std::string text;
      for (int i = pick(0, 30); i > 0; --i) {
        const int kind = pick(0, 9);
        const int length = kind == 0   ? pick(4090, 4100)
                           : kind == 1 ? pick(8185, 8195) + pick(0, 1) * pick(0, 20000)
                                       : pick(0, 80);
        text += std::string(static_cast<std::size_t>(length), kind == 2 ? '\x8A' : 'x');
        if (pick(0, 8) != 0) text += '\n';
      }
      const LineCount want = ReadOneByOne(text);
      const LineCount got = CountLines(text.data(), text.size());
      ASSERT_EQ(got.lines, want.lines) << "round " << round << " size " << text.size();
      ASSERT_EQ(got.bytes, want.bytes) << "round " << round;
      // The start of the line that holds each of a few places, found backwards.
      for (int k = 0; k < 8; ++k) {
        const std::size_t at = static_cast<std::size_t>(pick(0, static_cast<int>(text.size())));
        const std::size_t lf = at == 0 ? std::string::npos : text.rfind('\n', at - 1);
        const std::size_t want_start = lf == std::string::npos ? 0 : lf + 1;
        ASSERT_EQ(LineStartBefore(text.data(), at), want_start)
            << "round " << round << " at " << at;
        // Near the start, one block of what may be read, beyond the place.
        ASSERT_EQ(LineStartBefore(text.data(), at, text.size()), want_start)
            << "round " << round << " at " << at;
      }
    }
  });
}

// memchr's stand-in against std::find, and strchrnul's and strlen's against the C library's: every
// length across the 64- and 128-byte steps, the value at every distance from a block's edge,
// once, many times or never.
TEST(FindByte, AgreesWithTheFirstPlaceOfTheValue) {
  AtEachSimdLevel([] {
    std::mt19937 rng(1664);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 4000; ++round) {
      std::string text(static_cast<std::size_t>(pick(0, 300)), '\x8A');
      const char value = pick(0, 1) == 0 ? '\n' : '\x8B';
      for (int k = pick(0, 2) * pick(0, 3); k > 0 && !text.empty(); --k) {
        text[static_cast<std::size_t>(pick(0, static_cast<int>(text.size()) - 1))] = value;
      }
      const std::unique_ptr<char[]> exact(new char[text.size()]);
      std::copy(text.begin(), text.end(), exact.get());
      const char* want = std::find(exact.get(), exact.get() + text.size(), value);
      const char* got = FindByte(exact.get(), value, text.size());
      ASSERT_EQ(got, want == exact.get() + text.size() ? nullptr : want)
          << "round " << round << " size " << text.size();
      // The same bytes as a NUL-terminated text at every alignment: strchrnul and strlen.
      std::string padded(static_cast<std::size_t>(round % 64), 'y');
      padded += text.substr(0, text.find('\0'));
      const char* at = padded.c_str() + round % 64;
      const std::size_t end = std::strlen(at);
      const char* first = std::strchr(at, value);
      ASSERT_EQ(FindByteOrEnd(at, value), first != nullptr ? first : at + end) << "round " << round;
      ASSERT_EQ(TextBytes(at), end) << "round " << round;
    }
  });
}

TEST(FindLineEnd, AgreesWithTheFirstLfAndNul) {
  AtEachSimdLevel([] {
    std::mt19937 rng(3232);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 3000; ++round) {
      // LFs and NULs at every distance from a block's edge, one or both or neither.
      std::string text(static_cast<std::size_t>(pick(0, 100)), 'x');
      for (int k = pick(0, 3); k > 0 && !text.empty(); --k) {
        text[static_cast<std::size_t>(pick(0, static_cast<int>(text.size()) - 1))] =
            pick(0, 1) == 0 ? '\n' : '\0';
      }
      const std::size_t lf = std::min(text.find('\n'), text.size());
      const std::size_t nul = std::min(text.find('\0'), lf);
      // In a buffer of its exact size: a read past it is caught by the address sanitizer.
      const std::unique_ptr<char[]> exact(new char[text.size()]);
      std::copy(text.begin(), text.end(), exact.get());
      const LineEnd end = FindLineEnd(exact.get(), text.size());
      ASSERT_EQ(end.lf, lf) << "round " << round;
      ASSERT_EQ(end.nul, nul) << "round " << round;
    }
  });
}

}  // namespace
}  // namespace kensaku
