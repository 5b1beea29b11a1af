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

Target Note(const std::string& message, Skip skip = Skip::kUnreadable) {
  Target t;
  t.kind = Target::Kind::kNote;
  t.error = message;
  t.skip = skip;
  return t;
}

Target StandardInput() {
  Target t;
  t.path = StandardInputName();
  t.shown = "(standard input)";
  t.standard_input = true;
  return t;
}

}  // namespace

void ListDirectory(const Target& directory, std::intptr_t parent, bool follow,
                   const NameFilter& names, const std::vector<std::string>& above,
                   std::vector<Target>& entries, std::string& canonical, std::intptr_t& handle,
                   Skipped& skipped) {
  entries.clear();
  handle = -1;
  const std::string& shown = directory.shown;
  // Only a followed link can lead back up the tree: without -R nothing is resolved.
  if (follow) {
    std::error_code ec;
    canonical = fs::canonical(directory.path, ec).string();
    if (!ec && std::find(above.begin(), above.end(), canonical) != above.end()) {
      entries.push_back(Note(shown + ": recursive directory loop", Skip::kLink));
      return;
    }
  }
  std::vector<DirectoryEntry> found;
  std::string error;
  if (!ReadDirectory(directory.path, directory.name, parent, follow, found, handle, error)) {
    entries.push_back(Note((shown.empty() ? "." : shown) + ": " + error));
    return;
  }
  std::sort(found.begin(), found.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  entries.reserve(found.size());
  for (DirectoryEntry& entry : found) {
    if (entry.passed_over) {
      skipped.Add(entry.skip);
      continue;
    }
    // A link that cannot be followed is taken for a file, as grep takes it.
    if (entry.kind == Target::Kind::kDirectory ? names.SkipsDirectory(entry.name)
                                               : names.SkipsFile(entry.name)) {
      skipped.Add(Skip::kExcluded);
      continue;
    }
    Target t;
    t.kind = entry.kind;
    t.shown = Join(shown, entry.name);
    if (entry.kind == Target::Kind::kNote) {
      t.error = t.shown + ": " + entry.error;
    } else {
      t.path = Join(directory.path, entry.name);
      t.name = std::move(entry.name);
    }
    entries.push_back(std::move(t));
  }
}

void CollectOperands(const Options& options, std::vector<Target>& targets, bool& with_name,
                     Skipped& skipped) {
  with_name = options.files.size() > 1;
  if (options.files.empty()) {
    if (options.recursive) {
      with_name = true;
      targets.push_back({Target::Kind::kDirectory, ".", "", 0, "", ""});
    } else {
      targets.push_back(StandardInput());
    }
    return;
  }
  for (const std::string& file : options.files) {
    if (file == "-") {
      targets.push_back(StandardInput());
      continue;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (ec || !fs::exists(status)) {
      const std::error_code why =
          ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory);
      targets.push_back(Note(file + ": " + why.message()));
    } else if (fs::is_directory(status)) {
      if (options.names.SkipsDirectoryOperand(file)) {
        skipped.Add(Skip::kExcluded);
      } else if (options.recursive) {
        with_name = true;
        targets.push_back({Target::Kind::kDirectory, file, file, 0, "", ""});
      } else {
        targets.push_back(Note(file + ": Is a directory", Skip::kNotRegular));
      }
    } else if (options.names.SkipsFileOperand(file)) {
      skipped.Add(Skip::kExcluded);
    } else {
      const bool regular = fs::is_regular_file(status);
      const std::uint64_t size = regular ? fs::file_size(file, ec) : 0;
      targets.push_back({Target::Kind::kFile, file, file, ec ? 0 : size, "", ""});
      targets.back().regular = regular;
    }
  }
}

}  // namespace kensaku::cli
