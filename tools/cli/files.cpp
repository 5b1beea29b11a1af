#include "files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform.h"

namespace kensaku::cli {
namespace fs = std::filesystem;
namespace {

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

class Walker {
 public:
  Walker(bool follow, std::vector<Target>& targets) : follow_(follow), targets_(targets) {}

  void Walk(const fs::path& dir, const std::string& shown) {
    std::error_code ec;
    const fs::path real = fs::canonical(dir, ec);
    // A followed link back up the tree would be walked for ever.
    if (!ec && std::find(above_.begin(), above_.end(), real) != above_.end()) {
      targets_.push_back({"", "", 0, shown + ": recursive directory loop"});
      return;
    }
    std::vector<fs::directory_entry> entries;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) entries.push_back(*it);
    if (ec) {
      targets_.push_back({"", "", 0, (shown.empty() ? "." : shown) + ": " + ec.message()});
      return;
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      return a.path().filename() < b.path().filename();
    });
    above_.push_back(real);
    for (const fs::directory_entry& entry : entries) {
      const std::string name = Join(shown, entry.path().filename().string());
      std::error_code e;
      fs::file_status status = entry.symlink_status(e);
      if (fs::is_symlink(status)) {
        if (!follow_) continue;
        status = entry.status(e);
        if (e) {
          targets_.push_back({"", "", 0, name + ": " + e.message()});
          continue;
        }
      }
      if (fs::is_directory(status)) {
        Walk(entry.path(), name);
      } else if (fs::is_regular_file(status)) {
        targets_.push_back({entry.path().string(), name, entry.file_size(e), ""});
      }
      // Devices, pipes and sockets met in a tree are passed over, as grep does.
    }
    above_.pop_back();
  }

 private:
  bool follow_;
  std::vector<Target>& targets_;
  std::vector<fs::path> above_;
};

}  // namespace

void CollectTargets(const Options& options, std::vector<Target>& targets, bool& with_name) {
  with_name = options.files.size() > 1;
  if (options.files.empty()) {
    if (options.recursive) {
      with_name = true;
      Walker(options.dereference, targets).Walk(".", "");
    } else {
      targets.push_back({StandardInputName(), "(standard input)", 0, ""});
    }
    return;
  }
  for (const std::string& file : options.files) {
    if (file == "-") {
      targets.push_back({StandardInputName(), "(standard input)", 0, ""});
      continue;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (ec || !fs::exists(status)) {
      const std::error_code why =
          ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory);
      targets.push_back({"", "", 0, file + ": " + why.message()});
    } else if (fs::is_directory(status)) {
      if (options.recursive) {
        with_name = true;
        Walker(options.dereference, targets).Walk(file, file);
      } else {
        targets.push_back({"", "", 0, file + ": Is a directory"});
      }
    } else {
      const std::uint64_t size = fs::is_regular_file(status) ? fs::file_size(file, ec) : 0;
      targets.push_back({file, file, ec ? 0 : size, ""});
    }
  }
}

}  // namespace kensaku::cli
