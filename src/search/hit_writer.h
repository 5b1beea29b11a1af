// Writing hits: the one writer behind ResultBuffer, output files and the command-line tool.
//
//   whole lines (OutputMode non-zero):  "    7 " (with LineMode) + line + LF, once per line
//   matched texts (OutputMode 0):       text + CR LF, for every hit of the line
#ifndef KENSAKU_SRC_SEARCH_HIT_WRITER_H_
#define KENSAKU_SRC_SEARCH_HIT_WRITER_H_

#include <cstdint>

#include "search/line_reader.h"
#include "search/streams.h"

namespace kensaku {

// OutputMode and LineMode as they are now: the one place the searches read them.
OutputForm CurrentOutputForm();

// Receives the hits of a search, one call per hit, with the state of the search at the hit (its
// line, number, span and output form). A sink that is no longer ok stops the search.
class HitSink {
 public:
  virtual ~HitSink() = default;
  virtual void Hit(const ScanState& state) = 0;
  virtual bool ok() const = 0;
};

// Writes each hit to an output in the search's output form.
class HitWriter final : public HitSink {
 public:
  explicit HitWriter(Output& out) : out_(out) {}
  void Hit(const ScanState& state) override;
  bool ok() const override { return out_.clear(); }

 private:
  Output& out_;
};

// "    7 " for line 7: the number right-aligned in five columns, then a space.
void WriteLineNumber(std::int32_t line, Output& out);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_HIT_WRITER_H_
