/* The interface is plain C: this file includes kensaku.h and kensaku_search.h as a C program and
 * calls the library. The reentrant search is run on generated text against a slow twin (every
 * line tried alone with kensaku_query_match), fed in pieces of every size, and from threads.
 * Also built for Windows, where kensaku64.dll holds the same interface and runs it under Wine. */
#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "kensaku.h"
#include "kensaku_search.h"

static int failures = 0;

static void check(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "failed: %s\n", what);
    ++failures;
  }
}

/* What a search selected, in one text: number, offset and spans of each hit, then its line. */
typedef struct {
  char* text;
  size_t size, capacity;
  int64_t hits, lines;
} found;

static void add(found* f, const void* bytes, size_t n) {
  if (f->size + n + 1 > f->capacity) {
    f->capacity = 2 * (f->size + n + 1);
    f->text = realloc(f->text, f->capacity);
  }
  memcpy(f->text + f->size, bytes, n);
  f->size += n;
}

static int note(void* context, const kensaku_hit* hit) {
  found* f = context;
  char head[64];
  size_t i;
  add(f, head, (size_t)snprintf(head, sizeof head, "%lld@%llu", (long long)hit->number,
                                (unsigned long long)hit->offset));
  for (i = 0; i < hit->span_count; ++i) {
    add(f, head, (size_t)snprintf(head, sizeof head, " %llu-%llu",
                                  (unsigned long long)hit->spans[2 * i],
                                  (unsigned long long)hit->spans[2 * i + 1]));
  }
  add(f, ":", 1);
  add(f, hit->line, hit->length);
  add(f, "\n", 1);
  ++f->hits;
  return 0;
}

/* Fed in pieces of `piece` bytes (0: the buffer whole). */
static found search_text(const kensaku_query* q, const char* text, size_t n, size_t piece) {
  found f = {0};
  kensaku_search* s = piece == 0 ? kensaku_search_buffer(q, text, n, NULL)
                                 : kensaku_search_stream(q, NULL);
  size_t at = 0;
  int status;
  while ((status = kensaku_search_run(s, note, &f)) == KENSAKU_MORE_INPUT) {
    size_t part = n - at < piece ? n - at : piece;
    if (part == 0) {
      kensaku_search_end_input(s);
    } else {
      kensaku_search_feed(s, text + at, part);
      at += part;
    }
  }
  check(status == KENSAKU_DONE, "a search ends DONE");
  f.lines = kensaku_search_lines(s);
  kensaku_search_free(s);
  add(&f, "", 1);
  return f;
}

/* The twin: each line alone. */
static found each_line(const kensaku_query* q, const char* text, size_t n, int encoding,
                       int invert) {
  found f = {0};
  size_t at = 0;
  int64_t number = 0;
  static uint64_t spans[2 * 8192];
  while (at < n) {
    const char* lf = memchr(text + at, '\n', n - at);
    size_t end = lf != NULL ? (size_t)(lf - text) : n;
    size_t count = 0;
    int hit = kensaku_query_match(q, text + at, end - at, encoding, spans, 8192, &count);
    ++number;
    if (hit != invert) {
      kensaku_hit h = {number, at, text + at, end - at, spans, invert ? 0 : count};
      note(&f, &h);
    }
    at = end + 1;
  }
  f.lines = number;
  add(&f, "", 1);
  return f;
}

/* Generated lines of ASCII, kana and kanji in Shift_JIS, some of them far longer than 4095. */
static char* generate(unsigned seed, size_t lines, size_t* n) {
  static const char* const pieces[] = {"abc", "ABC", " ", "\x83\x4A", "\x82\xA9", "\x8C\x9F",
                                       "\x8D\xF5", "\x82\x60", "1", "\x83\x5C", "x"};
  char* text = malloc(lines * 9000 + 5001);
  size_t at = 0, i;
  for (i = 0; i < lines; ++i) {
    seed = seed * 1103515245u + 12345u;
    if ((seed >> 16) % 13 == 0) { /* long, and holding no pattern's bytes */
      memset(text + at, 'y', 5000);
      at += 5000;
      text[at++] = '\n';
      continue;
    }
    size_t length = (seed >> 16) % 7 == 0 ? 2500 : (seed >> 16) % 40;
    while (length-- > 0) {
      seed = seed * 1103515245u + 12345u;
      const char* p = pieces[(seed >> 16) % 11];
      memcpy(text + at, p, strlen(p));
      at += strlen(p);
    }
    text[at++] = '\n';
  }
  *n = at - (seed & 1); /* sometimes no LF at the end */
  return text;
}

