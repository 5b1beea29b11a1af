// The process-wide output settings of the file searches. FoldFlags, the third setting, lives with
// folding at the bottom of the library.
#ifndef KENSAKU_SRC_FRAME_SETTINGS_H_
#define KENSAKU_SRC_FRAME_SETTINGS_H_

namespace kensaku {

// Non-zero: hits are whole lines, each at most once; 0: only the matched texts, every hit.
int GetOutputMode();
int SetOutputMode(int mode);

// Non-zero: whole lines are prefixed with their line number.
int GetLineMode();
int SetLineMode(int mode);

}  // namespace kensaku

#endif  // KENSAKU_SRC_FRAME_SETTINGS_H_
