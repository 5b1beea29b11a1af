// Counting the lines of a stretch of text passed over without reading it: LFs found 64 bytes at a
// time, and the lines the reader would cut at 4095 bytes added where two LFs lie that far apart
// (unless the reader cuts no line).
#ifndef KENSAKU_SRC_SEARCH_LINE_COUNT_H_
#define KENSAKU_SRC_SEARCH_LINE_COUNT_H_

#include <cstddef>
#include <cstdint>

#include "frame/limits.h"

namespace kensaku {

struct LineCount {
  std::uint64_t lines = 0;  // as ReadLine would deliver them: a line of L bytes is L / cut + 1
  std::size_t bytes = 0;    // up to and including the last LF
};

// The lines that end in the first n bytes of text, where the reader cuts lines after `cut`
// bytes (0: never).
LineCount CountLines(const char* text, std::size_t n, std::size_t cut = kMaxLineBytes);

// Where the line that holds byte n of text starts: just after the last LF before it, or 0. The
// first `readable` bytes of text may be read (at least n).
std::size_t LineStartBefore(const char* text, std::size_t n, std::size_t readable = 0);

// Where the line at the start of text[0, n) ends, and where a NUL first cuts it short.
struct LineEnd {
  std::size_t lf = 0;   // the first LF, or n
  std::size_t nul = 0;  // the first NUL before it, or lf
};

// Both in one pass, since a line read is searched up to a NUL.
LineEnd FindLineEnd(const char* text, std::size_t n);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_LINE_COUNT_H_
