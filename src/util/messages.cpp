#include "util/messages.h"

#include <cstring>

#include "frame/digits.h"
#include "util/format.h"

namespace kensaku {
namespace {

// "integer test": the Shift_JIS bytes of the caption.
const char kIntegerCaption[] = "\x90\xAE\x90\x94\x83\x65\x83\x58\x83\x67";
const char kTextCaptionFormat[] = "str @ =%x ";
const char kIntegerFormat[] = "integer =%d  =%x ";
constexpr std::size_t kMessageBufferSize = 64;

}  // namespace

int ShowText(const char* text) {
  char caption[kMessageBufferSize];
  const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(text);
  if constexpr (sizeof(address) <= sizeof(std::int32_t)) {
    const std::int32_t value = static_cast<std::int32_t>(address);
    FormatIntegers(caption, sizeof caption, kTextCaptionFormat, &value, 1);
  } else {
    // A 64-bit address does not fit the one 32-bit conversion: the same text, all digits.
    const std::size_t prefix = std::strlen("str @ =");
    std::memcpy(caption, kTextCaptionFormat, prefix);
    std::size_t k = prefix + WriteDigits(caption + prefix, address, 16);
    caption[k++] = ' ';
    caption[k] = '\0';
  }
  return ShowMessage(text != nullptr ? text : "", caption);
}

int ShowInteger(std::int32_t value) {
  char text[kMessageBufferSize];
  const std::int32_t values[2] = {value, value};
  FormatIntegers(text, sizeof text, kIntegerFormat, values, 2);
  return ShowMessage(text, kIntegerCaption);
}

}  // namespace kensaku
