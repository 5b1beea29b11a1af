#include "util/format.h"

#include <cstring>

#include "frame/digits.h"

namespace kensaku {
namespace {

struct Conversion {
  bool left = false;
  bool zero = false;
  std::size_t width = 0;
  std::size_t precision = 0;
  char type = 0;
  std::size_t length = 0;  // bytes of the format after the '%'
};

// Parses "[-][0][width][.precision][l]type" after a '%'; false for anything unsupported.
bool Parse(const char* f, Conversion& conv) {
  const char* p = f;
  if (*p == '-') {
    conv.left = true;
    ++p;
  }
  if (*p == '0') {
    conv.zero = true;
    ++p;
  }
  // wsprintfA reads any number of digits; capping keeps the count from wrapping.
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (conv.width < 100000) conv.width = conv.width * 10 + static_cast<std::size_t>(*p - '0');
  }
  if (*p == '.') {
    for (++p; *p >= '0' && *p <= '9'; ++p) {
      if (conv.precision < 100000) {
        conv.precision = conv.precision * 10 + static_cast<std::size_t>(*p - '0');
      }
    }
  }
  if (*p == 'l') ++p;
  switch (*p) {
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X':
    case 'c':
      conv.type = *p;
      conv.length = static_cast<std::size_t>(p - f) + 1;
      return true;
    default:
      return false;
  }
}

// Digits of the value, with a leading '-' for a negative signed conversion.
std::size_t Digits(const Conversion& conv, std::int32_t value, char* out) {
  const unsigned base = conv.type == 'x' || conv.type == 'X' ? 16 : 10;
  std::uint32_t v = static_cast<std::uint32_t>(value);
  std::size_t n = 0;
  if ((conv.type == 'd' || conv.type == 'i') && value < 0) {
    out[n++] = '-';
    v = 0u - v;
  }
  return n + WriteDigits(out + n, v, base, conv.type == 'X');
}

class Writer {
 public:
  Writer(char* out, std::size_t size) : out_(out), room_(size == 0 ? 0 : size - 1) {}
  std::size_t room() const { return room_; }
  void Put(char c) {
    if (room_ == 0) return;
    out_[n_++] = c;
    --room_;
  }
  void Repeat(char c, std::size_t count) {
    while (count-- > 0) Put(c);
  }
  std::size_t Finish() {
    out_[n_] = '\0';
    return n_;
  }

 private:
  char* out_;
  std::size_t room_;
  std::size_t n_ = 0;
};

void Convert(Conversion conv, std::int32_t value, Writer& w) {
  const std::size_t room = w.room();
  if (conv.left) conv.zero = false;
  if (conv.width > room) conv.width = room;
  if (conv.type == 'c') {
    if (!conv.left && conv.width > 1) w.Repeat(' ', conv.width - 1);
    w.Put(static_cast<char>(value));
    if (conv.left && conv.width > 1) w.Repeat(' ', conv.width - 1);
    return;
  }
  char number[16];
  std::size_t length = Digits(conv, value, number);
  if (length > room) length = room;
  // The precision counts the sign, as wsprintfA's does.
  std::size_t precision = conv.precision < length ? length : conv.precision;
  if (precision > room) precision = room;
  if (conv.zero && conv.width > precision) precision = conv.width;
  const std::size_t pad = conv.width > precision ? conv.width - precision : 0;
  if (!conv.left) w.Repeat(' ', pad);
  std::size_t sign = 0;
  if (number[0] == '-') {
    w.Put('-');
    sign = 1;
  }
  w.Repeat('0', precision - length);
  for (std::size_t i = sign; i < length; ++i) w.Put(number[i]);
  if (conv.left) w.Repeat(' ', pad);
}

}  // namespace

std::size_t FormatIntegers(char* out, std::size_t size, const char* format,
                           const std::int32_t* values, std::size_t count) {
  if (out == nullptr || size == 0) return 0;
  Writer w(out, size);
  std::size_t used = 0;
  for (const char* f = format; f != nullptr && *f != '\0' && w.room() > 0;) {
    if (*f != '%') {
      w.Put(*f++);
      continue;
    }
    if (f[1] == '%') {
      w.Put('%');
      f += 2;
      continue;
    }
    Conversion conv;
    if (used < count && Parse(f + 1, conv)) {
      Convert(conv, values[used++], w);
      f += 1 + conv.length;
    } else {
      w.Put(*f++);  // copied as it stands, one byte at a time
    }
  }
  return w.Finish();
}

}  // namespace kensaku
