// The tool's patterns: gathered from -e, -f and the operand, converted to Shift_JIS, and compiled
// in groups of at most 60 (the library's list size); a line is selected when any group selects it.
#ifndef KENSAKU_TOOLS_CLI_PATTERNS_H_
#define KENSAKU_TOOLS_CLI_PATTERNS_H_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "match/compiled_list.h"
#include "match/pattern_list.h"
#include "options.h"

namespace kensaku::cli {

// A list file larger than this is refused rather than read without end (-f /dev/zero).
inline constexpr std::size_t kMaxListFileBytes = 4u << 20;

// Reads a list file ("-": standard input) within the bound; false with "NAME: reason".
bool ReadListFile(const std::string& name, std::string& text, std::string& error);

// Every pattern as one Shift_JIS line, in order: -e texts and list files split at line breaks.
bool CollectPatterns(const Options& options, std::vector<std::string>& patterns,
                     std::string& error);

// A matched part of a line, as byte offsets.
struct Span {
  std::size_t start = 0, end = 0;
};

// The compiled groups, shared read-only by every search thread. Built under the FoldFlags in
// force, which must not change while it is in use; built on one thread (splitting lists uses
// the library's process-wide tokenizer).
class PatternGroups {
 public:
  bool Build(const std::vector<std::string>& patterns, SearchKind kind, std::string& error);

  std::size_t size() const { return lists_.size(); }
  const CompiledList& group(std::size_t i) const { return *lists_[i]; }

  // The library's verdict on one NUL-terminated line of length bytes.
  bool Selects(const char* line, std::size_t length) const;
  // Every matched part of the line in order, overlaps dropped (the leftmost, then the longest,
  // wins); zero-width matches are left out.
  void Matches(const char* line, std::size_t length, std::vector<Span>& spans) const;

 private:
  std::vector<std::unique_ptr<ListText>> texts_;
  std::vector<std::unique_ptr<CompiledList>> lists_;
};

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_PATTERNS_H_
