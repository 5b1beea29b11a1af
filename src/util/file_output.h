// Small file utilities for hosts that build result files step by step: empty a file, delete it,
// append a text, append a text formatted with one integer. Each call opens and closes the file.
#ifndef KENSAKU_SRC_UTIL_FILE_OUTPUT_H_
#define KENSAKU_SRC_UTIL_FILE_OUTPUT_H_

#include <cstdint>

namespace kensaku {

// 1 when the file could be opened for writing (and so created or emptied), else 0.
int EmptyFile(const char* name);

// 0 when the file was deleted or the name is null, -1 when the deletion failed. Only files are
// deleted.
int RemoveFile(const char* name);

// Appends the text (null: nothing) in binary mode; 1 when the bytes reached the file.
int AppendText(const char* name, const char* text);

// Appends the format filled with the value by the wsprintfA rules; 1 when it reached the file.
int AppendFormatted(const char* name, const char* format, std::int32_t value);

}  // namespace kensaku

#endif  // KENSAKU_SRC_UTIL_FILE_OUTPUT_H_
