#include "mbchar/required_bytes.h"

#include <cstring>

#include "mbchar/fold.h"

namespace kensaku {

double detail::Selectivity(const ByteSets& sets) {
  double score = 0;
  for (const ByteSet& set : sets) {
    int n = 0;
    for (bool b : set) n += b;
    score += 1.0 / n;
  }
  return score;
}

void AddFirstBytesFoldingInto(Code lo, Code hi, FirstBytes& firsts) {
  ForEachPreimageIn(lo, hi, [&firsts](Code c) {
    const unsigned b = c > 0xFF ? c >> 8 : c;
    if (!firsts.bytes[b]) {
      firsts.bytes[b] = true;
      ++firsts.count;
      firsts.only = static_cast<int>(b);
    }
  });
  if (firsts.count != 1) firsts.only = -1;
}

FirstBytes FirstBytesFoldingTo(Code folded) {
  FirstBytes firsts;
  AddFirstBytesFoldingInto(folded, folded, firsts);
  return firsts;
}

const char* NextCharStartIn(const char* from, const FirstBytes& firsts) {
  const auto* p = reinterpret_cast<const unsigned char*>(from);
  for (;;) {
    const unsigned char* k;
    if (firsts.only > 0) {
      k = reinterpret_cast<const unsigned char*>(
          std::strchr(reinterpret_cast<const char*>(p), firsts.only));
      if (k == nullptr) {
        k = p + std::strlen(reinterpret_cast<const char*>(p));
      }
    } else {
      k = p;
      while (*k != 0 && !firsts.bytes[*k]) ++k;
    }
    if (*k == 0) return reinterpret_cast<const char*>(k);
    const unsigned char* q = k;
    while (q > p && IsLeadByte(q[-1])) --q;
    while (q < k) q += CharLength(reinterpret_cast<const char*>(q));
    if (q == k) return reinterpret_cast<const char*>(k);
    p = q;  // the byte found was the trail byte of the character before it
  }
}

bool AppendPreimageBytes(Code folded, ByteSets& bytes) {
  const std::vector<Code> codes = FoldPreimages(folded);
  if (codes.empty()) return false;
  const bool wide = codes[0] > 0xFF;
  for (Code c : codes) {
    if ((c > 0xFF) != wide) return false;
  }
  ByteSet first{}, second{};
  for (Code c : codes) {
    if (wide) {
      first[c >> 8] = true;
      second[c & 0xFF] = true;
    } else {
      first[c] = true;
    }
  }
  bytes.push_back(first);
  if (wide) bytes.push_back(second);
  return true;
}

}  // namespace kensaku
