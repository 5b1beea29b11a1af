// The linear way: the helpers every engine's way uses (the decoded, folded line; a search for
// codes), and the pattern language's scan of every start at once.
// Checked by pattern_test (PatternTest: LinearScanAgreesWithReference,
// CostlyScansAgreeWithTheAttempts; every start found is confirmed by an attempt) and
// inclusion_test (InclusionTest.LinearSearchAgreesWithCharacterArrays).
#include "match/linear_scan.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "frame/find_byte.h"
#include "match/pattern.h"
#include "match/pattern_scanner.h"

namespace kensaku {

FoldedLine DecodeFolded(const char* from, const FoldTable& table) {
  FoldedLine line;
  const Code* fold = table.map();
  const char* p = from;
  while (*p != '\0') {
    const MbChar c = DecodeText(p);
    line.codes.push_back(fold[c.code]);
    line.offsets.push_back(static_cast<std::uint32_t>(p - from));
    p += c.ByteCount();
  }
  line.offsets.push_back(static_cast<std::uint32_t>(p - from));
  return line;
}

std::size_t FindCodes(const std::vector<Code>& text, std::size_t from,
                      const std::vector<Code>& needle) {
  const std::size_t m = needle.size();
  if (m == 0) return from <= text.size() ? from : text.size();
  // border[i]: the length of the longest proper border of needle[0, i].
  std::vector<std::size_t> border(m + 1, 0);
  for (std::size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && needle[i] != needle[k]) k = border[k];
    if (needle[i] == needle[k]) ++k;
    border[i + 1] = k;
  }
  for (std::size_t i = from, k = 0; i < text.size(); ++i) {
    while (k > 0 && text[i] != needle[k]) k = border[k];
    if (text[i] == needle[k]) ++k;
    if (k == m) return i + 1 - m;
  }
  return text.size();
}

bool PatternScanner::Scan(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                          const char* from) {
  if (pattern.elements_.empty()) {
    // Nothing to match ("*", "@"): no attempt ever succeeds.
    cursor = from + TextBytes(from);
    span = MatchSpan{0, cursor, cursor};
    return true;
  }
  bool literal = true;
  for (const Pattern::Element& e : pattern.elements_) {
    literal = literal && e.op == Pattern::Op::kChar && !e.skip && e.code != kNullCode;
  }
  if (literal) return ScanLiteral(span, cursor, pattern, from);
  return ScanElements(span, cursor, pattern, from);
}

bool PatternScanner::Finish(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                            const char* from, const FoldedLine& line, std::size_t start) {
  if (start >= line.codes.size()) {
    cursor = from + line.offsets.back();
    span = MatchSpan{0, cursor, cursor};
    return true;
  }
  // The attempt at the start found gives the span, and checks the finding.
  const char* at = from + line.offsets[start];
  cursor = at;
  MatchAt(span, cursor, pattern);
  if (span.matched == 0) CountLinearMiss(pattern.limits_);
  return span.matched != 0;
}

bool PatternScanner::ScanLiteral(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                                 const char* from) {
  const FoldedLine line = DecodeFolded(from, *pattern.fold_);
  std::vector<Code> needle;
  needle.reserve(pattern.elements_.size());
  for (const Pattern::Element& e : pattern.elements_) needle.push_back(e.code);
  return Finish(span, cursor, pattern, from, line, FindCodes(line.codes, 0, needle));
}

