// The search of every target: files searched and directories listed by a few workers, each
// taking a batch of nodes at a time, the output of each file gathered apart and written in file
// order in large blocks (the first file's as it grows). Progress on standard error.
#ifndef KENSAKU_TOOLS_CLI_SEARCH_H_
#define KENSAKU_TOOLS_CLI_SEARCH_H_

#include <functional>
#include <string>
#include <vector>

#include "files.h"
#include "patterns.h"
#include "printer.h"
#include "search/searcher.h"

namespace kensaku::cli {

struct SearchPlan {
  PrintConfig print;  // binary is set per file
  Selection selection;
  Binary binary = Binary::kBinary;
  bool encoding_auto = true;             // each file's encoding told by its bytes
  Encoding encoding = Encoding::kCp932;  // else every file's
  bool follow_links = false;             // -R: links met in a walked directory are followed
  NameFilter names;                      // what a walk passes over
  bool no_messages = false;
  int threads = 1;
  bool progress = false;  // standard error is a terminal
  int progress_delay_ms = 1000;
};

struct SearchResult {
  bool selected = false;  // some line was selected
  bool error = false;     // some file could not be read or written
};

// The operands in order, directories walked as they are reached. skipped: the operands passed
// over already, counted with those the walk passes over.
SearchResult SearchAll(const SearchPlan& plan, const Queries& queries,
                       const std::vector<Target>& operands, const Skipped& skipped = {});

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_SEARCH_H_
