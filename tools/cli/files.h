// The files a search reads: the operands in order, standard input when there are none, and with
// -r the entries of each directory met, in name order, so that output is the same from run to run.
// Directories are listed as the search reaches them, by whichever thread is free.
#ifndef KENSAKU_TOOLS_CLI_FILES_H_
#define KENSAKU_TOOLS_CLI_FILES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "options.h"
#include "stats.h"

namespace kensaku::cli {

struct Target {
  enum class Kind { kFile, kDirectory, kNote };
  Kind kind = Kind::kFile;
  std::string path;        // what to open
  std::string shown;       // the name printed
  std::uint64_t size = 0;  // an operand's size, when known (for the progress line)
  std::string error;       // kNote: the only message ("NAME: reason")
  std::string name;        // its name in the directory that lists it; empty for an operand
  bool standard_input = false;
  Skip skip = Skip::kUnreadable;  // kNote: why it is not searched
  bool regular = false;           // an operand found to be a regular file
};

// The operands as targets; with_name is set when names are printed by default (several operands,
// or a walked directory). Files and directories that options.names leaves out are passed over
// without a word, with or without -r, and counted in skipped; a name that does not exist is still
// an error.
void CollectOperands(const Options& options, std::vector<Target>& targets, bool& with_name,
                     Skipped& skipped);

// The entries of a directory in name order: directories and regular files, links only when
// followed (then as what they point to), other kinds passed over as grep passes them, and those
// that names leaves out passed over too, each of those counted in skipped; and a note in their
// place when the directory cannot be read. The directory's canonical path, when links
// are followed, goes to `canonical`, and a directory whose canonical path is one of `above` (a
// link back up the tree) is a note of a loop instead. The directory is opened relative to
// `parent`, an open directory's handle or -1; its own is left in `handle` (or -1) for its entries
// to be opened relative to, until CloseDirectory.
void ListDirectory(const Target& directory, std::intptr_t parent, bool follow,
                   const NameFilter& names, const std::vector<std::string>& above,
                   std::vector<Target>& entries, std::string& canonical, std::intptr_t& handle,
                   Skipped& skipped);

// One entry of a directory as the system lists it.
struct DirectoryEntry {
  std::string name;
  Target::Kind kind;  // kFile, kDirectory, or kNote for a followed link that cannot be looked up
  std::string error;  // kNote: why
  // Set for an entry that is not searched whatever its name: a link not followed, or neither a
  // regular file nor a directory.
  bool passed_over = false;
  Skip skip = Skip::kNotRegular;
};

// The platform's part (files_posix.cpp, files_win32.cpp): the entries of a directory in the
// system's order, as ListDirectory describes them; false, with the reason, when it cannot be
// read. POSIX keeps a descriptor of the directory open (a bounded number of them at once).
bool ReadDirectory(const std::string& path, const std::string& name, std::intptr_t parent,
                   bool follow, std::vector<DirectoryEntry>& entries, std::intptr_t& handle,
                   std::string& error);
void CloseDirectory(std::intptr_t handle);

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_FILES_H_
