// The tool's sinks, one for each kind of output of a file's search: lines (what grep writes for
// selected lines: prefixes, matched parts, context with "--" between groups, colour, -o, -b,
// --vimgrep, --column), summaries (-c, -l, -L, -q) and JSON Lines (json_lines.h). Which lines are
// selected or context is the searcher's; a sink only writes them, and learns the rest from the
// end of the search.
#ifndef KENSAKU_TOOLS_CLI_PRINTER_H_
#define KENSAKU_TOOLS_CLI_PRINTER_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "mbchar/encoding.h"
#include "search/sink.h"
#include "search/streams.h"
#include "stats.h"

namespace kensaku::cli {

// Adds the bytes a search has read to a total that the progress line shows, a megabyte at a
// time and the rest when it is destroyed.
class ReadMeter {
 public:
  ReadMeter(const InputFile& in, std::atomic<std::uint64_t>& total) : in_(in), total_(total) {}
  ~ReadMeter() { total_ += in_.position() - counted_; }
  ReadMeter(const ReadMeter&) = delete;
  ReadMeter& operator=(const ReadMeter&) = delete;

  void Tick() {
    const std::uint64_t at = in_.position();
    if (at - counted_ >= kStep) {
      total_ += at - counted_;
      counted_ = at;
    }
  }

 private:
  static constexpr std::uint64_t kStep = 1 << 20;
  const InputFile& in_;
  std::atomic<std::uint64_t>& total_;
  std::uint64_t counted_ = 0;
};

enum class Report { kLines, kCount, kFilesWith, kFilesWithout, kQuiet };

// The SGR parameters of each part of coloured output: grep's defaults, or what GREP_COLORS says.
// An empty one leaves its part uncoloured.
struct Colors {
  std::string selected_match = "01;31";  // ms
  std::string context_match = "01;31";   // mc
  std::string selected_line;             // sl
  std::string context_line;              // cx
  std::string file_name = "35";          // fn
  std::string line_number = "32";        // ln
  std::string byte_offset = "32";        // bn
  std::string separator = "36";          // se
  bool reverse = false;                  // rv: with -v, sl and cx trade places
  bool erase = true;                     // no ne: each start and end also clears to the line end

  // text between the start and the end of sgr, or text alone when sgr is empty.
  std::string Paint(const std::string& sgr, std::string_view text) const;
  void Start(const std::string& sgr, std::string& out) const;
  void End(const std::string& sgr, std::string& out) const;
};

// GREP_COLORS read as grep reads it: "name=value" entries parted by ':', values of digits and ';'.
// Unknown names are passed over (bn, of byte offsets, among them: this tool prints none); the
// first malformed entry ends the reading, the entries before it kept. mt sets ms and mc; rv and ne
// take no value.
void ReadGrepColors(std::string_view value, Colors& colors);

// The older GREP_COLOR: the colour of matches, when it is digits and ';' only. True when it was
// taken, and grep would warn that it is deprecated.
bool ReadGrepColor(std::string_view value, Colors& colors);

struct PrintConfig {
  Report report = Report::kLines;
  bool with_name = false;
  bool line_numbers = false;
  bool only_matching = false;
  bool color = false;
  Colors colors;
  bool invert = false;  // -v: selected lines are those without a match, context those with one
  // The encoding lines are written in (code page 932, UTF-8 or EUC-JP); none: the file's bytes.
  std::optional<Encoding> output;
  Encoding encoding = Encoding::kCp932;  // the encoding of the lines the searcher reports
  std::optional<Encoding> file_encoding;  // the file's own, when not that (UTF-16 read as UTF-8)
  bool binary = false;                   // a binary file: one note instead of its lines
  std::uint64_t binary_offset = 0;       // and where its first NUL is
  bool json = false;                     // --json: JSON Lines messages instead
  bool vimgrep = false;                  // --vimgrep: name:line:column:line, once for each match
  bool column = false;                   // --column: the first match's column after the line number
  bool byte_offset = false;              // -b: the offset in the file before the text
  bool null_after_name = false;          // -Z
  bool line_buffered = false;            // each line handed over as it is written
  bool context = false;                  // context asked for: "--" between groups, across files too
  bool gap_breaks = false;  // and no lines of it to give (-C0): "--" between lines apart
  bool stats = false;       // --stats: the run's counts after the results (JSON has them anyway)
};

// What every sink of a file's search has: where its output goes and when it is handed over, when
// the search is to stop, the lines selected and the note for standard error.
class FileSink : public SearchSink {
 public:
  // Output goes to out; drain(out) is called when it has grown large, and at the end. stop, when
  // set by anyone, ends the search (-q). The meter, if any, is ticked each time the searcher asks
  // whether to go on.
  FileSink(const PrintConfig& config, const std::string& name, std::string& out,
           std::function<void()> drain, std::atomic<bool>* stop, ReadMeter* meter);

  bool ok() const override;
  std::int64_t selected() const { return selected_; }
  // The search's counts go to stats at its end, and its time from now on.
  void CountInto(SearchStats* stats);
  // A note for standard error ("binary file matches"), empty when there is none.
  const std::string& note() const { return note_; }

 protected:
  // A selected line of a binary file: the note, and the search ends.
  void BinaryMatches();
  void MaybeDrain();
  void Drain();
  // At the end of the search, when counted.
  void Count(const SearchEnd& end);

  const PrintConfig& config_;
  const std::string& name_;
  std::string& out_;
  std::int64_t selected_ = 0;
  std::uint64_t matches_ = 0;  // matched parts of the selected lines
  bool done_ = false;
  std::atomic<bool>* stop_;

 private:
  std::function<void()> drain_;
  ReadMeter* meter_;
  std::string note_;
  SearchStats* stats_ = nullptr;
  std::chrono::steady_clock::time_point start_;
};

struct JsonRun;

// The output of one run: a sink for each file, of the kind the options ask for, and what is
// written between files and after the last.
class RunOutput {
 public:
  explicit RunOutput(const PrintConfig& config);
  ~RunOutput();
  RunOutput(const RunOutput&) = delete;
  RunOutput& operator=(const RunOutput&) = delete;

  // The sink of one file's search; file is the run's config with the file's own encoding and
  // binary facts, and must outlive the sink, as name and out must.
  std::unique_ptr<FileSink> SinkFor(const PrintConfig& file, const std::string& name,
                                    std::string& out, std::function<void()> drain,
                                    std::atomic<bool>* stop, ReadMeter* meter = nullptr);
  // Put before a file's output when an earlier file has written some; empty: nothing.
  const std::string& between() const { return between_; }
  // Written after every file: the JSON summary, or the --stats text (bytes_printed: what was
  // written before it), or nothing.
  std::string Closing(const Skipped& skipped, std::uint64_t bytes_printed) const;

 private:
  std::string between_;
  std::unique_ptr<JsonRun> json_;
  std::unique_ptr<SearchStats> stats_;  // --stats without JSON
};

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_PRINTER_H_