static kensaku_query* bounded(const char* pattern, int kind, unsigned fold, int invert,
                              int64_t max, int bound) {
  kensaku_query_options o;
  kensaku_query_options_init(&o);
  o.kind = kind;
  o.fold = fold;
  o.invert = invert;
  o.max_count = max;
  o.encoding = KENSAKU_ENCODING_SJIS;
  o.pattern_encoding = KENSAKU_ENCODING_SJIS;
  return kensaku_query_new_bounded(&pattern, NULL, 1, &o, bound, NULL);
}

static kensaku_query* query(const char* pattern, int kind, unsigned fold, int invert, int64_t max) {
  return bounded(pattern, kind, fold, invert, max, KENSAKU_BOUND_NONE);
}

static void check_equal(found a, found b, const char* what) {
  check(a.hits == b.hits && a.lines == b.lines && strcmp(a.text, b.text) == 0, what);
  if (strcmp(a.text, b.text) != 0 || a.lines != b.lines) {
    size_t i = 0;
    while (a.text[i] != '\0' && a.text[i] == b.text[i]) ++i;
    fprintf(stderr, "lines %lld/%lld hits %lld/%lld at %zu: %.80s\n--- %.80s\n", (long long)a.lines,
            (long long)b.lines, (long long)a.hits, (long long)b.hits, i, a.text + i, b.text + i);
  }
}

static void test_against_each_line(void) {
  static const struct {
    const char* pattern;
    int kind;
    unsigned fold;
    int bound;
  } rows[] = {
      {"abc", KENSAKU_KIND_LITERAL, 0, KENSAKU_BOUND_NONE},
      {"\x83\x4A\x8C\x9F", KENSAKU_KIND_LITERAL, KENSAKU_FOLD_KANA_TO_HIRAGANA, KENSAKU_BOUND_NONE},
      {"a[a-c]*C", KENSAKU_KIND_PATTERN, KENSAKU_FOLD_TO_UPPER, KENSAKU_BOUND_NONE},
      {"\x8C\x9F&x", KENSAKU_KIND_CONJUNCTIVE, 0, KENSAKU_BOUND_NONE},
      {"\x83\x5C", KENSAKU_KIND_PATTERN, KENSAKU_FOLD_TO_FULL_WIDTH, KENSAKU_BOUND_NONE},
      {"", KENSAKU_KIND_LITERAL, 0, KENSAKU_BOUND_NONE},
      {"abc", KENSAKU_KIND_LITERAL, KENSAKU_FOLD_TO_UPPER, KENSAKU_BOUND_WORD},
      {"[a-c ]*", KENSAKU_KIND_PATTERN, 0, KENSAKU_BOUND_LINE},
      {"(a|\x83\x4A)[b-c]+$", KENSAKU_KIND_REGEX, KENSAKU_FOLD_KANA_TO_HIRAGANA, KENSAKU_BOUND_NONE},
      {"\\p{Han}\\d?|x{2}", KENSAKU_KIND_REGEX, 0, KENSAKU_BOUND_WORD},
  };
  static const size_t pieces[] = {0, 1, 7, 4096, 1 << 20};
  size_t r, p, n;
  unsigned seed;
  for (seed = 1; seed <= 3; ++seed) {
    char* text = generate(seed, 300, &n);
    for (r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
      int invert;
      for (invert = 0; invert <= 1; ++invert) {
        kensaku_query* q =
            bounded(rows[r].pattern, rows[r].kind, rows[r].fold, invert, -1, rows[r].bound);
        found want = each_line(q, text, n, KENSAKU_ENCODING_SJIS, invert);
        for (p = 0; p < sizeof pieces / sizeof pieces[0]; ++p) {
          if (pieces[p] == 1 && seed > 1) continue; /* byte by byte is slow under the checkers */
          found got = search_text(q, text, n, pieces[p]);
          char what[128];
          snprintf(what, sizeof what, "seed %u row %zu invert %d pieces %zu", seed, r, invert,
                   pieces[p]);
          check_equal(got, want, what);
          free(got.text);
        }
        free(want.text);
        kensaku_query_free(q);
      }
    }
    free(text);
  }
}

