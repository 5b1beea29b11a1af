// Which file an open input or output is: enough to see that a search's output is its own input,
// which it would otherwise read back as it appends (without end).
#ifndef KENSAKU_SRC_SEARCH_FILE_IDENTITY_H_
#define KENSAKU_SRC_SEARCH_FILE_IDENTITY_H_

#include <cstdint>

#include "search/file_source.h"

namespace kensaku {

// True when the input and the output stream are open on the same file: same device and file id
// (a hard link is the same file, another name for it too).
bool SameFile(const FileSource& in, const FileSink& out);

// The length of the open input now, or UINT64_MAX when it cannot be told.
std::uint64_t FileLength(const FileSource& in);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_FILE_IDENTITY_H_
