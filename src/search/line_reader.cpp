#include "search/line_reader.h"

namespace kensaku {

void ReadNextLine(ScanState& state, InputFile& in) {
  state.line = "";
  state.length = 0;
  state.text_length = 0;
  if (in.failed()) return;
  std::size_t length = 0, text_length = 0;
  const char* line = in.ReadLine(length, &text_length);
  if (line != nullptr) {
    state.line = line;
    state.length = length;
    state.text_length = text_length;
  }
  if (!in.failed()) state.lines = WrappingAdd(state.lines, 1);
}

}  // namespace kensaku
