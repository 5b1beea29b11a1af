// Writing hits: the one writer behind ResultBuffer and the exports' output files, in the output
// form of the query searched.
//
//   whole lines (OutputMode non-zero):  "    7 " (with LineMode) + line + LF, once per line
//   matched texts (OutputMode 0):       text + CR LF, for every hit of the line
#ifndef KENSAKU_SRC_SEARCH_HIT_WRITER_H_
#define KENSAKU_SRC_SEARCH_HIT_WRITER_H_

#include <cstdint>

#include "search/query.h"
#include "search/sink.h"
#include "search/streams.h"

namespace kensaku {

// Writes each hit the exports' search reports to an output; a failed output stops the search.
class HitWriter final : public SearchSink {
 public:
  HitWriter(Output& out, OutputForm form) : out_(out), form_(form) {}
  bool ok() const override { return out_.good(); }
  void Matched(const FoundLine& line) override;

 private:
  Output& out_;
  OutputForm form_;
};

// "    7 " for line 7: the number right-aligned in five columns, then a space.
void WriteLineNumber(std::int32_t line, Output& out);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_HIT_WRITER_H_
