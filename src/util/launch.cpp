#include "util/launch.h"

#include <cstring>

namespace kensaku {

ByteString CommandLine(const char* program, const char* arguments) {
  ByteString line(program);
  const ByteString with_blank = ByteString::Concatenate(line, " ");
  const ByteString joined = ByteString::Concatenate(with_blank, arguments);
  line = joined;  // an empty join keeps the program text alone
  return line;
}

int OpenShellCommand(const char* program, const char* arguments) {
  // A program text a ByteString cannot hold would leave only " arguments": the first argument
  // would be started in its place.
  if (program != nullptr && std::strlen(program) > static_cast<std::size_t>(kMaxByteString)) {
    return kLaunchFileNotFound;
  }
  const ByteString line = CommandLine(program, arguments);
  return StartCommandLine(line.text() != nullptr ? line.text() : "");
}

}  // namespace kensaku
