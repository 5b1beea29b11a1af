// The record of one search and its line reader: the next line of the input, counted. Lines end
// at LF (which is not part of them) or after 4095 bytes, whichever comes first; a CR stays in
// the line.
#ifndef KENSAKU_SRC_SEARCH_LINE_READER_H_
#define KENSAKU_SRC_SEARCH_LINE_READER_H_

#include <cstdint>

#include "match/match_span.h"
#include "search/streams.h"

namespace kensaku {

// The record of one search, carried from line to line.
struct ScanState {
  MatchSpan span;               // the latest match attempt of the search
  std::int32_t lines = 0;       // lines read so far; the number of the line being tested
  const char* line = "";        // the line last read, NUL-terminated, valid until the next read
  std::size_t length = 0;       // its bytes as read
  std::size_t text_length = 0;  // up to a NUL inside, which ends it for matching
};

// a + b as 32-bit counts wrap, without the undefined overflow of a signed sum.
inline std::int32_t WrappingAdd(std::int32_t a, std::uint32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + b);
}

// Reads the next line and counts it; a failed stream reads nothing and leaves the line empty.
void ReadNextLine(ScanState& state, InputFile& in);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_LINE_READER_H_
