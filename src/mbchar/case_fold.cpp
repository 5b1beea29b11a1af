#include "mbchar/case_fold.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace kensaku {
namespace {

struct CaseFold {
  char32_t from, to;
};

#include "case_table.inc"

using Variants = std::pair<char32_t, std::vector<char32_t>>;

// Each fold with every scalar that folds to it, by fold; built once from the table.
std::vector<Variants> InvertedFolds() {
  std::vector<Variants> inverted;
  for (const CaseFold& f : kCaseFolds) inverted.push_back({f.to, {f.to}});
  std::sort(inverted.begin(), inverted.end());
  inverted.erase(std::unique(inverted.begin(), inverted.end()), inverted.end());
  for (const CaseFold& f : kCaseFolds) {
    const auto it = std::lower_bound(inverted.begin(), inverted.end(), f.to,
                                     [](const Variants& v, char32_t x) { return v.first < x; });
    it->second.push_back(f.from);
  }
  for (Variants& v : inverted) std::sort(v.second.begin(), v.second.end());
  return inverted;
}

}  // namespace

char32_t CaseFoldOf(char32_t u) {
  const auto end = std::end(kCaseFolds);
  const auto it = std::lower_bound(std::begin(kCaseFolds), end, u,
                                   [](const CaseFold& f, char32_t x) { return f.from < x; });
  return it != end && it->from == u ? it->to : u;
}

const std::vector<char32_t>& CaseVariantsOf(char32_t folded) {
  static const std::vector<char32_t> kNone;
  static const std::vector<Variants> inverted = InvertedFolds();
  const auto it = std::lower_bound(inverted.begin(), inverted.end(), folded,
                                   [](const Variants& v, char32_t x) { return v.first < x; });
  return it != inverted.end() && it->first == folded ? it->second : kNone;
}

}  // namespace kensaku
