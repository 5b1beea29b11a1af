// The printer: the sink of a search of one file, writing what grep writes for its selected lines
// (prefixes, matched parts, counts, names, context with "--" between groups, colour). Which lines
// are selected or context is the searcher's; the printer only writes them.
#ifndef KENSAKU_TOOLS_CLI_PRINTER_H_
#define KENSAKU_TOOLS_CLI_PRINTER_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "json_lines.h"
#include "search/sink.h"
#include "search/streams.h"

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

struct PrintConfig {
  Report report = Report::kLines;
  bool with_name = false;
  bool line_numbers = false;
  bool only_matching = false;
  bool color = false;
  bool utf8 = false;    // the file's text converted to UTF-8
  Encoding encoding = Encoding::kCp932;  // the encoding of the lines the searcher reports
  bool binary = false;  // a binary file: one note instead of its lines
  bool json = false;         // --json: JSON Lines messages instead
  bool vimgrep = false;      // --vimgrep: name:line:column:line, once for each match
  bool column = false;       // --column: the first match's column after the line number
  bool byte_offset = false;  // -b: the offset in the file before the text
  bool null_after_name = false;  // -Z
  bool line_buffered = false;    // each line handed over as it is written
};

class Printer final : public SearchSink {
 public:
  // Output goes to out; drain(out) is called when it has grown large, and at the end. stop, when
  // set by anyone, ends the search (-q). The meter, if any, is ticked each time the searcher asks
  // whether to go on.
  Printer(const PrintConfig& config, const std::string& name, std::string& out,
          std::function<void()> drain, std::atomic<bool>* stop, ReadMeter* meter = nullptr);

  bool ok() const override;
  void Matched(const FoundLine& line) override;
  void Context(const FoundLine& line) override;
  void ContextBreak() override;
  // Writes the count or name the report asks for.
  void Finish() override;

  std::int64_t selected() const { return selected_; }
  // The input searched, for its offsets and its end; with --json, the totals to add to.
  void Watch(const InputFile* in, JsonTotals* totals);
  // A note for standard error ("binary file matches"), empty when there is none.
  const std::string& note() const { return note_; }

 private:
  void WriteLine(const FoundLine& line, char separator);
  void WritePrefix(std::int64_t number, char separator, std::uint64_t offset = UINT64_MAX,
                   std::size_t column = 0);
  // 1-based, in the bytes written, of the text before byte `at` of the line.
  std::size_t ColumnOf(const FoundLine& line, std::size_t at);
  void WriteText(const char* text, std::size_t length);
  void WriteName();
  void Colored(const char* sgr, const std::string& text);
  void MaybeDrain();

  const PrintConfig& config_;
  const std::string& name_;
  std::string& out_;
  std::function<void()> drain_;
  std::atomic<bool>* stop_;
  ReadMeter* meter_;
  const InputFile* in_ = nullptr;
  std::unique_ptr<JsonFile> json_;
  std::int64_t selected_ = 0;
  bool done_ = false;
  std::string note_;
};

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_PRINTER_H_
