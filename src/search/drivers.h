// The whole-file searches of the exports: every line of an input file against every entry of a
// list text, hits appended to an output file or collected in a result buffer of the caller's
// (ResultBuffer: 32,766 bytes of output at most, always NUL-terminated). Each splits the list
// text under the exports' rules, compiles it with the exports' settings, given as values, and
// hands it to the searcher.
#ifndef KENSAKU_SRC_SEARCH_DRIVERS_H_
#define KENSAKU_SRC_SEARCH_DRIVERS_H_

#include <cstddef>
#include <cstdint>

#include "frame/limits.h"
#include "search/line_reader.h"
#include "search/query.h"
#include "search/streams.h"

namespace kensaku {

// FoldFlags, OutputMode and LineMode as a search of the exports takes them when it starts.
struct ExportSettings {
  int fold_flags = 0;
  int output_mode = 0;
  int line_mode = 0;
};

// The options of the exports' query of a kind under those settings.
QueryOptions ExportOptions(SearchKind kind, const ExportSettings& settings);

// Stream engines into `result` (kResultCapacity + 1 bytes), whose start they return; null when
// the input is not clear or the list text is unusable.
const char* StreamMatchsMult(ScanState& state, InputFile& in, const char* list,
                             const ExportSettings& settings, char* result);
const char* StreamIncMult(ScanState& state, InputFile& in, const char* list,
                          const ExportSettings& settings, char* result);

// In-memory searches of a named file.
const char* SearchFileMatchs(const char* input, const char* list, const ExportSettings& settings,
                             char* result);
const char* SearchFileInc(const char* input, const char* list, const ExportSettings& settings,
                          char* result);

// File-to-file searches; 0 when a file cannot be opened or the list text is unusable. The hook,
// if any, runs once before the scan.
std::int32_t SearchFileToFile(SearchKind kind, const char* input, const char* output,
                              const char* list, const ExportSettings& settings,
                              void (*before_scan)() = nullptr);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_DRIVERS_H_
