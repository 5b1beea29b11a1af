// How long the single-line tests take on lines and patterns chosen to make trying one start
// after another cost the line's length times the pattern's: each must answer within 100 ms.
//
//   kensaku_long_line_bench      best of three runs per case; exits 1 when a case is slower
#include <chrono>
#include <cstdio>
#include <string>

#include "match/line_tests.h"
#include "mbchar/fold.h"

namespace {

constexpr double kLimitMs = 100;

std::string Repeat(const std::string& s, std::size_t n) {
  std::string r;
  r.reserve(s.size() * n);
  for (std::size_t i = 0; i < n; ++i) r += s;
  return r;
}

struct Case {
  const char* name;
  std::string line, pattern;
  int (*test)(const char*, const char*, int);
  int flags = 0;
};

}  // namespace

int main() {
  using kensaku::LineInc;
  using kensaku::LineMatch;
  using kensaku::LineMatchs;
  const std::string mb(1 << 20, 'a');
  const std::string kb100(100000, 'a');
  const Case cases[] = {
      {"1MB_RepeatThenMissing", mb, "a*b", LineMatch},
      {"1MB_RepeatThenOther", mb + "cb", "a*b", LineMatch},
      {"1MB_Runs_RepeatThenMissing", Repeat(std::string(1000, 'a') + "b", 1000) + "c", "a*d",
       LineMatch},
      {"1MB_Dots250", mb + "b", std::string(250, '.') + "b", LineMatch},
      {"1MB_SetDots200", mb + "q", "[a-z]" + std::string(200, '.') + "q", LineMatch},
      {"1MB_Skips", mb + "c", "#a" + std::string(100, 'a') + "#c", LineMatch},
      {"1MB_RepeatDots200", mb + "c", "a*" + std::string(200, '.') + "c", LineMatch},
      {"1MB_Literal255", mb + "b", std::string(254, 'a') + "b", LineMatch},
      {"1MB_SixtyRepeatPairs", Repeat("ab", 1 << 19) + "c", Repeat("a*b*", 60) + "q", LineMatch},
      {"1MB_ManySkips", mb + "q", Repeat("#a", 120) + "q", LineMatch},
      {"1MB_ManySets", Repeat("ab", 1 << 19) + "c", Repeat("[ab]", 60) + "c", LineMatch},
      {"1MB_KanaFolded", Repeat("\x82\xA0", 1 << 19) + "\x82\xA2",
       Repeat("\x83\x41", 120) + "\x83\x43", LineMatch, kensaku::FoldKanaToKatakana},
      {"1MB_Conjunctive", mb + "ab", "a&" + std::string(100, 'a') + "b", LineMatchs},
      {"100KB_Literal_Missing", kb100, std::string(99999, 'a') + "b", LineMatch},
      {"100KB_Literal_AtEnd", kb100 + "b", std::string(99999, 'a') + "b", LineMatch},
      {"100KB_LiteralWithDot", kb100 + "b", std::string(50000, 'a') + "." + std::string(49998, 'a') + "b",
       LineMatch},
      {"100KB_Inclusion_Missing", kb100, std::string(99999, 'a') + "b", LineInc},
      {"100KB_Inclusion_AtEnd", kb100 + "b", std::string(99999, 'a') + "b", LineInc},
  };
  int slow = 0;
  for (const Case& c : cases) {
    double best = 1e9;
    int result = 0;
    kensaku::FoldTable::For(c.flags);  // built once per process, not part of any case
    for (int run = 0; run < 3; ++run) {
      const auto t0 = std::chrono::steady_clock::now();
      result = c.test(c.line.c_str(), c.pattern.c_str(), c.flags);
      const auto t1 = std::chrono::steady_clock::now();
      const double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
      if (ms < best) best = ms;
    }
    const bool ok = best <= kLimitMs;
    slow += !ok;
    std::printf("%-28s line %8zu  pattern %6zu  result %6d  %7.1f ms%s\n", c.name, c.line.size(),
                c.pattern.size(), result, best, ok ? "" : "  SLOWER THAN 100 ms");
  }
  return slow == 0 ? 0 : 1;
}
