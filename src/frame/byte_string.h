// ByteString: the small owning byte string that entry points use for every temporary text on the
// heap (a private copy of a caller's list text, a zero-filled work buffer, a joined command line).
// Its length is a signed 16-bit capacity: every capacity outside 1..32766 gives the empty string,
// which is how a ByteString reports failure.
#ifndef KENSAKU_SRC_FRAME_BYTE_STRING_H_
#define KENSAKU_SRC_FRAME_BYTE_STRING_H_

#include <cstdint>
#include <ostream>

namespace kensaku {

inline constexpr int kMaxByteString = 32766;

class ByteString {
 public:
  ByteString() = default;
  explicit ByteString(const char* text);
  explicit ByteString(int capacity);  // capacity + 1 zero bytes
  ByteString(const ByteString& other);
  ByteString& operator=(const ByteString& other);  // keeps this text when other is empty
  ByteString& operator=(const char* text);         // keeps this text when text is null
  ~ByteString();

  char* text() const { return text_; }
  std::int16_t length() const { return length_; }
  bool empty() const { return text_ == nullptr; }

  // Releases the buffer and makes a zero-filled one; returns it, or null when empty.
  char* Reset(int capacity);

  // a's text followed by t, in a buffer of exactly their combined length.
  static ByteString Concatenate(const ByteString& a, const char* t);

 private:
  void Release();

  std::int16_t length_ = 0;
  char* text_ = nullptr;
};

std::ostream& operator<<(std::ostream& out, const ByteString& s);

}  // namespace kensaku

#endif  // KENSAKU_SRC_FRAME_BYTE_STRING_H_
