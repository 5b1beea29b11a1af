// What a list's prefilter passes on to one entry about the entry's own bytes in one line, so
// that the entry's test need not look for them again.
#ifndef KENSAKU_SRC_MATCH_ENTRY_HINT_H_
#define KENSAKU_SRC_MATCH_ENTRY_HINT_H_

#include <cstddef>

namespace kensaku {

// What is already known of whether a text holds a finder's bytes.
// kAtFirst: present, and a run of them known to begin a character at the hint's place (which
// may lie past a NUL inside the line as read).
enum class Presence { kUnknown, kAbsent, kPresent, kAtFirst };
// A place in a line before which a finder's bytes begin no character, when none is known.
inline constexpr std::size_t kPlaceUnknown = static_cast<std::size_t>(-1);

struct EntryHint {
  Presence presence = Presence::kUnknown;
  // Before this place the entry's bytes begin no character of the line; with kAtFirst a run of
  // them begins one here. It may be past the end: bytes after a NUL inside the line as read,
  // which no match reaches.
  std::size_t place = kPlaceUnknown;
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_ENTRY_HINT_H_
