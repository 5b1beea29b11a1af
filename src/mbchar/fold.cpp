#include "mbchar/fold.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include "mbchar/convert.h"

namespace kensaku {
namespace detail {
int g_fold_flags = 0;
int g_fold_map_key = -1;
Code g_fold_map[0x10000];

// Codes outside these two ranges are left alone by every step of Fold.
constexpr unsigned kSingleEnd = 0x100;
constexpr unsigned kWideBegin = 0x8140;
constexpr unsigned kWideEnd = 0x8397;

// The folds of the two ranges under one key, and (fold, character) for every character of them,
// sorted: who folds to what. Made once per key, since hosts switch FoldFlags back and forth.
struct RangeFolds {
  Code single[kSingleEnd];
  Code wide[kWideEnd - kWideBegin];
  std::vector<std::pair<Code, Code>> preimages;
};
const std::vector<std::pair<Code, Code>>* g_preimages = nullptr;

const RangeFolds& FoldsUnder(int key) {
  static std::unique_ptr<RangeFolds> made[kFoldBits + 1];
  std::unique_ptr<RangeFolds>& folds = made[key & kFoldBits];
  if (folds == nullptr) {
    folds = std::make_unique<RangeFolds>();
    for (unsigned c = 0; c < kSingleEnd; ++c) folds->single[c] = FoldCode(static_cast<Code>(c), key);
    for (unsigned c = kWideBegin; c < kWideEnd; ++c) {
      folds->wide[c - kWideBegin] = FoldCode(static_cast<Code>(c), key);
    }
    // Every fold of a code of these ranges lands in them again; every other code is its own.
    for (unsigned c = 1; c < kWideEnd; c = c + 1 == kSingleEnd ? kWideBegin : c + 1) {
      const Code f = c < kSingleEnd ? folds->single[c] : folds->wide[c - kWideBegin];
      if (c < kSingleEnd || IsDoubleCode(c)) folds->preimages.emplace_back(f, c);
    }
    std::sort(folds->preimages.begin(), folds->preimages.end());
  }
  return *folds;
}

void RebuildFoldMap(int key) {
  if (g_fold_map_key < 0) {
    for (unsigned c = 0; c < 0x10000; ++c) g_fold_map[c] = static_cast<Code>(c);
  }
  const RangeFolds& folds = FoldsUnder(key);
  std::copy(std::begin(folds.single), std::end(folds.single), g_fold_map);
  std::copy(std::begin(folds.wide), std::end(folds.wide), g_fold_map + kWideBegin);
  g_preimages = &folds.preimages;
  g_fold_map_key = key;
}
}  // namespace detail

std::vector<Code> FoldPreimages(Code folded) {
  FoldMap();
  std::vector<Code> codes;
  const bool in_ranges = folded < detail::kSingleEnd ||
                         (folded >= detail::kWideBegin && folded < detail::kWideEnd);
  if (!in_ranges) {
    if (IsDoubleCode(folded)) codes.push_back(folded);
    return codes;
  }
  const auto range = std::equal_range(detail::g_preimages->begin(), detail::g_preimages->end(),
                                      std::pair<Code, Code>(folded, 0),
                                      [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto it = range.first; it != range.second; ++it) codes.push_back(it->second);
  return codes;
}

bool FoldsFromItselfOnly(Code folded) {
  const std::vector<Code> codes = FoldPreimages(folded);
  return codes.size() == 1 && codes[0] == folded;
}

void ForEachPreimageIn(Code lo, Code hi, const std::function<void(Code)>& visit) {
  FoldMap();
  // Characters of the foldable ranges, by their folds...
  const auto& pairs = *detail::g_preimages;
  for (auto it = std::lower_bound(pairs.begin(), pairs.end(), std::pair<Code, Code>(lo, 0));
       it != pairs.end() && it->first <= hi; ++it) {
    visit(it->second);
  }
  // ...and every other character, which is its own fold.
  for (unsigned c = lo; c <= hi; ++c) {
    const bool in_ranges = c < detail::kSingleEnd || (c >= detail::kWideBegin && c < detail::kWideEnd);
    if (!in_ranges && IsDoubleCode(c)) visit(static_cast<Code>(c));
  }
}

int GetFoldFlags() { return detail::g_fold_flags; }
int SetFoldFlags(int flags) { return detail::g_fold_flags = flags; }
int OrFoldFlags(int flags) { return detail::g_fold_flags |= flags; }
int ResetFoldFlags(int flags) {
  if (flags != 0) detail::g_fold_flags &= ~flags;
  return detail::g_fold_flags;
}
void ClearFoldFlags() { detail::g_fold_flags = 0; }

Code FoldCode(Code code, int flags) {
  if (code == kNoneCode || flags == 0) return code;
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

bool InSetFolded(MbChar ch, const char* set) {
  if (ch.code == kNullCode || set == nullptr || *set == '\0') return false;
  const Code* fold = FoldMap();
  const Code target = fold[ch.code];
  for (const char* p = set; *p != '\0';) {
    const MbChar c = DecodeText(p);
    if (fold[c.code] == target) return true;
    p += c.ByteCount();
  }
  return false;
}

bool SeekCharFolded(MbChar ch, const char** cursor) {
  const Code* fold = FoldMap();
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

std::ostream& WriteChar(std::ostream& out, MbChar c) {
  const Code f = Fold(c).code;
  if (f == kNullCode) return out;
  if (!IsDoubleCode(f)) return out.put(static_cast<char>(f & 0xFF));
  const char bytes[2] = {static_cast<char>(f >> 8), static_cast<char>(f & 0xFF)};
  return out.write(bytes, 2);
}

}  // namespace kensaku
