#include "search/searcher.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "frame/bits.h"
#include "mbchar/mbchar.h"
#include "search/line_count.h"
#include "search/line_matcher.h"

namespace kensaku {

// Line selection (see Search), kept from one input to the next.
class Selector {
 public:
  virtual ~Selector() = default;
  virtual void Start(InputFile& in, SearchSink& sink) = 0;
  virtual bool Continue() = 0;
  virtual std::int64_t selected() const = 0;
  virtual std::int64_t lines() const = 0;
};

namespace {

template <typename Entry>
const std::vector<Entry>& EntriesOf(const CompiledList& group) {
  return std::get<std::vector<Entry>>(group.entries());
}

// The exports' rules over a list of one group (see SearchList).
template <typename Entry>
class ListScan {
 public:
  ListScan(const Query& query, InputFile& in, SearchSink& sink, ScanState& state)
      : entries_(query.groups().empty() ? kNoEntries : EntriesOf<Entry>(*query.groups()[0])),
        in_(in),
        sink_(sink),
        state_(state),
        hopeless_(query),
        whole_lines_(query.form().whole_lines),
        tests_per_line_(Entry::kCountsHitLines ? 0 : static_cast<std::uint32_t>(entries_.size())) {}

  std::int32_t Run() {
    while (in_.good() && sink_.ok()) {
      if (MayPassOver() && PassOverHopeless()) continue;
      if (!ReadLine()) continue;
      if (Entry::kCountsHitLines && TestEntriesAtFirstPlace()) {
        ++count_;
        continue;
      }
      TestEveryEntry();
    }
    return static_cast<std::int32_t>(count_);
  }

 private:
  static inline const std::vector<Entry> kNoEntries;

  // After a hit written as a whole line, the line's remaining entries are not tried.
  bool LineDone() const { return state_.span.matched && whole_lines_; }

  // Every entry is tried on a passed-over line, and fails. Only the line after one written whole
  // is read instead: its entries may make no attempt (an empty line) and keep the flag that ends
  // them. Literal entries always clear it.
  bool MayPassOver() const { return !LineDone() || Entry::kCountsHitLines; }

  // Lines passed over count for their numbers, and for the tests they would have cost.
  bool PassOverHopeless() {
    const std::size_t whole = hopeless_.Find(in_);
    if (whole == 0) return false;
    const auto lines = static_cast<std::uint32_t>(in_.SkipLines(whole));
    state_.lines = WrappingAdd(state_.lines, lines);
    count_ += lines * tests_per_line_;
    state_.span.matched = 0;
    return true;
  }

  bool ReadLine() {
    line_at_ = in_.position();
    ReadNextLine(state_, in_);
    return !in_.failed();
  }

  // One entry on the line read, each hit to the sink. True when there was a hit.
  bool TestEntry(std::size_t i, EntryHint hint) {
    bool hit = false;
    entries_[i].Test(
        state_.line, state_.text_length, whole_lines_, state_.span,
        [&](const MatchSpan& span) {
          FoundLine line;
          line.number = state_.lines;
          line.text = state_.line;
          line.length = state_.length;
          line.hit = span;
          line.offset = line_at_;
          sink_.Matched(line);
          hit = true;
        },
        hint);
    return hit;
  }

  // A line with a hit of any literal entry counts alike: the entries whose bytes the prefilter
  // found first in the line are tried first, and most often one of them decides it.
  bool TestEntriesAtFirstPlace() {
    const Prefilter::Cursor* cursor = hopeless_.cursor(0);
    if (cursor == nullptr) return false;
    const FirstPlace at = cursor->AtFirst(line_at_, state_.length);
    for (std::uint64_t first = at.entries; first != 0; first &= first - 1) {
      if (TestEntry(static_cast<std::size_t>(CountrZero(first)), at.hint)) return true;
    }
    return false;
  }

  void TestEveryEntry() {
    // The prefilter has mostly already seen whether each entry's bytes are in the line.
    const Prefilter::Cursor* cursor = hopeless_.cursor(0);
    const LineBytes bytes =
        cursor != nullptr ? cursor->InLine(state_.line, state_.length, line_at_) : LineBytes();
    // Where the line starts with a character, an entry without its bytes fails and clears the
    // span; a run of them is counted at once.
    const bool runs = bytes.complete() && state_.line[0] != '\0';
    // A sink turns not ok only on a hit, so it is asked once a line and after each hit.
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (runs) {
        const std::uint64_t ahead = bytes.present() >> i;
        const std::size_t next = ahead == 0 ? entries_.size() : i + CountrZero(ahead);
        if (next > i) {
          if (!Entry::kCountsHitLines) count_ += static_cast<std::uint32_t>(next - i);
          state_.span.matched = 0;
          i = next;
          if (i == entries_.size()) break;
        }
      }
      const bool hit = TestEntry(i, bytes.Of(i));
      if (!Entry::kCountsHitLines) ++count_;
      if (LineDone()) {
        if (Entry::kCountsHitLines) ++count_;
        break;
      }
      if (hit && !sink_.ok()) break;
    }
  }

