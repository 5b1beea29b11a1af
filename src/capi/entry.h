// What every export does on its way in and out: 16-bit argument slots read as the host passed
// them, and no exception let through to a caller that cannot catch it.
#ifndef KENSAKU_SRC_CAPI_ENTRY_H_
#define KENSAKU_SRC_CAPI_ENTRY_H_

#include <cstdint>

namespace kensaku::capi {

// A 16-bit argument from the low half of its 4-byte slot, sign-extended.
inline int Slot16(int slot) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(slot)); }

// The body's result, or the fallback when it throws.
template <typename F, typename R>
R Guard(F body, R fallback) noexcept {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

}  // namespace kensaku::capi

#endif  // KENSAKU_SRC_CAPI_ENTRY_H_
