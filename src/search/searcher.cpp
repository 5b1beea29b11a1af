#include "search/searcher.h"

#include <bit>
#include <variant>
#include <vector>

#include "search/line_count.h"

namespace kensaku {
namespace {

// Lines before the first place in the read buffer where the list's prefilter finds its bytes
// cannot match; they are passed over whole.
class HopelessLines {
 public:
  explicit HopelessLines(const CompiledList& list) : list_(list) {}

  const CandidateCursor& cursor() const { return cursor_; }

  // Passes over the lines that cannot match; returns how many there were (1 when they are not
  // counted), or 0.
  std::int32_t Skip(InputFile& in, bool counted) {
    if (!list_.has_prefilter() || in.position() < retry_at_) return 0;
    const std::uint64_t at = in.position();
    const auto [text, n] = in.Window();
    const std::size_t first = list_.FirstCandidate(text, n, at, cursor_);
    // Up to and including the last LF.
    const std::size_t whole = LineStartBefore(text, first, n);
    if (whole > 0) {
      const std::int32_t skipped = counted ? in.SkipLines(whole) : in.PassOver(whole);
      // The line now first holds the place found: what a second look would tell at once.
      if (first < n && in.position() == at + whole) retry_at_ = at + first + 1;
      return skipped;
    }
    // The line being read holds the place found, or runs past the buffer: look again after it,
    // not at every piece of a long line.
    retry_at_ = in.position() + (first < n ? first + 1 : n);
    return 0;
  }

 private:
  const CompiledList& list_;
  CandidateCursor cursor_;
  std::uint64_t retry_at_ = 0;
};

template <typename Entry>
std::int32_t ScanLines(const std::vector<Entry>& entries, const CompiledList& list, InputFile& in,
                       HitSink& sink, ScanState& state, SearchNeeds needs) {
  state.form = SearchForm<Entry>();
  // After a hit written as a whole line, the line's remaining entries are not tried.
  auto line_done = [&] { return state.span.matched && state.form.whole_lines; };
  // A line written whole is the same whichever entry hits it: when the tests are not counted,
  // any entry may decide it. Lines after a hit may be passed over then too: only a prefilter
  // passes over lines, and with one every entry requires bytes, so that none hits the empty line
  // the stale flag would end.
  const bool any_entry = Entry::kCountsHitLines || (!needs.tests && state.form.whole_lines);
  // The lines passed over count for their numbers, and for the tests they would have cost.
  const bool count_lines = needs.line_numbers || (needs.tests && !Entry::kCountsHitLines);
  const std::int32_t tests_per_line =
      Entry::kCountsHitLines ? 0 : static_cast<std::int32_t>(entries.size());
  HopelessLines hopeless(list);
  // Counts wrap as the 32-bit counts of the exports do, without overflowing a signed int.
  std::uint32_t count = 0;
  while (in.clear() && sink.ok()) {
    // Every entry is tried on a passed-over line, and fails; only an empty line just after a hit
    // must be read (the stale flag would end its entries early, as no entry gets an attempt
    // there), unless the entries are literal ones, which always clear it.
    bool may_skip = !line_done() || any_entry;
    if (!may_skip && !list.swept()) {
      // A line that begins with a character gets an attempt, which clears the flag as on a
      // passed-over line; only an empty one keeps it. (Swept lists find the next line's bytes
      // at little cost once it is read.)
      const auto [text, n] = in.Window();
      may_skip = n > 0 && text[0] != '\n' && text[0] != '\0';
    }
    if (may_skip) {
      const std::int32_t skipped = hopeless.Skip(in, count_lines);
      if (skipped > 0) {
        if (count_lines) {
          state.lines = WrappingAdd(state.lines, static_cast<std::uint32_t>(skipped));
          count += static_cast<std::uint32_t>(skipped) * static_cast<std::uint32_t>(tests_per_line);
        }
        state.span.matched = 0;
        continue;
      }
    }
    const std::uint64_t line_at = in.position();
    ReadNextLine(state, in);
    if (in.failed()) continue;
    // A line with a hit of any entry counts alike: the entries the sweep found first are tried
    // first, and most often one of them decides the line.
    if (any_entry) {
      bool hit = false;
      // Where their bytes are, with none of any entry's before (they may run past the line).
      std::size_t place = kPlaceUnknown;
      bool begins_char = false;
      const std::uint64_t at_first =
          list.EntriesAtFirst(hopeless.cursor(), line_at, state.length, place, begins_char);
      const Presence there = begins_char ? Presence::kAtFirst : Presence::kPresent;
      for (std::uint64_t first = at_first; first != 0 && !hit; first &= first - 1) {
        hit = TestEntry(entries[static_cast<std::size_t>(std::countr_zero(first))], state, sink,
                        there, place);
      }
      if (hit) {
        ++count;
        continue;
      }
    }
    // The prefilter has mostly already seen whether each entry's bytes are in the line.
    const LineBytes bytes = list.BytesIn(hopeless.cursor(), state.line, state.length, line_at);
    // Where the line starts with a character, an entry without its bytes fails and clears the
    // span; a run of them is counted at once.
    const bool runs = bytes.complete() && state.line[0] != '\0';
    // A sink turns not ok only on a hit, so it is asked once a line and after each hit.
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (runs) {
        const std::uint64_t ahead = bytes.present() >> i;
        const std::size_t next = ahead == 0 ? entries.size() : i + std::countr_zero(ahead);
        if (next > i) {
          if (!Entry::kCountsHitLines) count += static_cast<std::uint32_t>(next - i);
          state.span.matched = 0;
          i = next;
          if (i == entries.size()) break;
        }
      }
      const bool hit = TestEntry(entries[i], state, sink, bytes.Of(i), bytes.FirstAt(i));
      if (!Entry::kCountsHitLines) ++count;
      if (line_done()) {
        if (Entry::kCountsHitLines) ++count;
        break;
      }
      if (hit && !sink.ok()) break;
    }
  }
  return static_cast<std::int32_t>(count);
}

}  // namespace

std::int32_t Search(const CompiledList& list, InputFile& in, HitSink& sink, ScanState& state,
                    SearchNeeds needs) {
  const std::int32_t count = std::visit(
      [&](const auto& entries) { return ScanLines(entries, list, in, sink, state, needs); },
      list.entries());
  return needs.tests || list.kind() == SearchKind::kInc ? count : 0;
}

}  // namespace kensaku