  const std::vector<Entry>& entries_;
  InputFile& in_;
  SearchSink& sink_;
  ScanState& state_;
  LineCursors hopeless_;
  const bool whole_lines_;
  const std::uint32_t tests_per_line_;
  std::uint64_t line_at_ = 0;
  // Counts wrap as the 32-bit counts of the exports do, without overflowing a signed int.
  std::uint32_t count_ = 0;
};

// Line selection (see Search): which lines are reported, as what, and when the search ends. The
// matcher decides each line.
class SelectScan final : public Selector {
 public:
  SelectScan(const Query& sjis, const Query& decoded, const Selection& selection)
      : selection_(selection),
        matcher_(sjis, decoded, selection.bound),
        context_(selection.before > 0 || selection.after > 0),
        count_lines_(selection.numbered || context_),
        with_parts_(selection.parts && !selection.invert),
        context_parts_(selection.parts && selection.invert && context_),
        every_line_(selection.invert || selection.before > 0),
        max_count_(selection.max_count >= 0 ? selection.max_count : INT64_MAX) {}

  void Start(InputFile& in, SearchSink& sink) override {
    in_ = &in;
    sink_ = &sink;
    matcher_.Start(in.encoding());
    state_ = ScanState{};
    line_at_ = hopeless_to_ = 0;
    number_ = selected_ = 0;
    after_left_ = 0;
    last_reported_ = 0;
    before_.clear();
    done_ = selection_.max_count == 0;
  }

  bool Continue() override {
    in_->Resume();
    while (!done_ && in_->good() && sink_->ok()) {
      if (MayPassOver()) {
        if (PassOverHopeless()) continue;
      } else {
        NoteHopeless();
      }
      if (!ReadLine()) continue;
      // A line that ends where the prefilter found no entry's bytes holds no entry's match.
      const bool hit = in_->position() > hopeless_to_ ? matcher_.Selects(Line())
                                                      : matcher_.SelectsEmpty(Line());
      Report(hit != selection_.invert);
    }
    // Paused by the sink, or waiting for the reader: the next Continue goes on from here.
    if (!done_ && (in_->state() == kStreamWait || (!sink_->ok() && sink_->paused()))) return false;
    // A last line without a LF is read with the end of the input and nothing after it.
    const bool open_end = (in_->state() & (kStreamEof | kStreamFail)) == kStreamEof;
    sink_->Finish({in_->SourceOffset(in_->position()), !open_end, number_, selected_});
    return true;
  }

  std::int64_t selected() const override { return selected_; }
  std::int64_t lines() const override { return number_; }

 private:
  struct Held {
    std::int64_t number = 0;
    std::uint64_t offset = 0;
    std::string text;
    std::uint64_t source_offset = 0;
    // For an input read transcoded, its matched parts when context shows them, found while it
    // was still in the reader's buffer, as read and in the input's own bytes.
    std::vector<LineSpan> parts, source_parts;
  };

  // The line's offset and parts in the input's own bytes; the line is in the reader's buffer.
  void Source(FoundLine& line) {
    line.source_offset = line.offset;
    line.source_parts = line.parts;
    if (!in_->transcoded()) return;
    line.source_offset = in_->SourceOffset(line.offset, true);
    source_parts_.clear();
    for (const LineSpan& part : line.parts) {
      // Within one line, which is in memory: its offsets fit a size.
      source_parts_.push_back(
          {static_cast<std::size_t>(in_->SourceOffset(line.offset + part.start) - line.source_offset),
           static_cast<std::size_t>(in_->SourceOffset(line.offset + part.end) - line.source_offset)});
    }
    line.source_parts = source_parts_;
  }

  bool MaxReached() const { return selected_ >= max_count_; }

  // Lines that cannot match are passed over unless some of them must be reported: inverted, or
  // as context.
  bool MayPassOver() const {
    return !every_line_ && !matcher_.empty_may_hit() && after_left_ == 0;
  }

  bool PassOverHopeless() {
    const std::size_t whole = matcher_.Hopeless(*in_);
    if (whole == 0) return false;
    if (count_lines_) {
      number_ += static_cast<std::uint32_t>(in_->SkipLines(whole));
    } else {
      in_->PassOver(whole);
    }
    return true;
  }

  // Where the lines are read one by one, the prefilter still spares them their tests.
  void NoteHopeless() {
    if (in_->position() < hopeless_to_) return;
    const std::uint64_t at = in_->position();
    const std::size_t whole = matcher_.Hopeless(*in_);
    if (whole > 0) hopeless_to_ = at + whole;
  }

  bool ReadLine() {
    line_at_ = in_->position();
    ReadNextLine(state_, *in_);
    if (in_->failed()) return false;
    lf_ = in_->position() > line_at_ + state_.length;
    ++number_;
    return true;
  }

  MatchLine Line() const { return {state_.line, state_.length, state_.text_length, line_at_}; }

