/* Links against an installed kensaku and checks a few exports end to end. */
#include <stdio.h>

#include "kensaku.h"

int main(void) {
  int ok = sjis("\x82\xA0") == 0x82A0 && LinexMatch("abbbc", "ab*c") == 1 &&
           LinexMatchs("xaxb", "b&a") == 0;
  /* Folding to upper case makes the inclusion ignore case. */
  ok = ok && LinexInc("ABC", "b") == 0;
  xSet(KENSAKU_FOLD_TO_UPPER);
  ok = ok && LinexInc("ABC", "b") == 2;
  xSet(0);
  printf("kensaku consumer: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