static void test_errors_and_limits(void) {
  kensaku_error e;
  const char* bad[] = {"ok", "a\nb"};
  const char* broken = "ab\xFF";
  kensaku_query* q;
  check(kensaku_query_new(bad, NULL, 2, NULL, &e) == NULL && e.code == KENSAKU_E_PATTERN &&
            e.pattern == 1 && e.position == 1,
        "a line break in a pattern is refused with its place");
  check(kensaku_query_new(&broken, NULL, 1, NULL, &e) == NULL && e.code == KENSAKU_E_PATTERN &&
            e.position == 2,
        "a UTF-8 pattern that is no UTF-8 is refused with its place");
  {
    const char* regex[] = {"x", "\xE6\xA4\x9C(a"};  /* 検(a */
    kensaku_query_options o;
    kensaku_query_options_init(&o);
    o.kind = KENSAKU_KIND_REGEX;
    check(kensaku_query_new(regex, NULL, 2, &o, &e) == NULL && e.code == KENSAKU_E_PATTERN &&
              e.pattern == 1 && e.position == 3,
          "a regex that cannot be read is refused with its place in the UTF-8 given");
  }
  q = query("a", KENSAKU_KIND_LITERAL, 0x100, 0, -1);
  check(q == NULL, "an unknown fold flag is refused");
  check(kensaku_query_new_bounded(&broken, NULL, 0, NULL, 3, &e) == NULL &&
            e.code == KENSAKU_E_ARGUMENT &&
            kensaku_query_new_bounded(&broken, NULL, 0, NULL, -1, &e) == NULL &&
            e.code == KENSAKU_E_ARGUMENT,
        "an unknown bound is refused");
  { /* a bound selects by the bounded matches alone, and they are the spans */
    static const char text[] = "abc abcd\nabc\nxabc_abc\n abc\n\n";
    static const struct {
      const char* pattern;
      int bound;
      const char* want;
      int match; /* kensaku_query_match on "abc abcd", then one span: 0-3 */
    } rows[] = {
        {"abc", KENSAKU_BOUND_WORD, "1@0 0-3:abc abcd\n2@9 0-3:abc\n4@22 1-4: abc\n", 1},
        {"abc", KENSAKU_BOUND_LINE, "2@9 0-3:abc\n", 0},
        {"", KENSAKU_BOUND_LINE, "5@27:\n", 0},
    };
    size_t r;
    for (r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
      uint64_t spans[4];
      size_t count = 9;
      q = bounded(rows[r].pattern, KENSAKU_KIND_LITERAL, 0, 0, -1, rows[r].bound);
      found f = search_text(q, text, sizeof text - 1, 0);
      check(strcmp(f.text, rows[r].want) == 0, rows[r].want);
      free(f.text);
      check(kensaku_query_match(q, "abc abcd", 8, KENSAKU_ENCODING_SJIS, spans, 2, &count) ==
                    rows[r].match &&
                count == (size_t)rows[r].match && (count == 0 || (spans[0] == 0 && spans[1] == 3)),
            "kensaku_query_match keeps the bound");
      kensaku_query_free(q);
    }
  }
  q = query("a", KENSAKU_KIND_LITERAL, 0, 0, 2);
  check(kensaku_search_file(q, "/nonexistent/kensaku", &e) == NULL && e.code == KENSAKU_E_OPEN &&
            strstr(e.message, strerror(ENOENT)) != NULL,
        "a missing file says why");
  {
    kensaku_search* s = kensaku_search_buffer(q, "", 0, NULL);
    check(kensaku_search_feed(s, "a", 1) == KENSAKU_E_STATE, "only a stream search is fed");
    kensaku_search_free(s);
  }
  {
    found f = search_text(q, "a\nb\na\na\n", 8, 0);
    check(f.hits == 2 && strcmp(f.text, "1@0 0-1:a\n3@4 0-1:a\n") == 0, "max_count");
    free(f.text);
  }
  kensaku_query_free(q);
  { /* sparse hits: the first batch comes long before the end */
    size_t block = 4 + 9999 * 6, n = 700 * block, at;
    char* text = malloc(n);
    kensaku_batch batch;
    for (at = 0; at < n;) {
      memcpy(text + at, at % block == 0 ? "hit\n" : "other\n", at % block == 0 ? 4 : 6);
      at += at % block == 0 ? 4 : 6;
    }
    q = query("hit", KENSAKU_KIND_LITERAL, 0, 0, -1);
    kensaku_search* s = kensaku_search_buffer(q, text, n, NULL);
    check(kensaku_search_next(s, &batch) == KENSAKU_HITS && batch.numbers[0] == 1 &&
              kensaku_search_lines(s) < 700 * 10000 / 4,
          "the first hits come before the text is read");
    kensaku_search_free(s);
    kensaku_query_free(q);
    free(text);
  }
  { /* a 10 MB line with the hit at its end: one line, whole */
    size_t n = 10u << 20;
    char* text = malloc(n + 8);
    memset(text, 'x', n);
    memcpy(text + n, "END\nEND", 7);
    q = query("END", KENSAKU_KIND_LITERAL, 0, 0, -1);
    found f = search_text(q, text, n + 7, 65536);
    check(f.hits == 2 && f.lines == 2 && f.size > n, "a long line is one line");
    free(f.text);
    free(text);
    kensaku_query_free(q);
  }
}

