/* The interface is plain C: this file includes kensaku.h as a C program and calls the library. */
#include <stdio.h>
#include <string.h>

#include "kensaku.h"

static int failures = 0;

static void check(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "failed: %s\n", what);
    ++failures;
  }
}

int main(void) {
  check(xSet(0xFFFF) == -1, "xSet sign-extends its 16-bit slot");
  check(xReSet(0) == -1, "xReSet(0) reads the flags");
  check(xSet(0) == 0, "xSet(0)");
  check(sjis("\x82\xA0") == 0x82A0, "sjis");
  check(jis("\x82\xA0") == 0x2422, "jis");
  check(isbytes("\x82\xA0") == 2, "isbytes");
  check(LinexMatch("abbbc", "ab*c") == 1, "LinexMatch");
  check(LinexMatchs("xaxb", "a&b") == 1, "LinexMatchs");
  check(LinexInc("abcabc", "ca") == 3, "LinexInc");
  check(LinexIncMult("abc", "c\r\na") == 3, "LinexIncMult");
  check(xIncMult("/nonexistent/kensaku", "a") == NULL, "xIncMult of a missing file");
  check(FileRemove(NULL) == 0, "FileRemove(NULL)");
  check(OutputMode(0) == 0 && LineMode(0) == 0, "modes");
  check(QViewNextIsOpen() == 1 && QView("t", "x") == 0, "no viewer without a window system");
  check(QInputMain() == NULL && QFindStart() == NULL, "no search box without a window system");
  if (failures == 0) printf("C interface: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
