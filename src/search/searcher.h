// The searcher: one whole search of an input against a compiled pattern list. Every search of
// the library comes through here: the file-to-file exports, the ResultBuffer searches (and so
// the search box), the command-line tool and the tests.
//
// Three parts meet in it, each knowing nothing of the others:
//
//   reader   InputFile + ReadNextLine (search/): the next line, at most 4095 bytes, counted
//   matcher  CompiledList (match/): for one line, entry after entry, what each entry finds
//   sink     HitSink (search/): receives each hit; HitWriter writes it to an Output
//
// The searcher feeds the list line after line and hands its hits to the sink. Where the list has
// a prefilter (the bytes every match of every entry requires), the searcher looks ahead in the
// reader's buffer and passes over the lines before the first place they occur, counting those
// lines and the tests they would have cost as if each had been read and tested.
//
// What a search returns: the number of pattern tests made, or for literal (inclusion) lists the
// number of lines with a hit. A caller that wants only the hits says so (SearchNeeds), and the
// searcher then leaves out the work that only the count or the line numbers need.
#ifndef KENSAKU_SRC_SEARCH_SEARCHER_H_
#define KENSAKU_SRC_SEARCH_SEARCHER_H_

#include <cstdint>

#include "match/compiled_list.h"
#include "search/hit_writer.h"
#include "search/line_reader.h"
#include "search/streams.h"

namespace kensaku {

// The output form of a search with entries of this type, as of now.
template <typename Entry>
OutputForm SearchForm() {
  OutputForm form = CurrentOutputForm();
  if (Entry::kWholeLinesOnly) form.whole_lines = true;
  return form;
}

// One entry on the line last read, each hit to the sink: the step the searcher repeats. True
// when there was a hit.
template <typename Entry>
bool TestEntry(const Entry& entry, ScanState& state, HitSink& sink,
               Presence bytes = Presence::kUnknown, std::size_t first = kPlaceUnknown) {
  bool hit = false;
  entry.Test(
      state.line, state.text_length, state.form.whole_lines, state.span,
      [&](const MatchSpan&) {
        sink.Hit(state);
        hit = true;
      },
      bytes, first);
  return hit;
}

// What a caller needs of a search beyond its hits. One that wants no count of pattern tests
// lets a line written whole end at the first entry that hits it, in whatever order; one that
// shows no line numbers lets the lines passed over go uncounted in state.lines (unless the
// tests they would have cost are counted), which then tells lines apart but numbers none.
struct SearchNeeds {
  bool tests = true;
  bool line_numbers = true;
};

// Searches the rest of the input, in the output form of the moment. Stops at the end of the
// input, at a read error, or when the sink is no longer ok. Without tests, a pattern or
// conjunctive list returns 0.
std::int32_t Search(const CompiledList& list, InputFile& in, HitSink& sink, ScanState& state,
                    SearchNeeds needs = {});

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_SEARCHER_H_