/* Romaji through a dictionary the caller opens, none, or the one $KENSAKU_ROMAJI_DICT names. */
static void test_romaji(void) {
  static const char words[] =
      "\xA4\xB1\xA4\xF3\xA4\xB5\xA4\xAF /\xB8\xA1\xBA\xF7/\n" /* けんさく /検索/ */
      "\xA4\xBF\xA4\xC8 /\xCE\xE3/\n"                         /* たと /例/ */
      "\xA4\xAD /\xCC\xDA/\n\xA4\xD6\xA4\xA4 /V/\n"           /* き /木/, ぶい /V/ */
      "honor /\xA5\xAA\xA5\xCA\xA1\xBC/\nai /AI/\n"           /* honor /オナー/ */
      "\xA4\xB1\xA4\xF3 /\xB7\xEF/\n";                        /* けん /件/ */
  static const struct {
    const char* pattern;
    int kind;
    int with_dictionary;
    const char* line;
    int hit;
    uint64_t end; /* of the one span of a hit */
  } rows[] = {
      {"kensaku", KENSAKU_KIND_ROMAJI, 1, "\xE6\xA4\x9C\xE7\xB4\xA2", 1, 6}, /* 検索 */
      {"kensaku", KENSAKU_KIND_ROMAJI, 0, "\xE6\xA4\x9C\xE7\xB4\xA2", 0, 0},
      {"kensaku", KENSAKU_KIND_ROMAJI, 0, "\xEF\xBD\xB9\xEF\xBE\x9D\xE3\x81\x95\xE3\x81\x8F", 1,
       12}, /* ｹﾝさく */
      {"kensaku", KENSAKU_KIND_PATTERN, 1, "\xE6\xA4\x9C\xE7\xB4\xA2", 0, 0},
      /* one kana's words; words read in Latin letters; Latin words of two letters or more */
      {"ki", KENSAKU_KIND_ROMAJI, 1, "\xE6\x9C\xA8", 1, 3},
      {"hono", KENSAKU_KIND_ROMAJI, 1, "\xE3\x82\xAA\xE3\x83\x8A\xE3\x83\xBC", 1, 9},
      {"ai", KENSAKU_KIND_ROMAJI, 1, "AI", 1, 2},
      {"bui", KENSAKU_KIND_ROMAJI, 1, "V", 0, 0},
      /* a word and the kana after it at the longest reading with words: 検索する, not 件さくする */
      {"kensakusuru", KENSAKU_KIND_ROMAJI, 1, "\xE6\xA4\x9C\xE7\xB4\xA2\xE3\x81\x99\xE3\x82\x8B", 1,
       12},
      {"kensakusuru", KENSAKU_KIND_ROMAJI, 1,
       "\xE4\xBB\xB6\xE3\x81\x95\xE3\x81\x8F\xE3\x81\x99\xE3\x82\x8B", 0, 0},
      /* 例えば検索: both words, in order */
      {"tato&kensaku", KENSAKU_KIND_ROMAJI_CONJUNCTIVE, 1,
       "\xE4\xBE\x8B\xE3\x81\x88\xE3\x81\xB0\xE6\xA4\x9C\xE7\xB4\xA2", 1, 15},
      /* 検索の例: not in order */
      {"tato&kensaku", KENSAKU_KIND_ROMAJI_CONJUNCTIVE, 1,
       "\xE6\xA4\x9C\xE7\xB4\xA2\xE3\x81\xAE\xE4\xBE\x8B", 0, 0},
      /* タトケンサク: kana in another script, no dictionary */
      {"tato&kensaku", KENSAKU_KIND_ROMAJI_CONJUNCTIVE, 0,
       "\xE3\x82\xBF\xE3\x83\x88\xE3\x82\xB1\xE3\x83\xB3\xE3\x82\xB5\xE3\x82\xAF", 1, 18},
  };
  const char* path = "c_api_test.dict";
  const char* empty = "c_api_test.empty.dict";
  FILE* file = fopen(path, "wb");
  kensaku_error e;
  kensaku_dictionary* dictionary;
  kensaku_query_options o;
  size_t r;
  fwrite(words, 1, sizeof words - 1, file);
  fclose(file);
  fclose(fopen(empty, "wb"));
  dictionary = kensaku_dictionary_open(path, &e);
  check(dictionary != NULL && e.code == 0, "a dictionary opens");
  kensaku_query_options_init(&o);
  for (r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
    uint64_t spans[4] = {0};
    size_t count = 0;
    kensaku_query* q;
    o.kind = rows[r].kind;
    q = kensaku_query_new_with(&rows[r].pattern, NULL, 1, &o, KENSAKU_BOUND_NONE,
                               rows[r].with_dictionary ? dictionary : NULL, &e);
    check(q != NULL, rows[r].pattern);
    check(kensaku_query_match(q, rows[r].line, strlen(rows[r].line), KENSAKU_ENCODING_UTF8, spans,
                              2, &count) == rows[r].hit &&
              count == (size_t)rows[r].hit && (count == 0 || (spans[0] == 0 && spans[1] == rows[r].end)),
          "a romaji query finds its words, in order");
    kensaku_query_free(q);
  }
  { /* a compiled query keeps its words */
    kensaku_query* q = kensaku_query_new_with(&rows[0].pattern, NULL, 1, &o, KENSAKU_BOUND_NONE,
                                              dictionary, &e);
    kensaku_dictionary_free(dictionary);
    check(kensaku_query_match(q, rows[0].line, strlen(rows[0].line), KENSAKU_ENCODING_UTF8, NULL,
                              0, NULL) == 1,
          "a query outlives its dictionary");
    kensaku_query_free(q);
  }
  check(kensaku_dictionary_open("/nonexistent/kensaku-dict", &e) == NULL &&
            e.code == KENSAKU_E_OPEN && strstr(e.message, "/nonexistent/kensaku-dict") != NULL &&
            strstr(e.message, strerror(ENOENT)) != NULL,
        "a missing dictionary says which and why");
  check(kensaku_dictionary_open(empty, &e) == NULL && e.code == KENSAKU_E_OPEN &&
            strstr(e.message, "no entries") != NULL,
        "a file without entries is no dictionary");
  check(kensaku_dictionary_open(NULL, &e) == NULL && e.code == KENSAKU_E_ARGUMENT, "no path");
  kensaku_dictionary_free(NULL);
#ifndef _WIN32
  { /* kensaku_query_new reads the file the environment names */
    const char* pattern = "kensaku";
    kensaku_query* q;
    setenv("KENSAKU_ROMAJI_DICT", path, 1);
    o.kind = KENSAKU_KIND_ROMAJI;
    q = kensaku_query_new(&pattern, NULL, 1, &o, &e);
    check(kensaku_query_match(q, "\xE6\xA4\x9C\xE7\xB4\xA2", 6, KENSAKU_ENCODING_UTF8, NULL, 0,
                              NULL) == 1,
          "$KENSAKU_ROMAJI_DICT");
    kensaku_query_free(q);
    unsetenv("KENSAKU_ROMAJI_DICT");
  }
  { /* one that cannot be mapped (a pipe) is read */
    int fds[2];
    char name[64];
    kensaku_query* q = NULL;
    if (pipe(fds) == 0) {
      check(write(fds[1], words, sizeof words - 1) == (ssize_t)(sizeof words - 1), "a pipe");
      close(fds[1]);
      snprintf(name, sizeof name, "/proc/self/fd/%d", fds[0]);
      dictionary = kensaku_dictionary_open(name, &e);
      close(fds[0]);
      q = kensaku_query_new_with(&rows[0].pattern, NULL, 1, &o, KENSAKU_BOUND_NONE, dictionary, &e);
      kensaku_dictionary_free(dictionary);
    }
    check(q != NULL && kensaku_query_match(q, rows[0].line, strlen(rows[0].line),
                                           KENSAKU_ENCODING_UTF8, NULL, 0, NULL) == 1,
          "a dictionary read from a pipe");
    kensaku_query_free(q);
  }
#endif
  remove(path);
  remove(empty);
}

