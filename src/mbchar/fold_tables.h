// The constant conversion tables and character sets behind Fold.
#ifndef KENSAKU_SRC_MBCHAR_FOLD_TABLES_H_
#define KENSAKU_SRC_MBCHAR_FOLD_TABLES_H_

#include <cstdint>

namespace kensaku {

// Full-width code of each ASCII character 0x20-0x7E, indexed by (character - 0x20).
extern const std::uint16_t FullWidthAsciiTable[95];

// Full-width code of each half-width katakana or punctuation byte 0xA1-0xDF, by (byte - 0xA1).
extern const std::uint16_t FullWidthKanaTable[63];

// Half-width byte of each full-width katakana code 0x8340-0x8396, by (code - 0x8340).
extern const std::uint8_t HalfWidthKanaTable[87];

// Japanese punctuation and their half-width bytes, searched in order.
struct HalfWidthPunctPair {
  std::uint16_t full;
  std::uint8_t half;
};
extern const HalfWidthPunctPair HalfWidthPunctTable[8];

// Full-width numeric symbols that FoldNumeric turns into ASCII.
extern const char NumericSymbolSet[];

// Ideographic space, space, CR, LF, TAB.
extern const char BlankSet[];

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_FOLD_TABLES_H_
