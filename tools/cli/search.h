// The search of every target: files searched in parallel, each into its own buffer, and the
// buffers written in file order (the first file's as it grows). Progress on standard error.
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
  bool no_messages = false;
  int threads = 1;
  bool progress = false;  // standard error is a terminal
  int progress_delay_ms = 1000;
};

struct SearchResult {
  bool selected = false;  // some line was selected
  bool error = false;     // some file could not be read or written
};

SearchResult SearchAll(const SearchPlan& plan, const Query& query,
                       const std::vector<Target>& targets);

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_SEARCH_H_
