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

// Letters, digits and the underscore, in ASCII and full width.
constexpr bool IsWordChar(Code c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         (c >= 0x824F && c <= 0x8258) || (c >= 0x8260 && c <= 0x8279) ||
         (c >= 0x8281 && c <= 0x829A) || c == 0x8151;
}

// Lines before the first place in the read buffer where a prefilter finds some entry's bytes
// cannot match. The searcher passes over them whole, or, when it must see every line, reads them
// without testing them.
class HopelessLines {
 public:
  explicit HopelessLines(const Query& query) : query_(query) { Make(Encoding::kCp932); }

  // For the next input, whose lines are in the encoding.
  void Reset(Encoding e) {
    if (e != encoding_) {
      Make(e);
    } else {
      for (auto& cursor : cursors_) {
        if (cursor != nullptr) cursor->Reset();
      }
    }
    retry_at_ = 0;
  }

  // What the group's prefilter has learned of the lines it looked at; null when the group has
  // none.
  const Prefilter::Cursor* cursor(std::size_t group) const {
    return group < cursors_.size() ? cursors_[group].get() : nullptr;
  }

  // The bytes of the whole lines at the start of the reader's window (up to and including the
  // last LF) that hold no entry's bytes; 0 when there are none, or when it is not time to look.
  std::size_t Find(InputFile& in) {
    if (!active_ || in.position() < retry_at_) return 0;
    const std::uint64_t at = in.position();
    const auto [text, n] = in.Window();
    std::size_t first = n;
    for (auto& cursor : cursors_) first = std::min(first, cursor->FirstCandidate(text, n, at));
    const std::size_t whole = LineStartBefore(text, first, n);
    // The line that holds the place found is read next: look again after the place, not at
    // every piece of a long line.
    if (whole == 0 || first < n) retry_at_ = at + (first < n ? first + 1 : n);
    return whole;
  }

 private:
  // Each encoding has its own prefilters, of the bytes the entries require in it.
  void Make(Encoding e) {
    encoding_ = e;
    cursors_.clear();
    active_ = !query_.groups().empty();
    for (const auto& group : query_.groups()) {
      const Prefilter* prefilter = group->prefilter(e);
      cursors_.push_back(prefilter != nullptr ? prefilter->NewCursor() : nullptr);
      active_ = active_ && prefilter != nullptr;
    }
  }

  const Query& query_;
  Encoding encoding_ = Encoding::kCp932;
  std::vector<std::unique_ptr<Prefilter::Cursor>> cursors_;
  bool active_ = false;
  std::uint64_t retry_at_ = 0;
};

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
          sink_.Matched(FoundLine{state_.lines, state_.line, state_.length, span, {}, line_at_});
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
  HopelessLines hopeless_;
  const bool whole_lines_;
  const std::uint32_t tests_per_line_;
  std::uint64_t line_at_ = 0;
  // Counts wrap as the 32-bit counts of the exports do, without overflowing a signed int.
  std::uint32_t count_ = 0;
};

template <typename Entry>
class SelectScan final : public Selector {
 public:
  SelectScan(const Query& query, const Selection& selection)
      : query_(query),
        selection_(selection),
        hopeless_(query),
        context_(selection.before > 0 || selection.after > 0),
        count_lines_(selection.numbered || context_),
        with_parts_(selection.parts && !selection.invert),
        context_parts_(selection.parts && selection.invert && context_),
        every_line_(selection.invert || selection.before > 0),
        empty_bounded_((query.empty_entry() || query.start_entry()) &&
                       selection.bound != Bound::kNone),
        max_count_(selection.max_count >= 0 ? selection.max_count : INT64_MAX) {
    for (std::size_t g = 0; g < query.groups().size(); ++g) {
      groups_.push_back({&EntriesOf<Entry>(*query.groups()[g]), nullptr});
    }
  }

