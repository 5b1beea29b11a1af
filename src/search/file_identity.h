// Which file an open stream is: enough to see that a search's output is its own input, which it
// would otherwise read back as it appends (without end).
#ifndef KENSAKU_SRC_SEARCH_FILE_IDENTITY_H_
#define KENSAKU_SRC_SEARCH_FILE_IDENTITY_H_

#include <cstdint>
#include <cstdio>

namespace kensaku {

// True when both streams are open on the same file: same device and file id (a hard link is the
// same file, another name for it too).
bool SameFile(std::FILE* a, std::FILE* b);

// The length of the open file now, or UINT64_MAX when it cannot be told.
std::uint64_t FileLength(std::FILE* f);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_FILE_IDENTITY_H_
