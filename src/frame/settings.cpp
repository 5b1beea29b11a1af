#include "frame/settings.h"

namespace kensaku {
namespace {
int output_mode = 0;
int line_mode = 0;
}  // namespace

int GetOutputMode() { return output_mode; }
int SetOutputMode(int mode) { return output_mode = mode; }
int GetLineMode() { return line_mode; }
int SetLineMode(int mode) { return line_mode = mode; }

}  // namespace kensaku
