#include "mbchar/variants.h"

#include <algorithm>
#include <iterator>

#include "mbchar/encoding.h"

namespace kensaku {
namespace {

struct KanjiVariant {
  char32_t variant, common;
};

#include "variant_table.inc"

}  // namespace

char32_t CommonKanjiOf(char32_t u) {
  const auto end = std::end(kKanjiVariants);
  const auto it = std::lower_bound(std::begin(kKanjiVariants), end, u,
                                   [](const KanjiVariant& v, char32_t x) { return v.variant < x; });
  return it != end && it->variant == u ? it->common : u;
}

Code CommonKanjiOfCp932(Code code) {
  const char32_t u = UnicodeOfCp932(code);
  if (u == 0) return code;
  const char32_t common = CommonKanjiOf(u);
  if (common == u) return code;
  const Code c = Cp932OfUnicode(common);
  return c != 0 ? c : code;  // a common form outside code page 932 cannot stand in the text
}

const std::vector<char32_t>& VariantsLacking932(char32_t common) {
  static const std::vector<char32_t> kNone;
  static const std::vector<std::pair<char32_t, std::vector<char32_t>>> lacking = [] {
    std::vector<std::pair<char32_t, std::vector<char32_t>>> found;
    for (const KanjiVariant& v : kKanjiVariants) {
      if (Cp932OfUnicode(v.variant) != 0) continue;
      auto it = std::find_if(found.begin(), found.end(),
                             [&](const auto& entry) { return entry.first == v.common; });
      if (it == found.end()) it = found.insert(found.end(), {v.common, {}});
      it->second.push_back(v.variant);
    }
    return found;
  }();
  for (const auto& [c, variants] : lacking) {
    if (c == common) return variants;
  }
  return kNone;
}

}  // namespace kensaku
