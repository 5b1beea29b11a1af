// Deterministic Shift_JIS text for the benchmarks: Japanese prose-like lines of kanji, kana,
// full-width and ASCII words, so that lead bytes, trail bytes that look like ASCII and folding
// all occur at realistic rates.
#ifndef KENSAKU_BENCH_SJIS_CORPUS_H_
#define KENSAKU_BENCH_SJIS_CORPUS_H_

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kensaku::bench {

inline std::string RandomWord(std::mt19937& rng) {
  static const std::vector<std::string> words = {
      "\x8C\x9F\x8D\xF5",          // kensaku (search)
      "\x93\xFA\x96\x7B\x8C\xEA",  // nihongo
      "\x82\xB1\x82\xEA\x82\xCD",  // kore wa
      "\x82\xC5\x82\xB7",          // desu
      "\x83\x65\x83\x4C\x83\x58\x83\x67",  // tekisuto (katakana)
      "\x83\x5C\x83\x74\x83\x67",  // sofuto: trail byte 0x5C
      "\x81\x5B",                  // long vowel mark: trail byte '['
      "\xB6\xC0\xB6\xC5",          // half-width katakana
      "\x82\x60\x82\x61\x82\x62",  // full-width ABC
      "\x82\x4F\x82\x50\x82\x51",  // full-width 012
      "\x81\x41", "\x81\x42",      // punctuation
      "data", "file", "Search", "2026", " ", " ", "line", "TEXT",
  };
  return words[rng() % words.size()];
}

// One line of at least n bytes (no line feed).
inline std::string Line(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < n) s += RandomWord(rng);
  return s;
}

}  // namespace kensaku::bench

#endif  // KENSAKU_BENCH_SJIS_CORPUS_H_
