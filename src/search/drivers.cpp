#include "search/drivers.h"

#include "frame/settings.h"

namespace kensaku {
namespace {

char ResultBuffer[kResultCapacity + 1];

template <typename Entry>
std::vector<Entry> Compile(const PatternList& list) {
  std::vector<Entry> entries;
  for (const char* text : list) {
    if (text == nullptr) break;
    entries.emplace_back(text);
  }
  return entries;
}

// When every entry requires some bytes, lines before the first place in the read buffer where
// any of them occurs cannot match; they are passed over whole.
template <typename Entry>
class HopelessLines {
 public:
  explicit HopelessLines(const std::vector<Entry>& entries) : entries_(entries) {
    for (const Entry& e : entries) enabled_ = enabled_ && !e.required().empty();
    enabled_ = enabled_ && !entries.empty();
  }

  // Passes over the lines that cannot match; returns how many there were.
  std::int32_t Skip(InputFile& in) {
    if (!enabled_ || in.position() < retry_at_) return 0;
    const auto [text, n] = in.Window();
    std::size_t first = n;
    for (const Entry& e : entries_) first = e.required().Find(text, first);
    std::size_t whole = first;  // up to and including the last LF before it
    while (whole > 0 && text[whole - 1] != '\n') --whole;
    if (whole > 0) return in.SkipLines(whole);
    // The line being read holds the place found, or runs past the buffer: look again after it,
    // not at every piece of a long line.
    retry_at_ = in.position() + (first < n ? first + 1 : n);
    return 0;
  }

 private:
  const std::vector<Entry>& entries_;
  bool enabled_ = true;
  std::uint64_t retry_at_ = 0;
};

// The loop shared by the pattern and conjunctive searches: after a whole-line hit the line has
// been written once, so its remaining entries are not tried.
template <typename Entry, typename Test>
std::int32_t ScanLines(ScanState& state, InputFile& in, Output& out,
                       const std::vector<Entry>& entries, Test test) {
  std::int32_t count = 0;
  HopelessLines<Entry> hopeless(entries);
  const std::int32_t per_line = static_cast<std::int32_t>(entries.size());
  while (in.clear() && !out.failed()) {
    // Every entry is tried on a passed-over line, and fails; only a hit just before (a stale
    // flag with whole-line output, which would end the line's entries early) must wait.
    if (!(state.span.matched && GetOutputMode() != 0)) {
      const std::int32_t skipped = hopeless.Skip(in);
      if (skipped > 0) {
        state.lines += skipped;
        count += skipped * per_line;
        state.span.matched = 0;
        continue;
      }
    }
    ReadNextLine(state, in);
    if (in.failed()) continue;
    for (std::size_t i = 0; i < entries.size() && out.clear(); ++i) {
      test(state, out, entries[i]);
      ++count;
      if (state.span.matched && GetOutputMode() != 0) break;
    }
  }
  return count;
}

template <typename Scan>
const char* StreamIntoResult(ScanState& state, InputFile& in, const char* list, Scan scan) {
  state.span = MatchSpan{};
  if (!in.clear()) return nullptr;
  ResultBuffer[0] = '\0';
  ResultBuffer[kResultCapacity] = '\0';
  Output out(ResultBuffer, kResultCapacity);
  const ListText entries(list);
  if (!entries.ok()) return nullptr;
  scan(state, in, out, entries.entries());
  out.Put('\0');  // dropped when the output is full: the guard byte terminates the text then
  return ResultBuffer;
}

}  // namespace

const char* ResultText() { return ResultBuffer; }

std::vector<LinePattern> CompileMatchEntries(const PatternList& list) {
  return Compile<LinePattern>(list);
}
std::vector<LineConjunctive> CompileMatchsEntries(const PatternList& list) {
  return Compile<LineConjunctive>(list);
}
std::vector<LineInclusion> CompileIncEntries(const PatternList& list) {
  return Compile<LineInclusion>(list);
}

std::int32_t ScanMatchLines(ScanState& state, InputFile& in, Output& out,
                            const std::vector<LinePattern>& entries) {
  return ScanLines(state, in, out, entries, TestLineMatch);
}

std::int32_t ScanMatchsLines(ScanState& state, InputFile& in, Output& out,
                             const std::vector<LineConjunctive>& entries) {
  return ScanLines(state, in, out, entries, TestLineMatchs);
}

std::int32_t ScanIncLines(ScanState& state, InputFile& in, Output& out,
                          const std::vector<LineInclusion>& entries) {
  std::int32_t count = 0;
  HopelessLines<LineInclusion> hopeless(entries);
  while (in.clear() && !out.failed()) {
    // Inclusion tests always make their attempt, so a passed-over line leaves the flag clear.
    if (const std::int32_t skipped = hopeless.Skip(in); skipped > 0) {
      state.lines += skipped;
      state.span.matched = 0;
      continue;
    }
    ReadNextLine(state, in);
    if (in.failed()) continue;
    for (const LineInclusion& entry : entries) {
      TestLineInc(state, out, entry);
      if (state.span.matched) {
        ++count;
        break;
      }
    }
  }
  return count;
}

const char* StreamMatchsMult(ScanState& state, InputFile& in, const char* list) {
  return StreamIntoResult(state, in, list,
                          [](ScanState& s, InputFile& i, Output& o, const PatternList& l) {
                            ScanMatchsLines(s, i, o, CompileMatchsEntries(l));
                          });
}

const char* StreamIncMult(ScanState& state, InputFile& in, const char* list) {
  return StreamIntoResult(state, in, list,
                          [](ScanState& s, InputFile& i, Output& o, const PatternList& l) {
                            ScanIncLines(s, i, o, CompileIncEntries(l));
                          });
}

const char* SearchFileMatchs(const char* input, const char* list) {
  ScanState state;
  InputFile in(input);
  return StreamMatchsMult(state, in, list);
}

const char* SearchFileInc(const char* input, const char* list) {
  ScanState state;
  InputFile in(input);
  return StreamIncMult(state, in, list);
}

std::int32_t SearchFileToFile(SearchKind kind, const char* input, const char* output,
                              const char* list, void (*before_scan)()) {
  InputFile in(input);
  if (in.failed()) return 0;
  const std::unique_ptr<Output> out = Output::AppendToFile(output);
  if (out->failed()) return 0;
  const ListText entries(list);
  ScanState state;
  if (!entries.ok()) return 0;
  if (before_scan != nullptr) before_scan();
  switch (kind) {
    case SearchKind::kMatch:
      return ScanMatchLines(state, in, *out, CompileMatchEntries(entries.entries()));
    case SearchKind::kMatchs:
      return ScanMatchsLines(state, in, *out, CompileMatchsEntries(entries.entries()));
    case SearchKind::kInc:
      return ScanIncLines(state, in, *out, CompileIncEntries(entries.entries()));
  }
  return 0;
}

}  // namespace kensaku
