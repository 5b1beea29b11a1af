/* Seconds on a monotonic clock, for the plain C timing programs of every build. */
#ifndef KENSAKU_BENCH_NOW_H_
#define KENSAKU_BENCH_NOW_H_

#ifdef _WIN32
#include <windows.h>
static double Now(void) {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return (double)t.QuadPart / (double)f.QuadPart;
}
#else
#include <time.h>
static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}
#endif

#endif /* KENSAKU_BENCH_NOW_H_ */