// Every start at once, from the end of the line back. The attempt from one start is a path
// through states (element i to try next; after a failed '#', the same element once more; inside
// the run of a '*'), each step fixed by the state and the characters at and just before it. So
// whether a state at a position leads to a match depends on that state and position alone, and
// the positions can be taken from the last to the first, the states of each as bits: a start
// matches when element 0 at it leads to a match. The first such start is the scan's answer.
bool PatternScanner::ScanElements(MatchSpan& span, const char*& cursor, const Pattern& pattern,
                                  const char* from) {
  using Op = Pattern::Op;
  constexpr std::size_t kMaxElements = 1024;
  const std::size_t n = pattern.elements_.size();
  if (n > kMaxElements) return false;
  const std::size_t words = (n + 1 + 63) / 64;  // bit n: the pattern has matched
  using Bits = std::vector<std::uint64_t>;
  auto get = [](const Bits& b, std::size_t i) { return (b[i >> 6] >> (i & 63)) & 1; };
  auto put = [](Bits& b, std::size_t i, bool v) {
    const std::uint64_t m = std::uint64_t{1} << (i & 63);
    b[i >> 6] = v ? b[i >> 6] | m : b[i >> 6] & ~m;
  };

  // Elements that take one character: plainly, with a retry after failing ('#'), or the final
  // '#', which takes one whatever it is.
  Bits once(words, 0), retried(words, 0), final_skip(words, 0);
  struct Repeat {
    std::size_t index;
    enum { kNothing, kCode, kClassChar } source;
    Code code;          // kCode: the character repeated
    std::size_t back;   // kClassChar: the repeated character is this many before the run
  };
  std::vector<Repeat> repeats;  // last first
  for (std::size_t i = 0; i < n; ++i) {
    const Pattern::Element& e = pattern.elements_[i];
    if (e.op == Op::kRepeat) {
      // What '*' repeats: the character of the nearest element before it that sets one ('.'
      // passes it on; a '*' leaves nothing).
      Repeat r{i, Repeat::kNothing, kNullCode, 0};
      std::size_t dots = 0;
      for (std::size_t j = i; j-- > 0;) {
        const Pattern::Element& b = pattern.elements_[j];
        if (b.op == Op::kAny) {
          ++dots;
          continue;
        }
        if (b.op == Op::kChar) r = Repeat{i, Repeat::kCode, b.code, 0};
        if (b.op == Op::kClass) r = Repeat{i, Repeat::kClassChar, kNullCode, dots + 1};
        break;
      }
      repeats.push_back(r);
    } else if (e.skip && !e.retry) {
      put(final_skip, i, true);
    } else if (e.skip) {
      put(retried, i, true);
    } else {
      put(once, i, true);
    }
  }
  std::reverse(repeats.begin(), repeats.end());

  const FoldedLine line = DecodeFolded(from, *pattern.fold_);
  const std::size_t length = line.codes.size();
  auto code_at = [&](std::size_t p, std::size_t back) -> Code {
    return p >= back && p - back < length ? line.codes[p - back] : kNullCode;
  };

  // Which elements take a folded character, and which '*' start a run on it, by character, made
  // when first needed.
  Bits repeat_bits(words, 0), sourced(words, 0);
  std::vector<std::pair<std::size_t, Bits>> by_back;  // '*' after a set, by distance back
  std::vector<std::size_t> chained;                   // '*' directly before another, last first
  for (const Repeat& r : repeats) {
    put(repeat_bits, r.index, true);
    if (r.source != Repeat::kNothing) put(sourced, r.index, true);
    if (r.index + 1 < n && pattern.elements_[r.index + 1].op == Op::kRepeat) {
      chained.push_back(r.index);
    }
    if (r.source != Repeat::kClassChar) continue;
    auto group = std::find_if(by_back.begin(), by_back.end(),
                              [&](const auto& g) { return g.first == r.back; });
    if (group == by_back.end()) group = by_back.insert(by_back.end(), {r.back, Bits(words, 0)});
    put(group->second, r.index, true);
  }
  // A table by code pays off on long lines only; short ones look their few characters up.
  std::vector<std::int32_t> table(length >= 16384 ? 0x10000 : 0, -1);
  std::unordered_map<Code, std::int32_t> found;
  auto slot_of = [&](Code c) -> std::int32_t& {
    return table.empty() ? found.try_emplace(c, -1).first->second : table[c];
  };
  std::vector<Bits> masks;  // per character: what takes it, then what enters a run on it
  auto takes = [&](Code c) -> const std::uint64_t* {
    std::int32_t& slot = slot_of(c);
    if (slot < 0) {
      Bits m(2 * words, 0);
      for (std::size_t i = 0; i < n; ++i) {
        const Pattern::Element& e = pattern.elements_[i];
        bool t = false;
        if (e.op == Op::kChar) t = e.code == c;
        if (e.op == Op::kAny) t = !pattern.strict_ || !Unmatchable(c);
        if (e.op == Op::kClass) t = MatchClass(c, pattern, i) != 0;
        put(m, i, t);
      }
      for (const Repeat& r : repeats) {
        if (r.source == Repeat::kCode && r.code == c) put(m, words * 64 + r.index, true);
      }
      slot = static_cast<std::int32_t>(masks.size());
      masks.push_back(std::move(m));
    }
    return masks[static_cast<std::size_t>(slot)].data();
  };

  // The states at position p that lead to a match, from those at p + 1.
  Bits next(words, 0), plain(words, 0), run(words, 0);  // at p + 1
  Bits now(words, 0), now_plain(words, 0), now_run(words, 0), shifted(words, 0);
  Bits enter(words, 0);
  auto shift_down = [&](const Bits& from, Bits& to) {  // bit i of to = bit i + 1 of from
    for (std::size_t w = 0; w < words; ++w) {
      to[w] = from[w] >> 1 | (w + 1 < words ? from[w + 1] << 63 : 0);
    }
  };
  auto step = [&](std::size_t p) {
    const Code c = code_at(p, 0);
    const std::uint64_t* t = takes(c);
    const std::uint64_t* enters_on = t + words;
    shift_down(next, shifted);
    for (std::size_t w = 0; w < words; ++w) {
      const std::uint64_t advance = t[w] & shifted[w];
      now[w] = (once[w] & advance) | (retried[w] & (advance | (~t[w] & plain[w]))) |
               (final_skip[w] & shifted[w]);
      now_plain[w] = retried[w] & advance;
    }
    put(now, n, true);
    if (repeats.empty()) return;
    // A '*' either takes the character and runs on, or hands it to the element after it.
    for (std::size_t w = 0; w < words; ++w) enter[w] = enters_on[w];
    for (const auto& [back, group] : by_back) {
      const Code repeated = code_at(p, back);
      if (repeated == kNullCode || repeated != c) continue;
      for (std::size_t w = 0; w < words; ++w) enter[w] |= group[w];
    }
    const Code before = code_at(p, 1);
    const bool more = before != kNullCode && c == before;
    shift_down(now, shifted);
    for (std::size_t w = 0; w < words; ++w) {
      const std::uint64_t keep = more ? sourced[w] : 0;
      now[w] |= repeat_bits[w] & ((enter[w] & run[w]) | (~enter[w] & shifted[w]));
      now_run[w] = repeat_bits[w] & ((keep & run[w]) | (~keep & shifted[w]));
    }
    for (std::size_t i : chained) {  // the element after is a '*' too, settled just before
      const bool after = get(now, i + 1);
      put(now, i, get(enter, i) ? get(run, i) : after);
      put(now_run, i, more && get(sourced, i) ? get(run, i) : after);
    }
  };
  auto advance_position = [&] {
    next.swap(now);
    plain.swap(now_plain);
    run.swap(now_run);
  };

  // Past the terminator every step reads it again; a path there ends within two steps an element.
  put(next, n, true);
  // Which states lead to a match within k steps grows with k; once a step changes nothing it
  // is the answer for every k after.
  for (std::size_t k = 0; k < 2 * n + 2; ++k) {
    step(length);
    const bool settled = now == next && now_plain == plain && now_run == run;
    advance_position();
    if (settled) break;
  }
  std::vector<bool> matches(length, false);
  for (std::size_t p = length; p-- > 0;) {
    step(p);
    advance_position();
    matches[p] = get(next, 0) != 0;
  }
  std::size_t start = 0;
  while (start < length && !matches[start]) ++start;
  return Finish(span, cursor, pattern, from, line, start);
}

}  // namespace kensaku
