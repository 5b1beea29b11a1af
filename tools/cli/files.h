// The files a search reads: the operands in order, directories walked with -r (names sorted, so
// that output is the same from run to run), or standard input.
#ifndef KENSAKU_TOOLS_CLI_FILES_H_
#define KENSAKU_TOOLS_CLI_FILES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "options.h"

namespace kensaku::cli {

struct Target {
  std::string path;        // what to open
  std::string shown;       // the name printed
  std::uint64_t size = 0;  // 0 when unknown (standard input)
  std::string error;       // when set, only this message ("NAME: reason") is written
};

// With_name is set when names are printed by default: several operands or a walked directory.
void CollectTargets(const Options& options, std::vector<Target>& targets, bool& with_name);

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_FILES_H_
