// The printer: a HitSink that writes what grep writes for the selected lines of one file
// (prefixes, matched parts, counts, names, context with "--" between groups, colour). The search
// either hands it hits (the library's searcher) or every line with the library's verdict (when
// unselected lines matter: -v and context).
#ifndef KENSAKU_TOOLS_CLI_PRINTER_H_
#define KENSAKU_TOOLS_CLI_PRINTER_H_

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "patterns.h"
#include "search/hit_writer.h"

namespace kensaku::cli {

enum class Report { kLines, kCount, kFilesWith, kFilesWithout, kQuiet };

struct PrintConfig {
  Report report = Report::kLines;
  bool with_name = false;
  bool line_numbers = false;
  bool only_matching = false;
  bool invert = false;  // selected lines have no matches to show
  bool color = false;
  bool utf8 = false;    // the file's text converted to UTF-8
  bool binary = false;  // a binary file: one note instead of its lines
  std::int64_t max_count = -1;
  int after = 0;
  int before = 0;
};

class Printer final : public HitSink {
 public:
  // Output goes to out; drain(out) is called when it has grown large, and at the end. stop, when
  // set by anyone, ends the search (-q).
  Printer(const PrintConfig& config, const std::string& name, const PatternGroups& patterns,
          std::string& out, std::function<void()> drain, std::atomic<bool>* stop);

  // From the library's searcher: every hit; the first of each line selects it.
  void Hit(const ScanState& state) override;
  bool ok() const override;

  // From a line-by-line search: every line, selected or not.
  void Line(std::int32_t number, const char* text, std::size_t length, bool selected);

  // True when the search must hand every line to Line(), not only the hits.
  static bool NeedsEveryLine(const PrintConfig& config) {
    return config.invert ||
           (config.report == Report::kLines && (config.after > 0 || config.before > 0));
  }

  // Writes the count or name the report asks for; returns the number of selected lines.
  std::int64_t Finish();
  // A note for standard error ("binary file matches"), empty when there is none.
  const std::string& note() const { return note_; }

 private:
  struct Held {
    std::int32_t number;
    std::string text;
  };
  void Selected(std::int32_t number, const char* text, std::size_t length);
  void WriteLine(std::int32_t number, const char* text, std::size_t length, char separator,
                 bool highlight);
  void WritePrefix(std::int32_t number, char separator);
  void WriteText(const char* text, std::size_t length);
  void WriteName();
  void Colored(const char* sgr, const std::string& text);
  void MaybeDrain();
  bool reached_max() const { return config_.max_count >= 0 && selected_ >= config_.max_count; }

  const PrintConfig& config_;
  const std::string& name_;
  const PatternGroups& patterns_;
  std::string& out_;
  std::function<void()> drain_;
  std::atomic<bool>* stop_;
  std::vector<Span> spans_;
  std::deque<Held> before_;
  std::int64_t selected_ = 0;
  std::int32_t last_hit_ = 0;      // the line of the latest hit, so that each counts once
  std::int32_t last_printed_ = 0;  // 0: nothing printed yet
  int after_left_ = 0;
  bool done_ = false;
  std::string note_;
};

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_PRINTER_H_
