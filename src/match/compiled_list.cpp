#include "match/compiled_list.h"

#include "match/pattern_error.h"
#include "mbchar/internal_text.h"

#include <type_traits>

namespace kensaku {
namespace {

template <typename Entry>
std::vector<Entry> Compile(std::span<const char* const> patterns, const MatchOptions& options) {
  std::vector<Entry> entries;
  entries.reserve(patterns.size());
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    try {
      entries.emplace_back(patterns[i], options);
    } catch (PatternError& e) {
      e.set_pattern(i);
      throw;
    }
  }
  return entries;
}

CompiledList::Entries CompileAs(SearchKind kind, std::span<const char* const> patterns,
                                const MatchOptions& options, const ExtraChars* extras) {
  switch (kind) {
    case SearchKind::kRegex: {
      std::vector<LineRegex> entries;
      entries.reserve(patterns.size());
      for (std::size_t i = 0; i < patterns.size(); ++i) {
        try {
          entries.emplace_back(patterns[i], options, extras);
        } catch (PatternError& e) {
          e.set_pattern(i);
          throw;
        }
      }
      return entries;
    }
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
                           const MatchOptions& options, const ExtraChars* extras)
    : kind_(kind),
      entries_(CompileAs(kind, patterns, options, extras)),
      extras_(extras),
      reading_(ReadingOf(options.fold_flags)) {
  std::vector<const ByteFinder*> finders;
  std::visit(
      [&finders](const auto& entries) {
        for (const auto& e : entries) finders.push_back(&e.required());
      },
      entries_);
  prefilter_ = MakePrefilter(finders);
}

const Prefilter* CompiledList::prefilter(Encoding e) const {
  if (e == Encoding::kCp932) return prefilter_.get();
  // The stateful encodings are read as UTF-8.
  Encoded& encoded = encoded_[e == Encoding::kEucJp ? 1 : 0];
  const FormsIn in{e == Encoding::kEucJp ? Encoding::kEucJp : Encoding::kUtf8, extras_,
                   reading_.variants, reading_.case_fold};
  std::call_once(encoded.made, [&] {
    std::visit(
        [&](const auto& entries) {
          encoded.finders.reserve(entries.size());
          for (const auto& entry : entries) {
            bool whole = false;
            const std::size_t i = encoded.finders.size();
            ByteRuns runs = entry.RequiredIn(in, &whole);
            // A run the finder cuts short no longer tells a hit.
            for (const ByteSets& run : runs) whole = whole && run.size() <= kMaxRequiredSets;
            if (whole && i < 64 && in.encoding == Encoding::kUtf8) encoded.certain |= 1ull << i;
            encoded.forms.emplace_back();
            if constexpr (std::is_same_v<std::decay_t<decltype(entry)>, LineInclusion>) {
              std::size_t before = 0;
              // Its bytes begin where a hit begins: the first character compared leads the run.
              entry.pattern().RequiredBytes(&before, nullptr, in);
              if (!whole && before == 0 && i < 64 && in.encoding == Encoding::kUtf8 &&
                  entry.pattern().ComparedForms(in, encoded.forms.back())) {
                encoded.tellable |= 1ull << i;
              }
            }
            encoded.finders.emplace_back(std::move(runs), in.encoding);
          }
        },
        entries_);
    std::vector<const ByteFinder*> finders;
    for (const ByteFinder& f : encoded.finders) finders.push_back(&f);
    encoded.prefilter = MakePrefilter(finders, false);
  });
  return encoded.prefilter.get();
}

std::uint64_t CompiledList::TellableWhereFound(Encoding e) const {
  if (e == Encoding::kCp932 || e == Encoding::kEucJp || prefilter(e) == nullptr) return 0;
  return encoded_[0].tellable;
}

const std::vector<LiteralForms>& CompiledList::LiteralFormsIn(Encoding e) const {
  prefilter(e);
  return encoded_[e == Encoding::kEucJp ? 1 : 0].forms;
}

std::uint64_t CompiledList::CertainWhereFound(Encoding e) const {
  if (e == Encoding::kCp932 || e == Encoding::kEucJp || prefilter(e) == nullptr) return 0;
  return encoded_[0].certain;
}

}  // namespace kensaku
