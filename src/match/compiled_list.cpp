#include "match/compiled_list.h"

namespace kensaku {
namespace {

template <typename Entry>
std::vector<Entry> Compile(const PatternList& list) {
  std::vector<Entry> entries;
  for (const char* text : list) {
    if (text == nullptr) break;
    entries.emplace_back(text);
  }
  return entries;
}

CompiledList::Entries CompileAs(SearchKind kind, const PatternList& list) {
  switch (kind) {
    case SearchKind::kMatchs:
      return Compile<LineConjunctive>(list);
    case SearchKind::kInc:
      return Compile<LineInclusion>(list);
    case SearchKind::kMatch:
      break;
  }
  return Compile<LinePattern>(list);
}

}  // namespace

CompiledList::CompiledList(SearchKind kind, const PatternList& list)
    : kind_(kind), entries_(CompileAs(kind, list)) {
  std::visit(
      [this](const auto& entries) {
        size_ = entries.size();
        for (const auto& e : entries) {
          if (e.required().empty()) {
            finders_.clear();
            return;
          }
          finders_.push_back(&e.required());
        }
      },
      entries_);
}

std::size_t CompiledList::FirstCandidate(const char* text, std::size_t n) const {
  for (const ByteFinder* f : finders_) n = f->Find(text, n);
  return n;
}

}  // namespace kensaku
