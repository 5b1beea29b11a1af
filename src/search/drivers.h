// The whole-file searches of the exports: every line of an input file against every entry of a
// list text, hits appended to an output file or collected in the library's ResultBuffer (32,766
// bytes of output at most, always NUL-terminated, valid until the next search into it). Each
// splits the list text, compiles it and hands it to the searcher.
#ifndef KENSAKU_SRC_SEARCH_DRIVERS_H_
#define KENSAKU_SRC_SEARCH_DRIVERS_H_

#include <cstddef>
#include <cstdint>

#include "match/compiled_list.h"
#include "search/line_reader.h"
#include "search/streams.h"

namespace kensaku {

inline constexpr std::size_t kResultCapacity = 32766;

// The start of ResultBuffer.
const char* ResultText();

// Stream engines into ResultBuffer; null when the input is not clear or the list text is unusable.
const char* StreamMatchsMult(ScanState& state, InputFile& in, const char* list);
const char* StreamIncMult(ScanState& state, InputFile& in, const char* list);

// In-memory searches of a named file.
const char* SearchFileMatchs(const char* input, const char* list);
const char* SearchFileInc(const char* input, const char* list);

// File-to-file searches; 0 when a file cannot be opened or the list text is unusable. The hook,
// if any, runs once before the scan.
std::int32_t SearchFileToFile(SearchKind kind, const char* input, const char* output,
                              const char* list, void (*before_scan)() = nullptr);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_DRIVERS_H_
