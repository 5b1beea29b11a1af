// The first place of one byte value in a run of bytes: memchr with the library's own vector
// code, since some C runtimes (the Windows one the DLL imports among them) look at one byte at a
// time, and the searches ask for line ends and NULs on every line.
#ifndef KENSAKU_SRC_FRAME_FIND_BYTE_H_
#define KENSAKU_SRC_FRAME_FIND_BYTE_H_

#include <cstddef>

namespace kensaku {

// The first of text[0, n) equal to c, or null.
const char* FindByte(const char* text, char c, std::size_t n);

inline const unsigned char* FindByte(const unsigned char* text, unsigned char c, std::size_t n) {
  return reinterpret_cast<const unsigned char*>(
      FindByte(reinterpret_cast<const char*>(text), static_cast<char>(c), n));
}

// The first c of the NUL-terminated text, or its NUL: strchrnul, and with c = NUL strlen. Blocks
// are read whole from an aligned address, which never crosses into another page, so bytes
// before text and past its NUL may be looked at, and are never used.
const char* FindByteOrEnd(const char* text, char c);

inline std::size_t TextBytes(const char* text) {
  return static_cast<std::size_t>(FindByteOrEnd(text, '\0') - text);
}

}  // namespace kensaku

#endif  // KENSAKU_SRC_FRAME_FIND_BYTE_H_
