// The viewer list's entries: one line of text per open viewer, the viewer's window handle in
// hexadecimal followed by "# " and its title, from which the handle is read back:
//
//        2b4# a.txt        (handle 0x2B4, right-aligned in 8 columns)
//
// The list box sorts these texts, and the list holds at most 22 of them.
#ifndef KENSAKU_SRC_UI_VIEWER_ENTRY_H_
#define KENSAKU_SRC_UI_VIEWER_ENTRY_H_

#include <cstddef>
#include <cstdint>

namespace kensaku::ui {

inline constexpr int kMaxViewers = 22;
inline constexpr std::size_t kEntryBufferSize = 512;

// Zero-fills buffer and writes the entry, at most kEntryBufferSize - 1 bytes: a title longer
// than 501 bytes is cut in the entry. A null title is taken as empty. Returns buffer.
char* FormatViewerEntry(char (&buffer)[kEntryBufferSize], std::uint32_t handle, const char* title);

// The handle written at the start of an entry: its first 10 bytes read as a hexadecimal number.
std::uint32_t ReadViewerEntry(const char* entry);

// With count entries in the list: whether opening a viewer is refused for the count (an
// unreadable count, -1, does not refuse), and whether one more viewer may be opened.
inline bool ViewerCountRefused(long count) { return count >= kMaxViewers; }
inline bool NextViewerAllowed(long count) { return count >= 0 && count < kMaxViewers; }

}  // namespace kensaku::ui

#endif  // KENSAKU_SRC_UI_VIEWER_ENTRY_H_
