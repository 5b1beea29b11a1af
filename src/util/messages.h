// The host's debugging message boxes, and a look at its message queue that never waits.
#ifndef KENSAKU_SRC_UTIL_MESSAGES_H_
#define KENSAKU_SRC_UTIL_MESSAGES_H_

#include <cstdint>

namespace kensaku {

// Platform part: shows text under caption with an OK button; the button's identifier, 0 when no
// box was shown.
int ShowMessage(const char* text, const char* caption);

// The text under the caption "str @ =<its address in hex> ".
int ShowText(const char* text);
// "integer =<decimal>  =<hex> " under the caption "integer test" in Japanese.
int ShowInteger(std::int32_t value);

// Platform part: looks at the calling thread's message queue without waiting.
void PollHostMessages();

}  // namespace kensaku

#endif  // KENSAKU_SRC_UTIL_MESSAGES_H_
