// How the fuzz targets read their input: a settings byte, then texts separated by NUL bytes (the
// last runs to the end). Missing texts are empty.
#ifndef KENSAKU_FUZZ_FUZZ_INPUT_H_
#define KENSAKU_FUZZ_FUZZ_INPUT_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kensaku_fuzz {

struct Input {
  std::uint8_t settings = 0;
  std::vector<std::string> texts;
};

inline Input Split(const std::uint8_t* data, std::size_t size, std::size_t count) {
  Input in;
  in.texts.assign(count, std::string());
  if (size == 0) return in;
  in.settings = data[0];
  const char* p = reinterpret_cast<const char*>(data + 1);
  const char* const end = reinterpret_cast<const char*>(data + size);
  for (std::size_t i = 0; i < count && p <= end; ++i) {
    const char* q = p;
    while (q < end && (*q != '\0' || i + 1 == count)) ++q;
    in.texts[i].assign(p, q);
    p = q + 1;
  }
  return in;
}

// The fold flags the settings choose: the seven bits, so every combination is reached.
inline int FoldFlagsOf(std::uint8_t settings) { return settings & 0x7F; }

}  // namespace kensaku_fuzz

// A property the target holds: the condition is printed and the run stops on a finding.
#define CHECK(condition)                                      \
  do {                                                        \
    if (!(condition)) {                                       \
      std::fprintf(stderr, "check failed: %s\n", #condition); \
      __builtin_trap();                                       \
    }                                                         \
  } while (0)

#endif  // KENSAKU_FUZZ_FUZZ_INPUT_H_
