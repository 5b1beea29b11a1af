// The process-wide state of the exports: the settings FoldFlags, OutputMode and LineMode, which
// the setter exports write and which the searches of the other exports take as they start, and
// ResultBuffer, where the in-memory searches leave their text between calls.
//
// Only the entry layer and the windows (which apply the search box's parameters) read or write
// these; they hand the values down to a search, and nothing below them keeps or reads a
// process-wide setting. A check in the tests fails on an include of this header from elsewhere
// under src/.
#ifndef KENSAKU_SRC_FRAME_SETTINGS_H_
#define KENSAKU_SRC_FRAME_SETTINGS_H_

namespace kensaku {

// FoldFlags and its setters; each returns FoldFlags afterwards.
int GetFoldFlags();
int SetFoldFlags(int flags);    // FoldFlags := flags
int OrFoldFlags(int flags);     // FoldFlags |= flags
int ResetFoldFlags(int flags);  // FoldFlags &= ~flags, unless flags is 0
void ClearFoldFlags();
// The bits of FoldFlags that fold (0x7F): the exports keep the others but they change nothing,
// and the library's own higher fold bits are beyond their reach.
inline int FoldFlagsInForce() { return GetFoldFlags() & 0x7F; }

// Non-zero: hits are whole lines, each at most once; 0: only the matched texts, every hit.
int GetOutputMode();
int SetOutputMode(int mode);

// Non-zero: whole lines are prefixed with their line number.
int GetLineMode();
int SetLineMode(int mode);

// The kResultCapacity + 1 bytes of ResultBuffer.
char* ResultBuffer();

}  // namespace kensaku

#endif  // KENSAKU_SRC_FRAME_SETTINGS_H_
