// The formatter on arbitrary formats: never more than the buffer, never a read past the format.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "util/format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  std::int32_t values[2];
  std::memcpy(&values[0], data, 4);
  values[1] = ~values[0];
  const std::string format(reinterpret_cast<const char*>(data + 4), size - 4);
  for (std::size_t buffer_size : {1u, 7u, 64u, 1024u}) {
    std::string out(buffer_size, '\x7F');
    const std::size_t n =
        kensaku::FormatIntegers(out.data(), buffer_size, format.c_str(), values, 2);
    if (n >= buffer_size || out[n] != '\0') std::abort();
  }
  return 0;
}
