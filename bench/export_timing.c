/* The file-search exports on one input, timed, for the shared library and the DLL alike (built
 * by each toolchain from this one file): best of three runs each, as MB/s of input, with the
 * count each export returned.
 *
 *   export_timing INPUT LIST_FILE OUTPUT
 *
 * LIST_FILE holds the 60-entry list, one entry a line, in Shift_JIS; OUTPUT is overwritten. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kensaku.h"
#include "now.h"

typedef int(KENSAKU_API* FileSearch)(const char*, const char*, const char*);

/* The list as the exports take it: entries joined by CR LF. */
static char* ReadList(const char* path) {
  FILE* f = fopen(path, "rb");
  char line[256];
  size_t used = 0, capacity = 1 << 16;
  char* list = malloc(capacity);
  if (f == NULL || list == NULL) return NULL;
  list[0] = '\0';
  while (fgets(line, sizeof line, f) != NULL) {
    size_t n = strcspn(line, "\r\n");
    if (n == 0 || used + n + 3 > capacity) continue;
    if (used > 0) {
      memcpy(list + used, "\r\n", 2);
      used += 2;
    }
    memcpy(list + used, line, n);
    used += n;
    list[used] = '\0';
  }
  fclose(f);
  return list;
}

static void Row(const char* name, FileSearch search, const char* input, const char* output,
                const char* list, double mb) {
  double best = 1e9;
  int count = 0;
  for (int run = 0; run < 3; ++run) {
    remove(output);
    const double start = Now();
    count = search(input, output, list);
    const double took = Now() - start;
    if (took < best) best = took;
  }
  printf("%-28s %8.0f MB/s   returned %d\n", name, mb / best, count);
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: export_timing INPUT LIST_FILE OUTPUT\n");
    return 2;
  }
  FILE* f = fopen(argv[1], "rb");
  if (f == NULL) return 1;
  fseek(f, 0, SEEK_END);
  const double mb = (double)ftell(f) / 1e6;
  fclose(f);
  char* list = ReadList(argv[2]);
  if (list == NULL) return 1;
  /* Linux, and shite iru in Shift_JIS. */
  Row("FileLinexIncMult Linux", FileLinexIncMult, argv[1], argv[3], "Linux", mb);
  Row("FileLinexIncMult shite iru", FileLinexIncMult, argv[1], argv[3],
      "\x82\xb5\x82\xc4\x82\xa2\x82\xe9", mb);
  Row("FileLinexIncMult 60", FileLinexIncMult, argv[1], argv[3], list, mb);
  Row("FileLinexMatchMult 60", FileLinexMatchMult, argv[1], argv[3], list, mb);
  Row("FileLinexMatchsMult 60", FileLinexMatchsMult, argv[1], argv[3], list, mb);
  remove(argv[3]);
  free(list);
  return 0;
}
