// QFileView: the beginning of a file in a viewer, for a host that lets the user look at a file
// (a search result file, say). One raw block read of at most 32,766 bytes into a zero-filled
// buffer; the viewer shows the text up to its first zero byte.
#include "frame/byte_string.h"
#include "search/file_source.h"
#include "ui/windows_api.h"

namespace kensaku::ui {

int QFileView(const char* name) {
  if (name == nullptr) return 0;
  ByteString buffer(kMaxByteString);
  if (buffer.empty()) return 0;
  // Read through the system rather than a C++ stream, whose locale machinery would more than
  // double the DLL.
  FileSource in;
  FileName file;
  file.name = name;
  if (!in.Open(file)) return 0;
  // Stops early at the end of the file; the buffer's last byte is never written.
  std::size_t got = 0;
  while (got < static_cast<std::size_t>(kMaxByteString)) {
    const std::ptrdiff_t n = in.Read(buffer.text() + got, static_cast<std::size_t>(kMaxByteString) - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return QView(name, buffer.text());
}

}  // namespace kensaku::ui
