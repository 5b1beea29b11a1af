// Starting another program from a command line built of a program text and an argument text.
#ifndef KENSAKU_SRC_UTIL_LAUNCH_H_
#define KENSAKU_SRC_UTIL_LAUNCH_H_

#include "frame/byte_string.h"

namespace kensaku {

inline constexpr int kLaunchStarted = 33;      // a result above 31 means the program started
inline constexpr int kLaunchFileNotFound = 2;

// The program text, one blank and the argument text, unquoted and untrimmed (null counts as
// empty). When the arguments do not fit, the program text alone.
ByteString CommandLine(const char* program, const char* arguments);

// Starts the program of the command line, shown normally, without waiting for it. The result is
// the system's: above 31 when it started.
int OpenShellCommand(const char* program, const char* arguments);

// Platform part: starts a command line.
int StartCommandLine(const char* command_line);

}  // namespace kensaku

#endif  // KENSAKU_SRC_UTIL_LAUNCH_H_