/* Patterns in UTF-8 find the same line in every encoding. */
static void test_encodings(void) {
  static const struct {
    int encoding;
    const char* text;
    size_t n;
  } rows[] = {
      {KENSAKU_ENCODING_SJIS, "x\n\x82\xA9\x83\x93\x8E\x9A\n", 9},
      {KENSAKU_ENCODING_UTF8, "x\n\xE3\x81\x8B\xE3\x83\xB3\xE5\xAD\x97\n", 12},
      {KENSAKU_ENCODING_EUC_JP, "x\n\xA4\xAB\xA5\xF3\xBB\xFA\n", 9},
      {KENSAKU_ENCODING_UTF16LE, "\xFF\xFEx\0\n\0\x4B\x30\xF3\x30\x57\x5B\n\0", 14},
  };
  const char* pattern = "\xE3\x81\x8B\xE3\x82\x93"; /* かん, folded to match カン */
  kensaku_query_options o;
  size_t r;
  kensaku_query_options_init(&o);
  o.fold = KENSAKU_FOLD_KANA_TO_HIRAGANA;
  kensaku_query* q = kensaku_query_new(&pattern, NULL, 1, &o, NULL);
  for (r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
    kensaku_search* s = kensaku_search_buffer(q, rows[r].text, rows[r].n, NULL);
    found f = {0};
    check(kensaku_search_run(s, note, &f) == KENSAKU_DONE && f.hits == 1, "found in each");
    check(kensaku_search_encoding(s) == rows[r].encoding, "the encoding told apart");
    kensaku_search_free(s);
    free(f.text);
  }
  kensaku_query_free(q);
  /* Mended: with UTF-8 asked for, a byte-order mark fed in pieces shorter than itself was read as
   * text, where the buffer leaves it out. */
  {
    static const char text[] = "\xEF\xBB\xBF\xE3\x82\xAB\xE3\x83\xB3\n"; /* カン */
    size_t piece;
    o.encoding = KENSAKU_ENCODING_UTF8;
    q = kensaku_query_new(&pattern, NULL, 1, &o, NULL);
    found whole = search_text(q, text, sizeof text - 1, 0);
    check(whole.hits == 1, "found after the mark");
    for (piece = 1; piece <= 4; ++piece) {
      found fed = search_text(q, text, sizeof text - 1, piece);
      check_equal(whole, fed, "a mark fed in pieces is left out");
      free(fed.text);
    }
    free(whole.text);
    kensaku_query_free(q);
  }
}

