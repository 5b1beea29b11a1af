// QFileView: the beginning of a file in a viewer, for a host that lets the user look at a file
// (a search result file, say). One raw block read of at most 32,766 bytes into a zero-filled
// buffer; the viewer shows the text up to its first zero byte.
#include <fstream>

#include "frame/byte_string.h"
#include "ui/windows_api.h"

namespace kensaku::ui {

int QFileView(const char* name) {
  if (name == nullptr) return 0;
  ByteString buffer(kMaxByteString);
  if (buffer.empty()) return 0;
  std::ifstream in(name, std::ios::in | std::ios::binary);
  if (!in.is_open() || in.fail() || in.bad()) return 0;
  // Stops early at the end of the file; the buffer's last byte is never written.
  in.read(buffer.text(), kMaxByteString);
  return QView(name, buffer.text());
}

}  // namespace kensaku::ui
