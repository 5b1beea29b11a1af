// What a search tells its caller, line by line: the sink of the searcher. It learns of each
// selected line (with its matched parts when the search was asked for them), of each context
// line and of each break between groups of context, and of the end of the search with what the
// searcher knew then, so that no sink needs to look at the input itself. The exports' hit
// writer, the command-line tool's sinks and every other caller are only sinks.
#ifndef KENSAKU_SRC_SEARCH_SINK_H_
#define KENSAKU_SRC_SEARCH_SINK_H_

#include <cstddef>
#include <cstdint>
#include <span>

#include "match/match_span.h"
#include "search/query.h"

namespace kensaku {

// A line the searcher reports, valid only during the call.
struct FoundLine {
  // 1-based; under the exports' rules counted as they count (wrapping at 32 bits)
  std::int64_t number = 0;
  const char* text = "";            // the line as read, NUL-terminated, without its LF
  std::size_t length = 0;           // its bytes as read, a NUL inside included
  MatchSpan hit;                    // under the exports' rules: the hit reported
  std::span<const LineSpan> parts;  // when asked for: the line's matched parts, in order
  std::uint64_t offset = 0;         // where the line starts in the input as read
  bool lf = true;                   // it ended with a LF, not with the end of the input
  // The same two in the input's own bytes (parts from the line's start), for an input whose
  // lines are read as UTF-8 turned from it (InputFile::transcoded); else offset and parts.
  std::uint64_t source_offset = 0;
  std::span<const LineSpan> source_parts;
};

// What the searcher knew when the search ended.
struct SearchEnd {
  std::uint64_t bytes_searched = 0;  // the input's position: every byte read, as read
  // The last line read ended with a LF (also when no line was read): a reported line ended with
  // one unless it ends at bytes_searched and this is false.
  bool last_line_lf = true;
  std::int64_t lines = 0;     // lines counted (all of them when Selection::numbered)
  std::int64_t selected = 0;  // lines selected
};

class SearchSink {
 public:
  virtual ~SearchSink() = default;
  // Asked before each line and after each hit: false ends the search, or pauses it when paused()
  // says so (Searcher::Continue goes on).
  virtual bool ok() const { return true; }
  virtual bool paused() const { return false; }
  // A selected line. Under the exports' rules, each hit of a line as it is found.
  virtual void Matched(const FoundLine& line) = 0;
  // A line before or after a selected one, when the search was asked for context.
  virtual void Context(const FoundLine& line) { (void)line; }
  // Between two groups of context and selected lines that do not touch.
  virtual void ContextBreak() {}
  // The search has ended: the input is exhausted, or the search stopped.
  virtual void Finish(const SearchEnd& end) { (void)end; }
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_SINK_H_
