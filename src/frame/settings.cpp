#include "frame/settings.h"

#include "frame/limits.h"

namespace kensaku {
namespace {
int fold_flags = 0;
int output_mode = 0;
int line_mode = 0;
char result_buffer[kResultCapacity + 1];
}  // namespace

int GetFoldFlags() { return fold_flags; }
int SetFoldFlags(int flags) { return fold_flags = flags; }
int OrFoldFlags(int flags) { return fold_flags |= flags; }
int ResetFoldFlags(int flags) {
  if (flags != 0) fold_flags &= ~flags;
  return fold_flags;
}
void ClearFoldFlags() { fold_flags = 0; }

int GetOutputMode() { return output_mode; }
int SetOutputMode(int mode) { return output_mode = mode; }
int GetLineMode() { return line_mode; }
int SetLineMode(int mode) { return line_mode = mode; }

char* ResultBuffer() { return result_buffer; }

}  // namespace kensaku
