#include "mbchar/convert.h"

#include "mbchar/fold_tables.h"

namespace kensaku {

unsigned KatakanaToHiragana(unsigned c) {
  if (c < 0x8340 || c > 0x8393 || c == 0x837F) return c;
  return c < 0x837F ? c - 0xA1 : c - 0xA2;
}

unsigned HiraganaToKatakana(unsigned c) {
  if (c < 0x829F || c > 0x82F1) return c;
  return c <= 0x82DD ? c + 0xA1 : c + 0xA2;  // the katakana block skips 0x837F
}

unsigned ToLowerAscii(unsigned c) { return c >= 0x41 && c <= 0x5A ? c + 0x20 : c; }
unsigned ToUpperAscii(unsigned c) { return c >= 0x61 && c <= 0x7A ? c - 0x20 : c; }

unsigned ToFullWidth(unsigned c) {
  if (c >= 0x20 && c <= 0x7E) return FullWidthAsciiTable[c - 0x20];
  if (c >= 0xA1 && c <= 0xDF) return FullWidthKanaTable[c - 0xA1];
  return c;
}

unsigned ToHalfWidth(unsigned c) {
  if (c >= 0x8340 && c <= 0x8396) return c == 0x837F ? c : HalfWidthKanaTable[c - 0x8340];
  if (c >= 0x829F && c <= 0x82F1) return HalfWidthKanaTable[HiraganaToKatakana(c) - 0x8340];
  if (c <= 0x8396) {
    for (unsigned i = 0; i < 95; ++i) {
      if (FullWidthAsciiTable[i] == c) return 0x20 + i;
    }
    for (const HalfWidthPunctPair& pair : HalfWidthPunctTable) {
      if (pair.full == c) return pair.half;
    }
  }
  return c;
}

void NumericToHalf(MbChar& c) {
  if ((c.code >= 0x824F && c.code <= 0x8258) || InSet(c, NumericSymbolSet)) {
    c.code = static_cast<Code>(ToHalfWidth(c.code));
  }
}

int CharClass(MbChar c) {
  if (InSet(c, BlankSet) || (c.code >= 0x20 && c.code <= 0x7F)) return kClassBlankOrAscii;
  if (c.code >= 0xA0 && c.code <= 0xDF) return kClassHalfWidthKana;
  if (c.IsDouble()) return kClassDouble;
  return 0;
}

}  // namespace kensaku
