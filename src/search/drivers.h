// The whole-file searches: every line of an input file against every entry of a pattern list,
// hits appended to an output file or collected in the library's ResultBuffer (32,766 bytes of
// output at most, always NUL-terminated, valid until the next search into it).
#ifndef KENSAKU_SRC_SEARCH_DRIVERS_H_
#define KENSAKU_SRC_SEARCH_DRIVERS_H_

#include <cstdint>
#include <vector>

#include "match/pattern_list.h"
#include "search/line_scan.h"
#include "search/streams.h"

namespace kensaku {

inline constexpr std::size_t kResultCapacity = 32766;

// The start of ResultBuffer.
const char* ResultText();

// The list entries compiled once for a whole search.
std::vector<LinePattern> CompileMatchEntries(const PatternList& list);
std::vector<LineConjunctive> CompileMatchsEntries(const PatternList& list);
std::vector<LineInclusion> CompileIncEntries(const PatternList& list);

// Scan loops: each returns the count of pattern tests made (ScanIncLines: of lines with a hit).
std::int32_t ScanMatchLines(ScanState& state, InputFile& in, Output& out,
                            const std::vector<LinePattern>& entries);
std::int32_t ScanMatchsLines(ScanState& state, InputFile& in, Output& out,
                             const std::vector<LineConjunctive>& entries);
std::int32_t ScanIncLines(ScanState& state, InputFile& in, Output& out,
                          const std::vector<LineInclusion>& entries);

// Stream engines into ResultBuffer; null when the input is not clear or the list text is unusable.
const char* StreamMatchsMult(ScanState& state, InputFile& in, const char* list);
const char* StreamIncMult(ScanState& state, InputFile& in, const char* list);

// In-memory searches of a named file.
const char* SearchFileMatchs(const char* input, const char* list);
const char* SearchFileInc(const char* input, const char* list);

enum class SearchKind { kMatch, kMatchs, kInc };

// File-to-file searches; 0 when a file cannot be opened or the list text is unusable. The hook,
// if any, runs once before the scan.
std::int32_t SearchFileToFile(SearchKind kind, const char* input, const char* output,
                              const char* list, void (*before_scan)() = nullptr);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_DRIVERS_H_
