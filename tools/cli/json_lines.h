// --json: one JSON object a line, in the messages and fields an editor reads from a grep-like
// tool's JSON Lines output: "begin", "match" and "context" with the line and its submatches,
// "end" with the file's stats, and a final "summary". Lines and submatches are UTF-8 whatever the
// file's encoding, offsets counted in that UTF-8; text that is no UTF-8, or holds a sequence its
// encoding cannot read, is given as base64 "bytes" (UTF-8 with the broken bytes kept as they
// are). Fields of the tool's own, which such a reader passes over: the file's "encoding", and
// each submatch's "source_start" and "source_end" in the file's own bytes ("absolute_offset" is
// in them too).
#ifndef KENSAKU_TOOLS_CLI_JSON_LINES_H_
#define KENSAKU_TOOLS_CLI_JSON_LINES_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "printer.h"
#include "stats.h"

namespace kensaku::cli {

// What the "summary" says: every file's "end" added up, the time since the run began, and the
// names passed over.
struct JsonRun : SearchStats {
  // The final "summary" message.
  std::string Summary(const Skipped& skipped) const;
};

// The sink of one file's search, adding its stats to the run's.
std::unique_ptr<FileSink> NewJsonSink(JsonRun& run, const PrintConfig& config,
                                      const std::string& name, std::string& out,
                                      std::function<void()> drain, std::atomic<bool>* stop,
                                      ReadMeter* meter);

// A JSON object written field by field in the order given: where every message is put together.
class JsonObject {
 public:
  // Keys are names of the writer's own, written as they are.
  JsonObject& Json(std::string_view key, std::string_view json);  // a value that is JSON text
  JsonObject& String(std::string_view key, std::string_view text);
  JsonObject& Number(std::string_view key, std::uint64_t n);
  // {"text": ...} for UTF-8 text, else {"bytes": base64}; as bytes also when broken is set.
  JsonObject& Data(std::string_view key, std::string_view text, bool broken = false);
  std::string Close() { return text_ + "}"; }

 private:
  void Key(std::string_view key);
  std::string text_ = "{";
};

// {"text": ...} or {"bytes": ...}, as JsonObject::Data gives a field's value.
std::string JsonData(std::string_view text, bool broken = false);

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_JSON_LINES_H_
