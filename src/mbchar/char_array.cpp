#include "mbchar/char_array.h"

#include <new>
#include <string>

#include "mbchar/convert.h"
#include "mbchar/fold.h"
#include "mbchar/fold_tables.h"

namespace kensaku {

bool CharArray::Allocate(int capacity) {
  if (capacity < 1 || capacity > MaxChars) return false;
  elements_ = new (std::nothrow) MbChar[capacity];
  if (elements_ == nullptr) return false;
  count_ = static_cast<std::int16_t>(capacity);
  owns_ = 1;
  return true;
}

CharArray::CharArray(int capacity, int fold_flags) : fold_(&FoldTable::For(fold_flags)) {
  Allocate(capacity);
}

CharArray::CharArray(const char* text, int fold_flags) : fold_(&FoldTable::For(fold_flags)) {
  if (text != nullptr && Allocate(TextCharCount(text))) Assign(text);
}

CharArray::CharArray(MbChar* storage, int capacity, int fold_flags)
    : fold_(&FoldTable::For(fold_flags)) {
  if (storage != nullptr && capacity >= 1 && capacity <= MaxChars) {
    elements_ = storage;
    count_ = static_cast<std::int16_t>(capacity);
  }
}

CharArray::CharArray(const CharArray& other) : fold_(other.fold_) {
  const std::string bytes = FoldedBytes(other.elements_, other.elements_ + other.count_, *fold_);
  if (Allocate(TextCharCount(bytes.c_str()))) Assign(bytes.c_str());
}

CharArray::~CharArray() {
  if (owns_ && elements_ != nullptr) delete[] elements_;
  elements_ = nullptr;
  count_ = 0;
}

MbChar& CharArray::At(int i) {
  if (i >= 0 && i < count_) return elements_[i];
  spare_.code = kNoneCode;
  return spare_;
}

MbChar CharArray::At(int i) const {
  return i >= 0 && i < count_ ? elements_[i] : MbChar(kNoneCode);
}

int CharArray::Fill(Code code) {
  spare_.code = code;
  if (elements_ == nullptr) return 0;
  for (int i = 0; i < count_; ++i) elements_[i].code = code;
  return count_;
}

CharArray& CharArray::Assign(const char* text) {
  if (text == nullptr || elements_ == nullptr) return *this;
  Fill(kNoneCode);
  int i = 0;
  for (const char* p = text; *p != '\0' && i < count_; ++i) {
    elements_[i] = DecodeText(p);
    p += elements_[i].ByteCount();
  }
  return *this;
}

int CharArray::CountChars() const {
  int n = 0;
  for (int i = 0; i < count_ && elements_[i].code != kNoneCode; ++i) {
    if (!IsNullChar(elements_[i])) ++n;
  }
  return n;
}

int CharArray::ByteLength() const {
  int n = 0;
  for (int i = 0; i < count_ && elements_[i].code != kNoneCode; ++i) {
    if (!IsNullChar(elements_[i])) n += elements_[i].ByteCount();
  }
  return n;
}

bool CharArray::EqualsIgnoringNulls(const CharArray& other) const {
  // The other's text as written folded under this array's flags, and read back.
  const std::string bytes = FoldedBytes(other.elements_, other.elements_ + other.count_, *fold_);
  const CharArray copy(bytes.c_str(), fold_->flags());
  const Code* fold = fold_->map();
  int j = 0;
  bool result = true;
  for (int i = 0; result && i < count_; ++i) {
    const Code e = elements_[i].code;
    if (e == kNoneCode) break;
    if (e == kNullCode) continue;
    result = fold[copy.At(j).code] == fold[e];
    ++j;
  }
  return result && copy.At(j).code == kNoneCode;
}

std::ostream& CharArray::WriteTo(std::ostream& out) const {
  for (int i = 0; out.rdstate() == std::ios::goodbit && i < count_; ++i) {
    if (elements_[i].code == kNoneCode) break;
    if (!IsNullChar(elements_[i])) WriteChar(out, elements_[i], *fold_);
  }
  return out;
}

int CharArray::WriteSpan(std::ostream& out, int from, int to) const {
  int bytes = 0;
  if (from < 0) from = 0;
  if (to > count_) to = count_;
  for (int i = from; i < to && out.rdstate() == std::ios::goodbit; ++i) {
    if (elements_[i].code == kNoneCode) break;
    WriteChar(out, elements_[i], *fold_);
    bytes += IsNullChar(elements_[i]) ? 0 : elements_[i].ByteCount();
  }
  return bytes;
}

int CharArray::WriteFirst(std::ostream& out, int n) const { return WriteSpan(out, 0, n); }

int CharArray::WriteFrom(std::ostream& out, int position) const {
  return position < 1 ? 0 : WriteSpan(out, position - 1, count_);
}

int CharArray::WriteRange(std::ostream& out, int position, int n) const {
  return position < 1 || n < 1 ? 0 : WriteSpan(out, position - 1, position - 1 + n);
}

int CharArray::WriteReversed(std::ostream& out) const {
  int bytes = 0;
  for (int i = count_ - 1; i >= 0 && out.rdstate() == std::ios::goodbit; --i) {
    if (elements_[i].code == kNoneCode || IsNullChar(elements_[i])) continue;
    WriteChar(out, elements_[i], *fold_);
    bytes += elements_[i].ByteCount();
  }
  return bytes;
}

int CharArray::WriteAscii(std::ostream& out) const {
  int bytes = 0;
  for (int i = 0; i < count_ && out.rdstate() == std::ios::goodbit; ++i) {
    if (elements_[i].code == kNoneCode) break;
    if (elements_[i].code == kNullCode || elements_[i].code >= 0x80) continue;
    WriteChar(out, elements_[i], *fold_);
    ++bytes;
  }
  return bytes;
}

void CharArray::ReadUntil(std::istream& in, const char* stop_set) {
  for (int i = 0; i < count_ && in.good(); ++i) {
    ReadChar(in, elements_[i]);
    if (in.eof() || InSet(elements_[i], stop_set)) {
      elements_[i].code = kNoneCode;
      return;
    }
  }
}

void CharArray::ReadClassified(std::istream& in, const char* stop_set) {
  int i = 0;
  while (i < count_ && in.rdstate() == std::ios::goodbit) {
    MbChar c;
    ReadChar(in, c);
    if (in.fail() || in.bad() || InSet(c, stop_set)) {
      elements_[i].code = kNoneCode;
      return;
    }
    if (in.eof()) return;
    if (CharClass(c) != 0) elements_[i++] = c;
  }
}

int CharArray::ReadCount(std::istream& in, int n) {
  int bytes = 0;
  for (int i = 0; i < n && i < count_; ++i) {
    if (in.eof() || in.fail()) {
      elements_[i].code = kNoneCode;
      break;
    }
    ReadChar(in, elements_[i]);
    if (elements_[i].code != kNoneCode) bytes += elements_[i].ByteCount();
  }
  return bytes;
}

std::istream& CharArray::ReadWidth(std::istream& in) {
  Fill(kNoneCode);
  const std::streamsize width = in.width();
  long budget = width > 0 ? static_cast<long>(width) : 0x7FFF;
  for (int i = 0; i < count_ && in.good() && budget > 0; ++i) {
    ReadChar(in, elements_[i]);
    if (in.eof()) {
      elements_[i].code = kNoneCode;
      break;
    }
    budget -= elements_[i].ByteCount();
  }
  in.width(0);
  return in;
}

int CharArray::IndexOf(MbChar ch) const {
  for (int i = 0; i < count_; ++i) {
    if (elements_[i].code == ch.code) return i;
  }
  return -1;
}

int CharArray::IndexInRange(MbChar a, MbChar b) const {
  const Code lo = a.code < b.code ? a.code : b.code;
  const Code hi = a.code < b.code ? b.code : a.code;
  for (int i = 0; i < count_; ++i) {
    if (elements_[i].code >= lo && elements_[i].code <= hi) return i;
  }
  return -1;
}

int CharArray::TrimLeading() {
  int n = 0;
  for (int i = 0; i < count_ && InSet(elements_[i], BlankSet); ++i, ++n) {
    elements_[i].code = kNullCode;
  }
  return n;
}

int CharArray::TrimTrailing() {
  for (int i = count_ - 1; i >= 0; --i) {
    if (elements_[i].code != kNoneCode && !InSet(elements_[i], BlankSet)) return i;
    elements_[i].code = kNoneCode;
  }
  return -1;
}

void CharArray::CopyNonNull(const CharArray& other) {
  Fill(kNoneCode);
  int j = 0;
  for (int i = 0; i < other.count_ && j < count_; ++i) {
    const Code c = other.elements_[i].code;
    if (c == kNoneCode) break;
    if (c != kNullCode) elements_[j++].code = c;
  }
}

void CharArray::FoldAll() {
  const Code* fold = fold_->map();
  for (int i = 0; i < count_ && elements_[i].code != kNoneCode; ++i) {
    elements_[i].code = fold[elements_[i].code];
  }
}

bool CharArray::StartsWith(const CharArray& other, int n) const {
  if (n < 1) return false;
  const Code* fold = fold_->map();
  int j = 0;
  for (int i = 0; i < n && i < count_; ++i) {
    const Code e = elements_[i].code;
    if (e == kNoneCode) break;
    if (e == kNullCode) continue;
    if (fold[e] != fold[other.At(j).code]) return false;
    ++j;
  }
  return true;
}

}  // namespace kensaku