  // The line read, as reported.
  FoundLine Current() const {
    FoundLine line;
    line.number = number_;
    line.text = state_.line;
    line.length = state_.length;
    line.offset = line_at_;
    line.lf = lf_;
    return line;
  }

  void Report(bool selected) {
    if (selected && !MaxReached()) {
      Selected();
      return;
    }
    FoundLine line = Current();
    if (after_left_ > 0) {
      if (context_parts_) line.parts = matcher_.Parts(Line());
      Source(line);
      // After the last counted line, its trailing context goes on, selected lines included.
      sink_->Context(line);
      last_reported_ = line.number;
      if (--after_left_ == 0 && MaxReached()) done_ = true;
      return;
    }
    if (MaxReached()) {
      done_ = true;
      return;
    }
    if (selection_.before > 0) {
      Held held;
      held.number = line.number;
      held.offset = line.offset;
      held.text.assign(line.text, line.length);
      if (in_->transcoded()) {
        if (context_parts_) line.parts = matcher_.Parts(Line());
        Source(line);
        held.source_offset = line.source_offset;
        held.parts.assign(line.parts.begin(), line.parts.end());
        held.source_parts.assign(line.source_parts.begin(), line.source_parts.end());
      }
      before_.push_back(std::move(held));
      if (before_.size() > static_cast<std::size_t>(selection_.before)) before_.pop_front();
    }
  }

  void Selected() {
    ++selected_;
    FoundLine line = Current();
    if (context_) {
      const std::int64_t first = before_.empty() ? line.number : before_.front().number;
      if (last_reported_ != 0 && first > last_reported_ + 1) sink_->ContextBreak();
      for (const Held& held : before_) {
        FoundLine context;
        context.number = held.number;
        context.text = held.text.c_str();
        context.length = held.text.size();
        context.offset = held.offset;
        if (in_->transcoded()) {
          context.parts = held.parts;
          context.source_offset = held.source_offset;
          context.source_parts = held.source_parts;
        } else {
          if (context_parts_) {
            context.parts = matcher_.Parts({held.text.c_str(), held.text.size(),
                                            std::min(held.text.find('\0'), held.text.size())});
          }
          context.source_offset = context.offset;
          context.source_parts = context.parts;
        }
        sink_->Context(context);
      }
      before_.clear();
    }
    if (with_parts_) line.parts = matcher_.PartsOfLast();
    Source(line);
    sink_->Matched(line);
    last_reported_ = line.number;
    after_left_ = selection_.after;
    if (MaxReached() && after_left_ == 0) done_ = true;
  }

  const Selection selection_;
  LineMatcher matcher_;
  InputFile* in_ = nullptr;
  SearchSink* sink_ = nullptr;
  const bool context_;
  const bool count_lines_;
  const bool with_parts_;
  const bool context_parts_;  // under invert, context lines are those with matches to show
  const bool every_line_;     // every line is reported, selected or not, or may be context before
  const std::int64_t max_count_;
  ScanState state_;
  std::uint64_t line_at_ = 0;
  bool lf_ = true;                 // the line read ended with a LF
  std::uint64_t hopeless_to_ = 0;  // lines that end by here hold no entry's bytes
  std::int64_t number_ = 0;  // lines counted: the number of the line read
  std::int64_t selected_ = 0;
  bool done_ = false;
  int after_left_ = 0;
  std::int64_t last_reported_ = 0;  // 0: nothing reported yet
  std::deque<Held> before_;
  std::vector<LineSpan> source_parts_;
};

}  // namespace

Searcher::Searcher(const Query& query, const Selection& selection)
    : scan_(std::make_unique<SelectScan>(query, query, selection)) {}

Searcher::Searcher(const EncodingQueries& queries, const Selection& selection)
    : scan_(std::make_unique<SelectScan>(*queries.sjis, *queries.decoded, selection)) {}

Searcher::~Searcher() = default;

std::int64_t Searcher::Search(InputFile& in, SearchSink& sink) {
  Start(in, sink);
  Continue();
  return selected();
}

void Searcher::Start(InputFile& in, SearchSink& sink) { scan_->Start(in, sink); }
bool Searcher::Continue() { return scan_->Continue(); }
std::int64_t Searcher::selected() const { return scan_->selected(); }
std::int64_t Searcher::lines() const { return scan_->lines(); }

std::int64_t Search(const Query& query, InputFile& in, SearchSink& sink,
                    const Selection& selection) {
  return Searcher(query, selection).Search(in, sink);
}

std::int32_t SearchList(const Query& query, InputFile& in, SearchSink& sink, ScanState& state) {
  switch (query.kind()) {
    case SearchKind::kMatchs:
      return ListScan<LineConjunctive>(query, in, sink, state).Run();
    case SearchKind::kInc:
      return ListScan<LineInclusion>(query, in, sink, state).Run();
    case SearchKind::kRegex:
      return ListScan<LineRegex>(query, in, sink, state).Run();
    case SearchKind::kMatch:
      break;
  }
  return ListScan<LinePattern>(query, in, sink, state).Run();
}

}  // namespace kensaku
