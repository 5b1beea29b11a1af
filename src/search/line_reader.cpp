#include "search/line_reader.h"

#include <cstring>

namespace kensaku {

void ReadNextLine(ScanState& state, InputFile& in) {
  state.line = "";
  state.length = 0;
  state.text_length = 0;
  if (in.failed()) return;
  std::size_t length = 0;
  const char* line = in.ReadLine(length);
  if (line != nullptr) {
    state.line = line;
    state.length = length;
    const void* nul = std::memchr(line, '\0', length);
    state.text_length =
        nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - line) : length;
  }
  if (!in.failed()) state.lines = WrappingAdd(state.lines, 1);
}

}  // namespace kensaku