/* kensaku_to_utf8 gives UTF-8 whatever it is given: a broken sequence of any encoding as U+FFFD,
 * the stateful encodings' and UTF-8's own too. */
static void test_to_utf8(void) {
  static const struct {
    int encoding;
    const char* text;
    size_t n;
    const char* utf8;
  } rows[] = {
      {KENSAKU_ENCODING_SJIS, "a\xA0\x82\xA9", 4, "a\xEF\xBF\xBD\xE3\x81\x8B"},
      {KENSAKU_ENCODING_EUC_JP, "a\xA1" "b", 3, "a\xEF\xBF\xBD" "b"},
      {KENSAKU_ENCODING_UTF8, "a\xE3\x81" "b\xFF", 5, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD"},
      {KENSAKU_ENCODING_UTF16LE, "a\0\x00\xD8" "b\0", 6, "a\xEF\xBF\xBD" "b"},
      {KENSAKU_ENCODING_UTF16BE, "\0a\xDC\x00\0b\0", 7, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD"},
      {KENSAKU_ENCODING_ISO2022JP, "a\x80\x1B$B$+\x1B(B", 10, "a\xEF\xBF\xBD\xE3\x81\x8B"},
  };
  size_t r;
  for (r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
    char out[32];
    const int64_t n = kensaku_to_utf8(rows[r].encoding, rows[r].text, rows[r].n, out, sizeof out);
    check(n == (int64_t)strlen(rows[r].utf8) && strcmp(out, rows[r].utf8) == 0,
          "broken sequences as U+FFFD");
  }
}

/* The reentrant interface keeps the tool's rules, the exports their own: '.' and a negated set
 * take neither the end of the line nor a broken sequence there, and '^' alone matches every
 * line. */
static void test_rules(void) {
  static const struct {
    const char* pattern;
    const char* line;
    int encoding;
    int hit;   /* through kensaku_query_match */
    int linex; /* LinexMatch, on the same bytes */
  } rows[] = {
      {"a.", "a", KENSAKU_ENCODING_SJIS, 0, 1},
      {"a[^x]", "a", KENSAKU_ENCODING_SJIS, 0, 1},
      {"^", "abc", KENSAKU_ENCODING_SJIS, 1, 0},
      {"x. ", "x\x82 ", KENSAKU_ENCODING_SJIS, 0, 1},
      {"x.y", "x\x80y", KENSAKU_ENCODING_UTF8, 0, -1},
      {"x[^a]y", "x\x80y", KENSAKU_ENCODING_UTF8, 0, -1},
      {"x.y", "x\xE3\x81\x82y", KENSAKU_ENCODING_UTF8, 1, -1},
  };
  size_t r;
  for (r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
    kensaku_query* q = query(rows[r].pattern, KENSAKU_KIND_PATTERN, 0, 0, -1);
    size_t count = 0;
    check(kensaku_query_match(q, rows[r].line, strlen(rows[r].line), rows[r].encoding, NULL, 0,
                              &count) == rows[r].hit,
          rows[r].pattern);
    if (rows[r].linex >= 0) {
      check((LinexMatch(rows[r].line, rows[r].pattern) != 0) == rows[r].linex, "LinexMatch rules");
    }
    kensaku_query_free(q);
  }
}

/* One query, many threads: each search alone gives what it gives on one thread. */
struct job {
  const kensaku_query* q;
  const char* text;
  size_t n;
  const char* want;
};

static void* run_job(void* argument) {
  struct job* j = argument;
  int i, same = 1;
  for (i = 0; i < 5; ++i) {
    found f = search_text(j->q, j->text, j->n, i == 0 ? 0 : (size_t)(1000 * i));
    same = same && strcmp(f.text, j->want) == 0;
    free(f.text);
  }
  return same ? argument : NULL;
}

static void test_threads(void) {
  size_t n;
  char* text = generate(7, 400, &n);
  kensaku_query* q = query("\x83\x4A", KENSAKU_KIND_PATTERN, KENSAKU_FOLD_KANA_TO_KATAKANA, 0, -1);
  found want = search_text(q, text, n, 0);
  struct job j = {q, text, n, want.text};
  pthread_t threads[4];
  int t;
  for (t = 0; t < 4; ++t) pthread_create(&threads[t], NULL, run_job, &j);
  for (t = 0; t < 4; ++t) {
    void* result;
    pthread_join(threads[t], &result);
    check(result == &j, "a search on another thread finds the same");
  }
  check(want.hits > 0, "the threads' search finds something");
  free(want.text);
  free(text);
  kensaku_query_free(q);
}

int main(void) {
  char version[32];
  snprintf(version, sizeof version, "%d.%d.%d", KENSAKU_VERSION_MAJOR, KENSAKU_VERSION_MINOR,
           KENSAKU_VERSION_PATCH);
  check(strcmp(kensaku_version(), version) == 0, "version");
  test_against_each_line();
  test_errors_and_limits();
  test_encodings();
  test_romaji();
  test_to_utf8();
  test_rules();
  test_threads();
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
#ifndef _WIN32
  /* On Windows the windows are real, and the DLL's own test host drives them. */
  check(QViewNextIsOpen() == 1 && QView("t", "x") == 0, "no viewer without a window system");
  check(QInputMain() == NULL && QFindStart() == NULL, "no search box without a window system");
#endif
  if (failures == 0) printf("C interface: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
