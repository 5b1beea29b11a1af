#include "match/compiled_list.h"

namespace kensaku {
namespace {

template <typename Entry>
std::vector<Entry> Compile(std::span<const char* const> patterns, const MatchOptions& options) {
  std::vector<Entry> entries;
  entries.reserve(patterns.size());
  for (const char* text : patterns) entries.emplace_back(text, options);
  return entries;
}

CompiledList::Entries CompileAs(SearchKind kind, std::span<const char* const> patterns,
                                const MatchOptions& options) {
  switch (kind) {
    case SearchKind::kMatchs:
      return Compile<LineConjunctive>(patterns, options);
    case SearchKind::kInc:
      return Compile<LineInclusion>(patterns, options);
    case SearchKind::kMatch:
      break;
  }
  return Compile<LinePattern>(patterns, options);
}

}  // namespace

CompiledList::CompiledList(SearchKind kind, std::span<const char* const> patterns,
                           const MatchOptions& options)
    : kind_(kind), entries_(CompileAs(kind, patterns, options)) {
  std::vector<const ByteFinder*> finders;
  std::visit(
      [&finders](const auto& entries) {
        for (const auto& e : entries) finders.push_back(&e.required());
      },
      entries_);
  prefilter_ = MakePrefilter(finders);
}

}  // namespace kensaku
