// Micro benchmarks of the single-line matchers on 4 KiB Shift_JIS lines, plain and folded.
#include <benchmark/benchmark.h>

#include <string>

#include "match/conjunctive.h"
#include "match/inclusion.h"
#include "match/pattern.h"
#include "mbchar/fold.h"
#include "sjis_corpus.h"

namespace kensaku {
namespace {

constexpr std::size_t kLineBytes = 4096;
const int kFolded = FoldKanaToHiragana | FoldToLower | FoldToHalfWidth | FoldNumeric;

const std::string& Line() {
  static const std::string line = bench::Line(kLineBytes, 42);
  return line;
}

// The needle is absent, so every start position of the line is considered.
void MatchScan_Kana(benchmark::State& state, int flags, const char* pattern) {
  const Pattern compiled(pattern, flags);
  for (auto _ : state) {
    MatchSpan span;
    const char* cursor = Line().c_str();
    benchmark::DoNotOptimize(MatchScan(span, cursor, compiled));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Line().size()));
}
BENCHMARK_CAPTURE(MatchScan_Kana, Plain_Literal, 0, "\x8C\x9F\x8D\xF5\x82\xF0");
BENCHMARK_CAPTURE(MatchScan_Kana, Folded_Literal, kFolded, "\x8C\x9F\x8D\xF5\x82\xF0");
BENCHMARK_CAPTURE(MatchScan_Kana, Plain_Class, 0, "[x-z]q");
BENCHMARK_CAPTURE(MatchScan_Kana, Plain_Dot, 0, ".Q");
BENCHMARK_CAPTURE(MatchScan_Kana, Folded_Repeat, kFolded, "da*t#az");

void MatchConjunctive_Kana(benchmark::State& state, int flags, const char* pattern) {
  const Conjunctive compiled(pattern, flags);
  for (auto _ : state) {
    MatchSpan span;
    const char* cursor = Line().c_str();
    benchmark::DoNotOptimize(MatchConjunctive(span, cursor, compiled));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Line().size()));
}
BENCHMARK_CAPTURE(MatchConjunctive_Kana, Plain_TwoTerms, 0, "data&zzz");
BENCHMARK_CAPTURE(MatchConjunctive_Kana, Folded_TwoTerms, kFolded, "DATA&zzz");

void Inclusion_Kana(benchmark::State& state, int flags, const char* pattern) {
  const Inclusion compiled(pattern, flags);
  for (auto _ : state) {
    MatchSpan span;
    benchmark::DoNotOptimize(FindInclusion(span, Line().c_str(), compiled));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Line().size()));
}
BENCHMARK_CAPTURE(Inclusion_Kana, Plain_Absent, 0, "\x8C\x9F\x8D\xF5\x83\x5A");
BENCHMARK_CAPTURE(Inclusion_Kana, Folded_Absent, kFolded, "\x8C\x9F\x8D\xF5\x83\x5A");
BENCHMARK_CAPTURE(Inclusion_Kana, Folded_CommonFirst, kFolded, "data file X");

// What the single-line exports pay per call: compiling the pattern.
void Compile_Pattern(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Pattern("[a-z]*x#\x82\xA0.q", kFolded));
}
BENCHMARK(Compile_Pattern);

}  // namespace
}  // namespace kensaku

BENCHMARK_MAIN();
