#include "mbchar/fold.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

#include "mbchar/convert.h"

namespace kensaku {
namespace {

// Codes outside these two ranges are left alone by every step of Fold.
constexpr unsigned kSingleEnd = 0x100;
constexpr unsigned kWideBegin = 0x8140;
constexpr unsigned kWideEnd = 0x8397;

bool InFoldableRanges(unsigned c) { return c < kSingleEnd || (c >= kWideBegin && c < kWideEnd); }

}  // namespace

FoldTable::FoldTable(int flags) : flags_(flags) {
  for (unsigned c = 0; c < 0x10000; ++c) map_[c] = static_cast<Code>(c);
  for (unsigned c = 0; c < kWideEnd; c = c + 1 == kSingleEnd ? kWideBegin : c + 1) {
    map_[c] = FoldCode(static_cast<Code>(c), flags);
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
  static std::unique_ptr<FoldTable> made[kFoldBits + 1];
  static std::atomic<const FoldTable*> ready[kFoldBits + 1];
  const int key = flags & kFoldBits;
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
  if (!InFoldableRanges(folded)) {
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
  for (unsigned c = lo; c <= hi; ++c) {
    if (!InFoldableRanges(c) && IsDoubleCode(c)) visit(static_cast<Code>(c));
  }
}

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
