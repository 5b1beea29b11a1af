// A fixed-capacity array of characters built from a text, so that characters can be addressed
// by index, blanked out, compared one for one and written back as bytes. Comparison and output go
// through Fold: an array compares and writes its characters folded, under the fold flags it was
// made with.
//
// Inside an array none (0xFFFF) ends the text and null (0) is an element that is present but
// ignored: "a", null, "b" compares equal to the array of "ab".
#ifndef KENSAKU_SRC_MBCHAR_CHAR_ARRAY_H_
#define KENSAKU_SRC_MBCHAR_CHAR_ARRAY_H_

#include <cstdint>
#include <istream>
#include <ostream>

#include "mbchar/fold.h"
#include "mbchar/mbchar.h"

namespace kensaku {

inline constexpr int MaxChars = 10878;  // capacity bound of every array

class CharArray {
 public:
  // n none elements; any capacity outside 1..MaxChars gives an empty array.
  explicit CharArray(int capacity, int fold_flags = 0);
  // Capacity TextCharCount(text), then Assign(text).
  explicit CharArray(const char* text, int fold_flags = 0);
  // Wraps caller storage as it is; the array does not own it.
  CharArray(MbChar* storage, int capacity, int fold_flags = 0);
  // The other's text, folded under its flags, without null elements, re-read from bytes.
  CharArray(const CharArray& other);
  CharArray& operator=(const CharArray&) = delete;
  ~CharArray();

  int count() const { return count_; }
  int fold_flags() const { return fold_->flags(); }
  bool owns() const { return owns_ != 0; }

  // Element i, or the spare (set to none) when i is out of range.
  MbChar& At(int i);
  MbChar At(int i) const;
  int Fill(Code code);
  CharArray& Assign(const char* text);
  int CountChars() const;
  int ByteLength() const;
  // Both compared under this array's flags.
  bool EqualsIgnoringNulls(const CharArray& other) const;
  std::ostream& WriteTo(std::ostream& out) const;

  // Further operations; each returns the byte count it wrote or read where it says so.
  int WriteFirst(std::ostream& out, int n) const;
  int WriteFrom(std::ostream& out, int position) const;
  int WriteRange(std::ostream& out, int position, int n) const;
  int WriteReversed(std::ostream& out) const;
  int WriteAscii(std::ostream& out) const;
  void ReadUntil(std::istream& in, const char* stop_set);
  void ReadClassified(std::istream& in, const char* stop_set);
  int ReadCount(std::istream& in, int n);
  std::istream& ReadWidth(std::istream& in);
  int IndexOf(MbChar ch) const;
  int IndexInRange(MbChar a, MbChar b) const;
  int TrimLeading();
  int TrimTrailing();
  void CopyNonNull(const CharArray& other);
  void FoldAll();
  bool StartsWith(const CharArray& other, int n) const;

 private:
  bool Allocate(int capacity);
  // Writes elements [from, to) up to the first none; returns the stored byte counts written.
  int WriteSpan(std::ostream& out, int from, int to) const;

  std::int16_t count_ = 0;
  std::uint16_t owns_ = 0;
  MbChar* elements_ = nullptr;
  const FoldTable* fold_;
  mutable MbChar spare_;
};

inline std::ostream& operator<<(std::ostream& out, const CharArray& a) { return a.WriteTo(out); }
inline std::istream& operator>>(std::istream& in, CharArray& a) { return a.ReadWidth(in); }

}  // namespace kensaku

#endif  // KENSAKU_SRC_MBCHAR_CHAR_ARRAY_H_
