// --json: one JSON object a line, in the messages and fields an editor reads from a grep-like
// tool's JSON Lines output: "begin", "match" and "context" with the line and its submatches,
// "end" with the file's stats, and a final "summary". Lines and submatches are UTF-8 whatever the
// file's encoding, offsets counted in that UTF-8; text that is no UTF-8 is given as base64
// "bytes". Fields of the tool's own, which such a reader passes over: the file's "encoding", and
// each submatch's "source_start" and "source_end" in the file's own bytes ("absolute_offset" is
// in them too).
#ifndef KENSAKU_TOOLS_CLI_JSON_LINES_H_
#define KENSAKU_TOOLS_CLI_JSON_LINES_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "mbchar/encoding.h"
#include "search/sink.h"

namespace kensaku::cli {

// What every file's "end" adds up to, for the "summary".
struct JsonTotals {
  std::atomic<std::uint64_t> searches{0}, searches_with_match{0}, bytes_searched{0},
      bytes_printed{0}, matched_lines{0}, matches{0}, nanos{0};
};

// The messages of one file.
class JsonFile {
 public:
  JsonFile(const std::string& path, Encoding encoding, JsonTotals* totals);
  // A "match" or "context" message; ends_with_lf: the line ended with a LF (not the input).
  void Line(bool match, const FoundLine& line, bool ends_with_lf, std::string& out);
  // The "end", when there was a "begin", and the file's stats.
  void End(std::uint64_t bytes_searched, std::string& out);

 private:
  using Clock = std::chrono::steady_clock;
  std::string path_;
  Encoding encoding_;
  JsonTotals* totals_;
  Clock::time_point start_;
  bool begun_ = false;
  std::uint64_t printed_ = 0, matched_lines_ = 0, matches_ = 0;
};

// The final "summary" message.
std::string JsonSummary(const JsonTotals& totals, std::chrono::nanoseconds elapsed);

// A JSON string of text: escaped, or {"bytes": base64} when it is no UTF-8 (as an object field's
// value: {"text":"..."} or {"bytes":"..."}).
std::string JsonData(const std::string& text);

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_JSON_LINES_H_
