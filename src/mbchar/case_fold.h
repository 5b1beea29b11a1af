// Unicode's simple case folding, for letters code page 932's own fold table lacks (é and É,
// ς and Σ, Armenian, Cherokee), so that a case-blind search finds them in text of any
// encoding. The table is generated at build time by cmake/gen-case-table.py from Unicode's
// CaseFolding.txt; it folds one code point to one (ẞ to ß, while ß stays ß), so a fold never
// changes the length of text.
#ifndef KENSAKU_SRC_MBCHAR_CASE_FOLD_H_
#define KENSAKU_SRC_MBCHAR_CASE_FOLD_H_

#include <vector>

namespace kensaku {

// The simple case fold of u, or u itself. CaseFoldOf(CaseFoldOf(u)) is always CaseFoldOf(u).
char32_t CaseFoldOf(char32_t u);

// Every form a folded letter can take in text: each scalar whose CaseFoldOf is `folded`,
// `folded` among them, in ascending order (σ gives ς, σ, Σ). Empty when `folded` stands only
// for itself (a character without case, or a letter with no other case) and when it is no fold
// (A): a reference cannot be kept for every uncased scalar, and empty tells a caller there is
// nothing to widen.
const std::vector<char32_t>& CaseVariantsOf(char32_t folded);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_CASE_FOLD_H_
