// Variant kanji and the common forms people type: old forms (廣, 濱, 邊), variant forms (嶋 for
// 嶌, 崎 for 嵜) and the kanji of code page 932's extension rows (髙, 﨑 and the compatibility
// ideographs), so that an opt-in fold finds 髙橋 for 高橋. The table is generated at build time
// by cmake/gen-variant-table.py from kakasi's variant dictionary, Unicode's data and a short
// hand-checked list; it maps each variant straight to its final form.
#ifndef KENSAKU_SRC_MBCHAR_VARIANTS_H_
#define KENSAKU_SRC_MBCHAR_VARIANTS_H_

#include <vector>

#include "mbchar/mbchar.h"

namespace kensaku {

// The common form of a variant kanji, or u itself. CommonKanjiOf(CommonKanjiOf(u)) is always
// CommonKanjiOf(u). Which form of a pair is the common one is the sources' choice (kakasi reads
// 島 as 嶋): a fold that maps pattern and text alike finds either.
char32_t CommonKanjiOf(char32_t u);

// The code page 932 code of the common form of the character at `code`, when there is one and
// code page 932 holds it (as Cp932OfUnicode writes it); else `code` itself. The NEC-selected and
// the IBM code of a variant give the same code.
Code CommonKanjiOfCp932(Code code);

// The variants of a common form that code page 932 lacks (text in other encodings may hold them).
const std::vector<char32_t>& VariantsLacking932(char32_t common);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_VARIANTS_H_
