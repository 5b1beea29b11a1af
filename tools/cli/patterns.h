// The tool's patterns: gathered from -e, -f and the operand, converted to Shift_JIS, and compiled
// into one query.
#ifndef KENSAKU_TOOLS_CLI_PATTERNS_H_
#define KENSAKU_TOOLS_CLI_PATTERNS_H_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "options.h"
#include "search/query.h"

namespace kensaku::cli {

// A list file larger than this is refused rather than read without end (-f /dev/zero).
inline constexpr std::size_t kMaxListFileBytes = 4u << 20;

// Reads a list file ("-": standard input) within the bound; false with "NAME: reason".
bool ReadListFile(const std::string& name, std::string& text, std::string& error);

// Every pattern as one Shift_JIS line, in order: -e texts and list files split at line breaks.
bool CollectPatterns(const Options& options, std::vector<std::string>& patterns,
                     std::string& error);

// The query of the patterns, shared read-only by every search thread. Each pattern is trimmed
// and folded as a line of the library's list texts is; those that trimming leaves empty are passed
// over. Null, with a message, when none is left.
std::unique_ptr<Query> BuildQuery(const std::vector<std::string>& patterns, SearchKind kind,
                                  int fold_flags, std::string& error);

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_PATTERNS_H_