  void Start(InputFile& in, SearchSink& sink) override {
    in_ = &in;
    sink_ = &sink;
    encoding_ = in.encoding();
    hopeless_.Reset(encoding_);
    for (std::size_t g = 0; g < groups_.size(); ++g) {
      groups_[g].cursor = hopeless_.cursor(g);
      groups_[g].certain = query_.groups()[g]->CertainWhereFound(encoding_);
      groups_[g].tellable = query_.groups()[g]->TellableWhereFound(encoding_);
      groups_[g].forms = &query_.groups()[g]->LiteralFormsIn(encoding_);
    }
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
      parts_found_ = false;
      bool hit = LineMatches();
      if (hit && selection_.bound != Bound::kNone) {
        FindParts(state_.line, state_.length, state_.text_length, true);
        hit = !parts_.empty();
      }
      if (!hit && empty_bounded_) hit = EmptyMatchBounded();
      Report(hit != selection_.invert);
    }
    // Paused by the sink, or waiting for the reader: the next Continue goes on from here.
    if (!done_ && (in_->state() == kStreamWait || (!sink_->ok() && sink_->paused()))) return false;
    sink_->Finish();
    return true;
  }

  std::int64_t selected() const override { return selected_; }
  std::int64_t lines() const override { return number_; }

 private:
  struct Held {
    std::int64_t number;
    std::uint64_t offset;
    std::string text;
  };
  struct Group {
    const std::vector<Entry>* entries;
    const Prefilter::Cursor* cursor;  // null without a prefilter
    std::uint64_t certain = 0;        // CompiledList::CertainWhereFound
    std::uint64_t tellable = 0;       // CompiledList::TellableWhereFound
    const std::vector<LiteralForms>* forms = nullptr;
  };

  bool MaxReached() const { return selected_ >= max_count_; }

  // Lines that cannot match are passed over unless some of them must be reported: inverted, or
  // as context.
  bool MayPassOver() const { return !every_line_ && !empty_bounded_ && after_left_ == 0; }

  bool PassOverHopeless() {
    const std::size_t whole = hopeless_.Find(*in_);
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
    const std::size_t whole = hopeless_.Find(*in_);
    if (whole > 0) hopeless_to_ = at + whole;
  }

  bool ReadLine() {
    line_at_ = in_->position();
    ReadNextLine(state_, *in_);
    decoded_ = false;
    if (in_->failed()) return false;
    ++number_;
    return true;
  }

  bool Hits(const Entry& entry, EntryHint hint) {
    bool hit = false;
    entry.Test(
        text_, text_length_, true, state_.span, [&](const MatchSpan&) { hit = true; }, hint);
    return hit;
  }

  // Whether some entry hits the line read, decided by the line alone.
  bool LineMatches() {
    if (in_->position() <= hopeless_to_) return false;
    state_.span = MatchSpan{};
    text_ = state_.line;
    text_length_ = state_.text_length;
    if (encoding_ != Encoding::kCp932) return DecodedLineMatches();
    for (const Group& group : groups_) {
      const std::vector<Entry>& entries = *group.entries;
      const Prefilter::Cursor* cursor = group.cursor;
      if (cursor == nullptr) {
        for (const Entry& entry : entries) {
          if (Hits(entry, EntryHint{})) return true;
        }
        continue;
      }
      // The entries the prefilter found first in the line most often decide it.
      const FirstPlace at = cursor->AtFirst(line_at_, state_.length);
      for (std::uint64_t first = at.entries; first != 0; first &= first - 1) {
        if (Hits(entries[static_cast<std::size_t>(CountrZero(first))], at.hint)) return true;
      }
      // An entry without its bytes in the line hits nothing there.
      const LineBytes bytes = cursor->InLine(state_.line, state_.length, line_at_);
      for (std::size_t i = 0; i < entries.size(); ++i) {
        if ((at.entries >> i & 1) != 0) continue;
        const EntryHint hint = bytes.Of(i);
        if (hint.presence == Presence::kAbsent) continue;
        if (Hits(entries[i], hint)) return true;
      }
    }
    return false;
  }

  void DecodeLine() {
    internal_.Decode(encoding_, state_.line, state_.text_length, query_.extras());
    text_ = internal_.text();
    text_length_ = internal_.size();
    decoded_ = true;
  }

  // The line in the internal form, where the prefilter's places are not the entries' places: it
  // still tells which entries to try first, and which cannot hit. An entry that is its bytes
  // needs no decoding where they are found.
  bool DecodedLineMatches() {
    decoded_ = false;
    for (const Group& group : groups_) {
      if ((group.certain | group.tellable) == 0 || group.cursor == nullptr) continue;
      // Bytes past a NUL are no part of the line matched.
      const FirstPlace at = group.cursor->AtFirst(line_at_, state_.length);
      if (at.hint.place >= state_.text_length) continue;
      if ((at.entries & group.certain) != 0) return true;
      for (std::uint64_t e = at.entries & group.tellable; e != 0; e &= e - 1) {
        if (LiteralFormsAt((*group.forms)[static_cast<std::size_t>(CountrZero(e))],
                           state_.line + at.hint.place, state_.text_length - at.hint.place)) {
          return true;
        }
      }
    }
    DecodeLine();
    for (const Group& group : groups_) {
      const std::vector<Entry>& entries = *group.entries;
      const Prefilter::Cursor* cursor = group.cursor;
      std::uint64_t first = 0;
      LineBytes bytes;
      if (cursor != nullptr) {
        first = cursor->AtFirst(line_at_, state_.length).entries;
        for (std::uint64_t e = first; e != 0; e &= e - 1) {
          if (Hits(entries[static_cast<std::size_t>(CountrZero(e))], EntryHint{})) {
            return true;
          }
        }
        bytes = cursor->InLine(state_.line, state_.length, line_at_);
      }
      for (std::size_t i = 0; i < entries.size(); ++i) {
        if ((first >> i & 1) != 0 || bytes.Of(i).presence == Presence::kAbsent) continue;
        if (Hits(entries[i], EntryHint{})) return true;
      }
    }
    return false;
  }

  void Report(bool selected) {
    if (selected && !MaxReached()) {
      Selected();
      return;
    }
    FoundLine line{number_, state_.line, state_.length, {}, {}, line_at_};
    if (after_left_ > 0) {
      if (context_parts_) {
        FindParts(state_.line, state_.length, state_.text_length, true);
        line.parts = parts_;
      }
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
      before_.push_back({line.number, line.offset, std::string(line.text, line.length)});
      if (before_.size() > static_cast<std::size_t>(selection_.before)) before_.pop_front();
    }
  }

  void Selected() {
    ++selected_;
    FoundLine line{number_, state_.line, state_.length, {}, {}, line_at_};
    if (context_) {
      const std::int64_t first = before_.empty() ? line.number : before_.front().number;
      if (last_reported_ != 0 && first > last_reported_ + 1) sink_->ContextBreak();
      for (const Held& held : before_) {
        FoundLine context{held.number, held.text.c_str(), held.text.size(), {}, {}, held.offset};
        if (context_parts_) {
          FindParts(held.text.c_str(), held.text.size(),
                    std::min(held.text.find('\0'), held.text.size()), false);
          context.parts = parts_;
        }
        sink_->Context(context);
      }
      before_.clear();
    }
    if (with_parts_) {
      if (!parts_found_) FindParts(state_.line, state_.length, state_.text_length, true);
      line.parts = parts_;
    }
    sink_->Matched(line);
    last_reported_ = line.number;
    after_left_ = selection_.after;
    if (MaxReached() && after_left_ == 0) done_ = true;
  }

  // The matched parts of a line, the one read (current) or one held as context, into parts_, in
  // its own bytes; with a bound, only the bounded ones. They are found in the text the entries
  // read, and mapped back from the internal form.
  void FindParts(const char* line, std::size_t length, std::size_t text_length, bool current) {
    const char* text = line;
    std::size_t n = length;
    if (encoding_ != Encoding::kCp932) {
      if (!current) {
        internal_.Decode(encoding_, line, text_length, query_.extras());
        decoded_ = false;  // internal_ no longer holds the line read
      } else if (!decoded_) {
        DecodeLine();
      }
      text = internal_.text();
      n = internal_.size();
    }
    query_.MatchedParts(text, n, parts_);
    if (selection_.bound != Bound::kNone) {
      const std::size_t end = TextLength(text, n);
      std::erase_if(parts_, [&](const LineSpan& p) { return !Bounded(text, end, p); });
    }
    if (encoding_ != Encoding::kCp932) {
      for (LineSpan& part : parts_) {
        part = {internal_.SourceOffset(part.start), internal_.SourceOffset(part.end)};
      }
    }
    parts_found_ = current;  // the line read's, or no longer
  }

  // Whether an empty match in the line read (anywhere, or only at its start) is bounded: the empty
  // line under kLine, a place between two characters that are no word characters (or a line
  // end) under kWord.
  bool EmptyMatchBounded() {
    const char* text = state_.line;
    std::size_t end = state_.text_length;
    if (encoding_ != Encoding::kCp932) {
      if (!decoded_) DecodeLine();
      text = internal_.text();
      end = internal_.size();
    }
    if (selection_.bound == Bound::kLine) return end == 0;
    for (std::size_t at = 0;;) {
      if (Bounded(text, end, LineSpan{at, at})) return true;
      if (at == end || !query_.empty_entry()) return false;
      at = std::min(end, at + static_cast<std::size_t>(CharLength(text + at)));
    }
  }

  bool Bounded(const char* text, std::size_t end, const LineSpan& p) const {
    if (selection_.bound == Bound::kLine) return p.start == 0 && p.end == end;
    const bool before =
        p.start > 0 && IsWordChar(DecodeText(CharStartOf(text, text + p.start - 1)).code);
    const bool after = p.end < end && IsWordChar(DecodeText(text + p.end).code);
    return !before && !after;
  }

  const Query& query_;
  const Selection selection_;
  InputFile* in_ = nullptr;
  SearchSink* sink_ = nullptr;
  HopelessLines hopeless_;
  const bool context_;
  const bool count_lines_;
  const bool with_parts_;
  const bool context_parts_;  // under invert, context lines are those with matches to show
  const bool every_line_;     // every line is reported, selected or not, or may be context before
  const bool empty_bounded_;  // an empty entry, or '^', hits where an empty match is bounded
  const std::int64_t max_count_;
  std::vector<Group> groups_;
  ScanState state_;
  Encoding encoding_ = Encoding::kCp932;
  // The line the entries are tried on: the line read, or its internal form.
  const char* text_ = "";
  std::size_t text_length_ = 0;
  InternalLine internal_;
  bool decoded_ = false;  // internal_ holds the line read
  std::uint64_t line_at_ = 0;
  std::uint64_t hopeless_to_ = 0;  // lines that end by here hold no entry's bytes
  std::int64_t number_ = 0;  // lines counted: the number of the line read
  std::int64_t selected_ = 0;
  bool done_ = false;
  int after_left_ = 0;
  std::int64_t last_reported_ = 0;  // 0: nothing reported yet
  std::deque<Held> before_;
  std::vector<LineSpan> parts_;
  bool parts_found_ = false;  // parts_ holds the line read's
};

}  // namespace

Searcher::Searcher(const Query& query, const Selection& selection) {
  switch (query.kind()) {
    case SearchKind::kMatchs:
      scan_ = std::make_unique<SelectScan<LineConjunctive>>(query, selection);
      return;
    case SearchKind::kInc:
      scan_ = std::make_unique<SelectScan<LineInclusion>>(query, selection);
      return;
    case SearchKind::kMatch:
      break;
  }
  scan_ = std::make_unique<SelectScan<LinePattern>>(query, selection);
}

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
    case SearchKind::kMatch:
      break;
  }
  return ListScan<LinePattern>(query, in, sink, state).Run();
}

}  // namespace kensaku
