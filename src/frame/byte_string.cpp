#include "frame/byte_string.h"

#include <cstring>
#include <new>

namespace kensaku {
namespace {

bool ValidCapacity(std::size_t n) { return n >= 1 && n <= kMaxByteString; }

}  // namespace

ByteString::ByteString(const char* text) {
  if (text == nullptr) return;
  const std::size_t n = std::strlen(text);
  if (Reset(ValidCapacity(n) ? static_cast<int>(n) : 0) != nullptr) std::memcpy(text_, text, n);
}

ByteString::ByteString(int capacity) { Reset(capacity); }

ByteString::ByteString(const ByteString& other) {
  if (other.text_ != nullptr && Reset(other.length_) != nullptr) {
    std::memcpy(text_, other.text_, std::strlen(other.text_));
  }
}

ByteString& ByteString::operator=(const ByteString& other) {
  if (&other != this) *this = other.text_;
  return *this;
}

ByteString& ByteString::operator=(const char* text) {
  if (text == nullptr) return *this;
  const std::size_t n = std::strlen(text);
  if (Reset(ValidCapacity(n) ? static_cast<int>(n) : 0) != nullptr) std::memcpy(text_, text, n);
  return *this;
}

ByteString::~ByteString() { Release(); }

void ByteString::Release() {
  delete[] text_;
  text_ = nullptr;
  length_ = 0;
}

char* ByteString::Reset(int capacity) {
  Release();
  if (capacity < 1 || capacity > kMaxByteString) return nullptr;
  text_ = new (std::nothrow) char[static_cast<std::size_t>(capacity) + 1]();
  if (text_ != nullptr) length_ = static_cast<std::int16_t>(capacity);
  return text_;
}

ByteString ByteString::Concatenate(const ByteString& a, const char* t) {
  const std::size_t na = a.text_ != nullptr ? std::strlen(a.text_) : 0;
  const std::size_t nt = t != nullptr ? std::strlen(t) : 0;
  ByteString joined;
  if (!ValidCapacity(na + nt) || joined.Reset(static_cast<int>(na + nt)) == nullptr) return joined;
  if (na != 0) std::memcpy(joined.text_, a.text_, na);
  if (nt != 0) std::memcpy(joined.text_ + na, t, nt);
  return joined;
}

std::ostream& operator<<(std::ostream& out, const ByteString& s) {
  if (s.text() != nullptr) out << s.text();
  return out;
}

}  // namespace kensaku
