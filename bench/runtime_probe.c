/* What the C runtime a build links costs on the paths a search takes, against what the library
 * does instead: memchr over a long run, strlen of hit-sized lines, and a 100-byte line appended
 * and flushed as the exports flush each whole-line hit (the runtime's append-mode stream against
 * one system write at the end of a file nobody else writes). Built by every preset, as the
 * export timing is, to tell a DLL's runtime and Wine from its code.
 *
 *   runtime_probe SCRATCH_FILE          (SCRATCH_FILE is overwritten, then removed) */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "now.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

/* Called through pointers, so that the compiler cannot put its own code in their place. */
typedef void* (*Memchr)(const void*, int, size_t);
typedef size_t (*Strlen)(const char*);
static Memchr volatile memchr_of_runtime = (Memchr)memchr;
static Strlen volatile strlen_of_runtime = strlen;

enum { kLines = 200000, kLine = 100 };

/* Seconds for kLines lines appended, each flushed at once. */
static double StreamAppend(const char* path, const char* line) {
  remove(path);
  FILE* f = fopen(path, "ab");
  if (f == NULL) return -1;
  const double start = Now();
  for (int i = 0; i < kLines; ++i) {
    fwrite(line, 1, kLine, f);
    fflush(f);
  }
  fclose(f);
  return Now() - start;
}

static double SystemAppend(const char* path, const char* line) {
  remove(path);
#ifdef _WIN32
  HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE) return -1;
  const double start = Now();
  for (int i = 0; i < kLines; ++i) {
    DWORD put;
    WriteFile(h, line, kLine, &put, NULL);
  }
  CloseHandle(h);
#else
  const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) return -1;
  const double start = Now();
  for (int i = 0; i < kLines; ++i) {
    if (write(fd, line, kLine) != kLine) break;
  }
  close(fd);
#endif
  return Now() - start;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: runtime_probe SCRATCH_FILE\n");
    return 2;
  }
  const size_t n = (size_t)64 << 20;
  char* block = malloc(n + 1);
  if (block == NULL) return 1;
  memset(block, 'x', n);
  block[n] = '\0';
  size_t sink = 0;  /* the results are used, so the calls are made */

  double start = Now();
  for (int r = 0; r < 4; ++r) sink += memchr_of_runtime(block, '\n', n) == NULL;
  printf("%-36s %8.0f MB/s\n", "memchr, 64 MB without the byte", 4 * n / 1e6 / (Now() - start));

  block[kLine] = '\0';
  start = Now();
  for (int r = 0; r < 1000000; ++r) sink += strlen_of_runtime(block + (r & 7));
  printf("%-36s %8.0f MB/s\n", "strlen, 100-byte lines", 1e6 * (kLine - 3.5) / 1e6 / (Now() - start));
  block[kLine - 1] = '\n';

  const double stream = StreamAppend(argv[1], block);
  const double system = SystemAppend(argv[1], block);
  printf("%-36s %8.2f us\n", "a line appended, stream and fflush", stream * 1e6 / kLines);
  printf("%-36s %8.2f us\n", "a line appended, one system write", system * 1e6 / kLines);
  remove(argv[1]);
  free(block);
  return sink == (size_t)-1;
}
