#include <filesystem>
#include <system_error>

#include "files.h"

namespace kensaku::cli {
namespace fs = std::filesystem;

// Entries are opened by their whole names: no handle is kept.
bool ReadDirectory(const std::string& path, const std::string& /*name*/, std::intptr_t /*parent*/,
                   bool follow, std::vector<DirectoryEntry>& entries, std::intptr_t& handle,
                   std::string& error) {
  handle = -1;
  std::error_code ec;
  fs::directory_iterator it(path, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code e;
    fs::file_type type = it->is_symlink(e) ? fs::file_type::symlink : fs::file_type::unknown;
    if (type == fs::file_type::symlink) {
      if (!follow) {
        entries.push_back({name, Target::Kind::kFile, "", true, Skip::kLink});
        continue;
      }
      type = it->status(e).type();
      if (e) {
        entries.push_back({name, Target::Kind::kNote, e.message()});
        continue;
      }
    } else if (it->is_directory(e)) {
      type = fs::file_type::directory;
    } else if (it->is_regular_file(e)) {
      type = fs::file_type::regular;
    }
    // Devices, pipes and sockets met in a tree are passed over, as grep does.
    if (type == fs::file_type::directory) {
      entries.push_back({name, Target::Kind::kDirectory, ""});
    } else if (type == fs::file_type::regular) {
      entries.push_back({name, Target::Kind::kFile, ""});
    } else {
      entries.push_back({name, Target::Kind::kFile, "", true, Skip::kNotRegular});
    }
  }
  if (ec) {
    entries.clear();
    error = ec.message();
    return false;
  }
  return true;
}

void CloseDirectory(std::intptr_t /*handle*/) {}

}  // namespace kensaku::cli
