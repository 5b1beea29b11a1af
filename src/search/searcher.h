// The searcher: one whole search of an input against a compiled query. Every search of the
// library comes through here: the file-to-file exports, the ResultBuffer searches (and so the
// search box), the command-line tool and the tests.
//
// Three parts meet in it, each knowing nothing of the others:
//
//   reader   InputFile + ReadNextLine (search/): the next line, at most 4095 bytes, counted
//   matcher  Query (search/), groups of CompiledList (match/): what each entry finds in a line
//   sink     SearchSink (search/sink.h): hears of selected lines, context and the end
//
// The searcher feeds the entries line after line and owns everything about which lines are
// reported. Where every entry requires some bytes, the searcher looks ahead in the reader's buffer
// with the prefilters and passes over the lines before the first place those bytes occur,
// counting them as if each had been read and tested. A NUL inside a line ends it for matching,
// everywhere.
//
// The input's encoding (InputFile::encoding) is the search's: code page 932 lines go to the
// entries as they are; UTF-8 and EUC-JP lines (UTF-16 and ISO-2022-JP are read as UTF-8) are
// looked for with prefilters of their own bytes, and only a line a prefilter lets through is
// decoded into the internal form the entries read (mbchar/internal_text.h), its matched parts
// mapped back to the line's own bytes.
//
// Two rule sets decide lines:
//
//   Search      line selection, for every caller but the exports: a line is selected when some
//               entry hits it (or none does, inverted), with context before and after, a
//               maximum count, and the matched parts of each selected line when asked for.
//   SearchList  the exports' rules: the entries of a list of at most 60 tried in order, every
//               hit reported as found, the record of the latest attempt carried from line to
//               line, and the pattern tests counted (see the function).
#ifndef KENSAKU_SRC_SEARCH_SEARCHER_H_
#define KENSAKU_SRC_SEARCH_SEARCHER_H_

#include <cstdint>
#include <memory>

#include "search/line_reader.h"
#include "search/query.h"
#include "search/sink.h"
#include "search/streams.h"

namespace kensaku {

// What a caller asks of line selection.
struct Selection {
  bool invert = false;          // select the lines no entry hits
  std::int64_t max_count = -1;  // stop after this many selected lines (and their trailing
                                // context); -1: no limit
  int before = 0;               // context lines before each selected line
  int after = 0;                // and after it
  bool parts = false;           // report the matched parts of each selected line, or under
                                // invert of each context line (the lines that have them)
  Bound bound = Bound::kNone;   // a line is hit only by a match so bounded (and those are its parts)
  // Every line is counted, so that reported lines carry their number. Without it lines passed
  // over whole go uncounted, which saves their count: reported numbers then only tell lines
  // apart. Context always counts.
  bool numbered = true;
};

class Selector;

// Line selection with one query for one input after another: what a thread keeps from one input
// to the next, so that each costs no set-up. The query must outlive it.
class Searcher {
 public:
  explicit Searcher(const Query& query, const Selection& selection = {});
  ~Searcher();
  Searcher(const Searcher&) = delete;
  Searcher& operator=(const Searcher&) = delete;

  // Reads the rest of the input and reports the selected lines to the sink, then Finish. Stops
  // at the end of the input, at a read error, when the sink is no longer ok, or after the maximum
  // count. Returns the number of selected lines.
  std::int64_t Search(InputFile& in, SearchSink& sink);

  // The same in steps: Start, then Continue until it returns true (the search has ended, and the
  // sink has heard Finish). Continue returns false early, to be called again, when the sink is
  // not ok and paused(), or when the input waits for its reader (which it asks again first).
  void Start(InputFile& in, SearchSink& sink);
  bool Continue();
  std::int64_t selected() const;  // lines selected so far
  std::int64_t lines() const;     // lines counted so far (when Selection::numbered)

 private:
  std::unique_ptr<Selector> scan_;
};

// The same for one input.
std::int64_t Search(const Query& query, InputFile& in, SearchSink& sink,
                    const Selection& selection = {});

// The exports' search, for a query of one group. Each line read is tested with the entries in
// order, each hit reported to the sink as it is found (every hit of the line, or only the first
// when the query's form writes whole lines). The state's span is the record of the latest match
// attempt: an entry that makes no attempt on a line (an unanchored one on an empty line) leaves it
// as the line before left it, and when the form writes whole lines a set `matched` ends the
// line's entries. Returns the number of pattern tests made, or for literal lists the number of
// lines with a hit; wraps at 32 bits as the exports' counts do.
std::int32_t SearchList(const Query& query, InputFile& in, SearchSink& sink, ScanState& state);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_SEARCHER_H_
