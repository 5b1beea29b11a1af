// Regular expressions on arbitrary patterns and lines (internal form) under arbitrary fold flags,
// as read (bit 7 of the settings: the exports' plain reading): a pattern compiles or is refused
// with a PatternError, never anything else; every match lies on the line's characters; a line
// a match is found in is one its literals' bytes let through, and one the selection finds; a
// regex taken as literals selects what those literals do; a line of code page 932 text read as
// its codes is selected by the program over its bytes as by the regex; a row of single
// characters is found in UTF-8 text as RE2 finds it; a regex written in the pattern language
// finds what the regex does.
// Input: settings, pattern, NUL, line.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "match/list_entry.h"
#include "match/pattern_error.h"
#include "match/re2_or_none.h"
#include "match/regex.h"
#include "match/scalar_row.h"
#include "mbchar/fold.h"
#include "mbchar/mbchar.h"
#include "search/line_matcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kensaku;
  const kensaku_fuzz::Input in = kensaku_fuzz::Split(data, size, 2);
  const int flags = kensaku_fuzz::FoldFlagsOf(in.settings) | (in.settings & 0x80 ? 0 : FoldAsRead);
  const std::string& pattern = in.texts[0];
  std::string line = in.texts[1];
  // A line holds no line break, and a NUL ends it for matching.
  line.resize(std::min({line.find('\n'), line.find('\0'), line.size()}));

  ExtraChars extras;
  extras.Add(0x1F600);
  std::vector<std::size_t> starts;  // the line's character starts, and its end
  for (std::size_t i = 0; i < line.size(); i += static_cast<std::size_t>(CharLength(&line[i]))) {
    starts.push_back(i);
  }
  starts.push_back(line.size());
  auto on_char = [&](const char* p) {
    const auto at = static_cast<std::size_t>(p - line.c_str());
    for (std::size_t s : starts) {
      if (s == at) return true;
    }
    return false;
  };

  const MatchOptions options(flags);
  try {
    const LineRegex entry(pattern.c_str(), options, &extras);
    MatchSpan span;
    bool any = false;
    entry.Test(line.c_str(), line.size(), false, span, [&](const MatchSpan& hit) {
      if (!on_char(hit.start) || !on_char(hit.end) || hit.end < hit.start) std::abort();
      any = true;
    });
    bool selected = false;
    entry.Test(line.c_str(), line.size(), true, span, [&](const MatchSpan&) { selected = true; });
    if (any != selected) std::abort();
    if (any && !entry.required().In(line.c_str(), line.size())) std::abort();

    // A line of code page 932 text that reads as its codes is selected by the program over the
    // text itself exactly when it is by the regex.
    const std::string& cp932 = entry.regex().cp932_program();
    const Code extra = extras.CodeOf(0x1F600);
    const char extra_bytes[] = {static_cast<char>(extra >> 8), static_cast<char>(extra & 0xFF), 0};
    if (!cp932.empty() && PlainCp932(line.c_str(), line.size(), ReadingOf(flags).spacing) &&
        line.find(extra_bytes) == std::string::npos) {
      RE2::Options latin1;
      latin1.set_encoding(RE2::Options::EncodingLatin1);
      latin1.set_longest_match(true);
      latin1.set_never_capture(true);
      latin1.set_log_errors(false);
      const RE2 direct(Cp932FromLineStart(cp932), latin1);
      if (direct.ok() && RE2::PartialMatch(line, direct) != selected) std::abort();
    }

    // A row of single characters is found in UTF-8 text (the line's bytes as they came, line
    // breaks and all) where RE2 running the same program finds its first match.
    if (const auto& row = entry.regex().direct_row()) {
      RE2::Options utf8;
      utf8.set_longest_match(true);
      utf8.set_never_capture(true);
      utf8.set_log_errors(false);
      const RE2 direct(entry.regex().direct_program(), utf8);
      const std::string& text = in.texts[1];
      re2::StringPiece found;
      std::size_t start = 0, end = 0;
      if (direct.ok()) {
        const bool want = direct.Match(text, 0, text.size(), RE2::UNANCHORED, &found, 1);
        if (row->Find(text.data(), 0, text.size(), &start, &end) != want) std::abort();
        if (want && (start != static_cast<std::size_t>(found.data() - text.data()) ||
                     end != start + found.size())) {
          std::abort();
        }
      }
    }

    // A row of single characters, written in the pattern language for code page 932 text
    // (as read, with no character code page 932 lacks), finds the same parts in a line without
    // byte 0xEF (left to the regex).
    std::string written;
    if ((flags & FoldAsRead) != 0 && line.find('\xEF') == std::string::npos &&
        pattern.find(extra_bytes) == std::string::npos &&
        Regex::AsPattern(pattern.c_str(), flags, nullptr, written)) {
      MatchOptions strict = options;  // the rules of the callers that write it so
      strict.strict = true;
      const LinePattern as_pattern(written.c_str(), strict);
      std::vector<std::pair<const char*, const char*>> by_regex, by_pattern;
      entry.Test(line.c_str(), line.size(), false, span,
                 [&](const MatchSpan& hit) { by_regex.emplace_back(hit.start, hit.end); });
      as_pattern.Test(line.c_str(), line.size(), false, span,
                      [&](const MatchSpan& hit) { by_pattern.emplace_back(hit.start, hit.end); });
      if (by_regex != by_pattern) {
        for (auto& p : by_regex)
          fprintf(stderr, "R %ld-%ld\n", p.first - line.c_str(), p.second - line.c_str());
        for (auto& p : by_pattern)
          fprintf(stderr, "P %ld-%ld\n", p.first - line.c_str(), p.second - line.c_str());
        fprintf(stderr, "W [%s]\n", written.c_str());
        std::abort();
      }
    }

    std::vector<std::string> literals;
    if (Regex::AsLiterals(pattern.c_str(), flags, &extras, literals)) {
      bool literal = false;
      for (const std::string& text : literals) {
        const LineInclusion inclusion(text.c_str(), options);
        inclusion.Test(line.c_str(), line.size(), true, span, [&](const MatchSpan&) { literal = true; });
      }
      if (literal != selected) std::abort();
    }
  } catch (const PatternError&) {
  }
  return 0;
}
