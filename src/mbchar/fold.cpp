#include "mbchar/fold.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

#include "mbchar/convert.h"
#include "mbchar/encoding.h"
#include "mbchar/fold_tables.h"
#include "mbchar/internal_text.h"
#include "mbchar/variants.h"

namespace kensaku {
namespace {

// Codes outside these two ranges are left alone by every step of Fold.
constexpr unsigned kSingleEnd = 0x100;
constexpr unsigned kWideBegin = 0x8140;
constexpr unsigned kWideEnd = 0x8397;

bool InFoldableRanges(unsigned c) { return c < kSingleEnd || (c >= kWideBegin && c < kWideEnd); }

}  // namespace

FoldTable::FoldTable(int flags) : flags_(flags), every_code_((flags & FoldAsRead) != 0) {
  if (flags == FoldAsRead) {
    // Only code page 932's twins fold: the compiler's table, whose pages a search touches only
    // where its text reads them.
    map_ = WrittenCp932Codes();
    for (const auto& [c, written] : Cp932Twins()) {
      preimages_.emplace_back(written, c);
      if (!targets_[written]) preimages_.emplace_back(written, written);
      targets_[written] = true;
    }
    std::sort(preimages_.begin(), preimages_.end());
    return;
  }
  own_.reset(new Code[0x10000]);
  Code* map = own_.get();
  map_ = map;
  for (unsigned c = 0; c < 0x10000; ++c) map[c] = static_cast<Code>(c);
  if (every_code_) {
    // The codes a text may hold, by lead and trail byte: every run of the tool starts here.
    std::vector<Code> codes;
    for (unsigned c = 1; c < 0x100; ++c) codes.push_back(static_cast<Code>(c));
    ForEachDoubleCode([&](Code c) { codes.push_back(c); });
    // Only the codes that fold to another, and those others: every other one is its own.
    std::vector<Code> targets;
    for (const Code c : codes) {
      map[c] = FoldCode(c, flags);
      if (map_[c] != c) {
        preimages_.emplace_back(map_[c], c);
        if (!targets_[map_[c]]) targets.push_back(map_[c]);
        targets_[map_[c]] = true;
      }
    }
    for (const Code t : targets) {
      if (map_[t] == t) preimages_.emplace_back(t, t);
    }
    std::sort(preimages_.begin(), preimages_.end());
    return;
  }
  for (unsigned c = 0; c < kWideEnd; c = c + 1 == kSingleEnd ? kWideBegin : c + 1) {
    map[c] = FoldCode(static_cast<Code>(c), flags);
  }
  // Every fold of a code of these ranges lands in them again; every other code is its own.
  for (unsigned c = 1; c < kWideEnd; c = c + 1 == kSingleEnd ? kWideBegin : c + 1) {
    if (c < kSingleEnd || IsDoubleCode(c)) preimages_.emplace_back(map_[c], static_cast<Code>(c));
  }
  std::sort(preimages_.begin(), preimages_.end());
}

const FoldTable& FoldTable::For(int flags) {
  // Made once per value, since hosts switch FoldFlags back and forth; published to readers on
  // other threads only when complete.
  static std::mutex making;
  static std::unique_ptr<FoldTable> made[kAllFoldBits + 1];
  static std::atomic<const FoldTable*> ready[kAllFoldBits + 1];
  const int key = flags & kAllFoldBits;
  if (const FoldTable* table = ready[key].load(std::memory_order_acquire)) return *table;
  const std::lock_guard<std::mutex> lock(making);
  if (made[key] == nullptr) {
    made[key].reset(new FoldTable(key));
    ready[key].store(made[key].get(), std::memory_order_release);
  }
  return *made[key];
}

std::vector<Code> FoldTable::Preimages(Code folded) const {
  std::vector<Code> codes;
  if (every_code_ && !targets_[folded]) {
    if (map_[folded] == folded && (IsDoubleCode(folded) || (folded > 0 && folded < 0x100))) {
      codes.push_back(folded);
    }
    return codes;
  }
  if (!every_code_ && !InFoldableRanges(folded)) {
    if (IsDoubleCode(folded)) codes.push_back(folded);
    return codes;
  }
  const auto range =
      std::equal_range(preimages_.begin(), preimages_.end(), std::pair<Code, Code>(folded, 0),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto it = range.first; it != range.second; ++it) codes.push_back(it->second);
  return codes;
}

bool FoldTable::FromItselfOnly(Code folded) const {
  const std::vector<Code> codes = Preimages(folded);
  return codes.size() == 1 && codes[0] == folded;
}

void FoldTable::ForEachPreimageIn(Code lo, Code hi, const std::function<void(Code)>& visit) const {
  // Characters of the foldable ranges, by their folds...
  for (auto it =
           std::lower_bound(preimages_.begin(), preimages_.end(), std::pair<Code, Code>(lo, 0));
       it != preimages_.end() && it->first <= hi; ++it) {
    visit(it->second);
  }
  // ...and every other character, which is its own fold.
  if (every_code_) {
    for (unsigned c = lo; c <= hi; ++c) {
      const bool valid = IsDoubleCode(c) || (c > 0 && c < 0x100);
      if (valid && !targets_[c] && map_[c] == c) visit(static_cast<Code>(c));
    }
    return;
  }
  for (unsigned c = lo; c <= hi; ++c) {
    if (!InFoldableRanges(c) && IsDoubleCode(c)) visit(static_cast<Code>(c));
  }
}

namespace {

// The width fold as read: half-width kana, joined ones included, and punctuation read as full
// width, keeping their voicing; full-width ASCII as ASCII.
unsigned WidthAsRead(unsigned c) {
  if (c >= 0xA1 && c <= 0xDF) return FullWidthKanaTable[c - 0xA1];
  if (const FixedKana* f = FixedKanaOf(static_cast<Code>(c)); f != nullptr && f->base < 0x100) {
    if (f->base == 0) return c;
    return JoinedKana(static_cast<Code>(FullWidthKanaTable[f->base - 0xA1]), f->semi);
  }
  if (c >= 0x8140 && c <= 0x8396) {
    for (unsigned i = 0; i < 95; ++i) {
      if (FullWidthAsciiTable[i] == c) return 0x20 + i;
    }
  }
  return c;
}

// Every letter with a case in code page 932, as its capital: Latin (ASCII and full width),
// Greek, Cyrillic and the Roman numerals.
unsigned UpperAsRead(unsigned c) {
  if (c < 0x80) return ToUpperAscii(c);
  const char32_t u = UnicodeOfCp932(static_cast<Code>(c));
  char32_t upper = 0;
  if ((u >= 0xFF41 && u <= 0xFF5A) || (u >= 0x3B1 && u <= 0x3C9 && u != 0x3C2) ||
      (u >= 0x430 && u <= 0x44F)) {
    upper = u - 0x20;
  } else if (u >= 0x2170 && u <= 0x217F) {
    upper = u - 0x10;
  } else if (u >= 0x450 && u <= 0x45F) {
    upper = u - 0x50;
  }
  const Code code = upper != 0 ? Cp932OfUnicode(upper) : 0;
  return code != 0 ? code : c;
}

// Hiragana and katakana partners, those code page 932 lacks included (fixed codes).
unsigned KanaAsRead(unsigned c, bool to_katakana) {
  static const std::pair<char32_t, char32_t> kPairs[] = {
      {0x3094, 0x30F4}, {0x3095, 0x30F5}, {0x3096, 0x30F6}};
  const Code code = static_cast<Code>(c);
  if (const FixedKana* f = FixedKanaOf(code); f != nullptr || (c >= 0x8394 && c <= 0x8396)) {
    // vu, small ka and ke, and wa-wo with the mark
    if (f != nullptr && f->unicode == 0 && f->base >= 0x829F && f->base <= 0x82F1) {
      return to_katakana ? JoinedKana(static_cast<Code>(HiraganaToKatakana(f->base)), f->semi) : c;
    }
    const char32_t u = f != nullptr ? f->unicode : UnicodeOfCp932(code);
    for (const auto& [hira, kata] : kPairs) {
      if (u == hira && to_katakana) return Cp932OfUnicode(kata);
      if (u == kata && !to_katakana) return FixedCodeOf(hira);
    }
    if (f != nullptr && u >= 0x30F7 && u <= 0x30FA && !to_katakana) {
      return JoinedKana(static_cast<Code>(KatakanaToHiragana(f->base)), false);
    }
    return c;
  }
  // the iteration marks
  if (c >= 0x8152 && c <= 0x8155) return to_katakana ? (c >= 0x8154 ? c - 2 : c) : (c < 0x8154 ? c + 2 : c);
  return to_katakana ? HiraganaToKatakana(c) : KatakanaToHiragana(c);
}

Code FoldAsReadCode(Code code, int flags) {
  unsigned c = code;
  // A character code page 932 has twice (NEC and IBM rows) reads as one.
  c = WrittenCp932(code);
  if (flags & FoldVariants) c = CommonKanjiOfCp932(static_cast<Code>(c));
  if (flags & (FoldToHalfWidth | FoldToFullWidth)) c = WidthAsRead(c);
  if (flags & (FoldToUpper | FoldToLower)) c = UpperAsRead(c);
  if (flags & (FoldKanaToHiragana | FoldKanaToKatakana)) {
    c = KanaAsRead(c, (flags & FoldKanaToKatakana) != 0);
  }
  MbChar result(static_cast<Code>(c));
  if (flags & FoldNumeric) NumericToHalf(result);
  return result.code;
}

}  // namespace

Code FoldCode(Code code, int flags) {
  if (code == kNoneCode || flags == 0) return code;
  if (flags & FoldAsRead) return FoldAsReadCode(code, flags);
  unsigned c = code;
  if ((flags & FoldToFullWidth) && !(flags & FoldToHalfWidth)) c = ToFullWidth(c);
  if (flags & FoldToHalfWidth) c = ToHalfWidth(c);
  if (!(flags & FoldToFullWidth)) {
    if ((flags & FoldToLower) && !(flags & FoldToUpper)) c = ToLowerAscii(c);
    if (flags & FoldToUpper) c = ToUpperAscii(c);
  }
  if ((flags & FoldKanaToHiragana) && !(flags & FoldKanaToKatakana)) c = KatakanaToHiragana(c);
  if (flags & FoldKanaToKatakana) c = HiraganaToKatakana(c);
  MbChar result(static_cast<Code>(c));
  if (flags & FoldNumeric) NumericToHalf(result);
  return result.code;
}

bool InSetFolded(MbChar ch, const char* set, const FoldTable& fold) {
  if (ch.code == kNullCode || set == nullptr || *set == '\0') return false;
  const Code target = fold[ch.code];
  for (const char* p = set; *p != '\0';) {
    const MbChar c = DecodeText(p);
    if (fold[c.code] == target) return true;
    p += c.ByteCount();
  }
  return false;
}

bool SeekCharFolded(MbChar ch, const char** cursor, const FoldTable& fold) {
  const Code target = fold[ch.code];
  if (target == kNullCode || cursor == nullptr || *cursor == nullptr || **cursor == '\0') {
    return false;
  }
  for (const char* p = *cursor; *p != '\0';) {
    const MbChar c = DecodeText(p);
    if (fold[c.code] == target) {
      *cursor = p;
      return true;
    }
    p += c.ByteCount();
  }
  return false;
}

std::ostream& WriteChar(std::ostream& out, MbChar c, const FoldTable& fold) {
  const Code f = fold[c.code];
  if (f == kNullCode) return out;
  if (!IsDoubleCode(f)) return out.put(static_cast<char>(f & 0xFF));
  const char bytes[2] = {static_cast<char>(f >> 8), static_cast<char>(f & 0xFF)};
  return out.write(bytes, 2);
}

}  // namespace kensaku
