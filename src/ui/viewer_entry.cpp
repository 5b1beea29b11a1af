#include "ui/viewer_entry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kensaku::ui {

char* FormatViewerEntry(char (&buffer)[kEntryBufferSize], std::uint32_t handle,
                        const char* title) {
  std::memset(buffer, 0, sizeof buffer);
  std::snprintf(buffer, sizeof buffer, "%8lx# %s", static_cast<unsigned long>(handle),
                title != nullptr ? title : "");
  return buffer;
}

std::uint32_t ReadViewerEntry(const char* entry) {
  char head[11] = {};
  std::strncpy(head, entry, 10);
  return static_cast<std::uint32_t>(std::strtoul(head, nullptr, 16));
}

}  // namespace kensaku::ui
