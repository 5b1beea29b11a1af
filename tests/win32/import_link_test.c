/* Calls the DLL the way a program built against kensaku.h does: linked with an import library,
 * the DLL loaded with the program, no LoadLibraryA and no GetProcAddress of its own. Built twice
 * for each DLL, with libkensaku.dll.a and kensaku.lib (libkensaku64.dll.a and kensaku64.lib). */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "kensaku.h"
#include "kensaku_search.h"

static int failures = 0;

static void check(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "failed: %s\n", what);
    ++failures;
  }
}

int main(void) {
  HMODULE dll = GetModuleHandleA(KENSAKU_DLL_FILE);
  char path[MAX_PATH];
  const char* result;

  check(dll != NULL, "the DLL is loaded with the program");
  /* Every import is bound to the export of the same name (and ordinal). */
  check((void*)xSet == (void*)GetProcAddress(dll, "xSet"), "xSet bound by name");
  check((void*)LinexMatchsMult == (void*)GetProcAddress(dll, MAKEINTRESOURCEA(20)),
        "LinexMatchsMult bound to ordinal 20");
  check((void*)FoutputFormatStr == (void*)GetProcAddress(dll, MAKEINTRESOURCEA(27)),
        "FoutputFormatStr bound to ordinal 27");

#if defined(_WIN64)
  /* kensaku64.dll's import libraries bind the reentrant interface as well. */
  check((void*)kensaku_detect_encoding == (void*)GetProcAddress(dll, "kensaku_detect_encoding"),
        "kensaku_detect_encoding bound by name");
  check(kensaku_detect_encoding("\xEF\xBB\xBFx", 4, 1) == KENSAKU_ENCODING_UTF8 &&
            kensaku_detect_encoding("\x82\xA0", 2, 1) == KENSAKU_ENCODING_SJIS,
        "kensaku_detect_encoding");
#endif

  check(xSet(0xFFFF) == -1, "xSet sign-extends its 16-bit slot");
  check(xReSet(0) == -1, "xReSet(0) reads the flags");
  check(xSet(0) == 0, "xSet(0)");
  check(sjis("\x83\x5C") == 0x835C && isbytes("\x83\x5C") == 2, "character services");
  check(LinexMatch("abbbc", "ab*c") == 1 && LinexMatch("abc", "x") == 0, "LinexMatch");
  check(LinexIncMult("abc", "c\r\na") == 3, "LinexIncMult tries the entries in order");

  /* A file search and the library's result text. */
  GetTempPathA(sizeof path - 32, path);
  strcat(path, "kensaku_import_test.txt");
  FileRemove(path);
  check(FoutputStr(path, "ab\r\nba\r\nxaxb\r\n") != 0, "FoutputStr");
  OutputMode(1);
  LineMode(1);
  result = xMatchsMult(path, "a&b");
  check(result != NULL && strcmp(result, "    1 ab\r\n    3 xaxb\r\n") == 0, "xMatchsMult");
  OutputMode(0);
  LineMode(0);
  check(FileRemove(path) == 0, "FileRemove");

  if (failures == 0) printf("%s through its import library: all checks passed\n", KENSAKU_DLL_FILE);
  return failures == 0 ? 0 : 1;
}
