// The single character conversions that folding is made of, and the character classes. Each
// conversion returns its argument when it does not apply.
#ifndef KENSAKU_SRC_MBCHAR_CONVERT_H_
#define KENSAKU_SRC_MBCHAR_CONVERT_H_

#include "mbchar/mbchar.h"

namespace kensaku {

unsigned KatakanaToHiragana(unsigned code);
unsigned HiraganaToKatakana(unsigned code);
unsigned ToLowerAscii(unsigned code);
unsigned ToUpperAscii(unsigned code);
unsigned ToFullWidth(unsigned code);
unsigned ToHalfWidth(unsigned code);

// Full-width digits and numeric symbols become ASCII, in place.
void NumericToHalf(MbChar& c);

inline constexpr int kClassBlankOrAscii = 0x7F01;
inline constexpr int kClassHalfWidthKana = 0x7F02;
inline constexpr int kClassDouble = 0x7F11;
int CharClass(MbChar c);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_CONVERT_H_
