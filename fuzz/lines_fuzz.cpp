// The single-line exports and their list forms through the C interface, on arbitrary lines,
// patterns and list texts (60 entries and beyond, long entries, odd line ends): results stay
// in range, and a list of one entry answers as the entry does when nothing is folded.
// Input: settings, pattern or list, NUL, line.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "kensaku.h"

namespace {

bool IsBit(int r) { return r == 0 || r == 1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kensaku_fuzz::Input in = kensaku_fuzz::Split(data, size, 2);
  xSet(kensaku_fuzz::FoldFlagsOf(in.settings));
  const char* text = in.texts[0].c_str();
  const char* line = in.texts[1].c_str();
  const int length = static_cast<int>(std::strlen(line));

  if (!IsBit(LinexHeadMatch(line, text)) || !IsBit(LinexMatch(line, text)) ||
      !IsBit(LinexMatchs(line, text))) {
    std::abort();
  }
  const int head = LinexHeadinc(line, text), inc = LinexInc(line, text);
  if (!IsBit(head) || inc < 0 || inc > length) std::abort();
  if (!IsBit(LinexMatchMult(line, text)) || !IsBit(LinexMatchsMult(line, text))) std::abort();
  const int inc_mult = LinexIncMult(line, text);
  if (inc_mult < 0 || inc_mult > length) std::abort();

  // One ASCII entry that trimming leaves alone, unfolded: the list form is the single test. (A
  // lone lead byte at the end, say, is no character of a list entry.)
  bool one_entry = xSet(kensaku_fuzz::FoldFlagsOf(in.settings)) == 0 && *text != '\0' &&
                   std::strlen(text) < 32766 && std::strpbrk(text, "\r\n \t\b\"") == nullptr;
  for (const char* p = text; one_entry && *p != '\0'; ++p) one_entry = (*p & 0x80) == 0;
  if (one_entry) {
    if (LinexMatchMult(line, text) != LinexMatch(line, text)) std::abort();
    if (LinexIncMult(line, text) != LinexInc(line, text)) std::abort();
  }
  xSet(0);
  return 0;
}
