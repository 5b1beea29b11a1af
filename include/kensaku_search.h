/* kensaku_search.h: the reentrant search of libkensaku (since 1.1).
 *
 * Compile a query once; any number of threads may then search with it at once, each search an
 * object of its own. A search reads a file, a buffer, or bytes the caller feeds in pieces, and
 * hands out the selected lines as it finds them, in batches the caller pulls or through a
 * callback. Lines are never cut, and a query holds any number of patterns. Patterns are UTF-8
 * unless the options say Shift_JIS; texts are Shift_JIS, UTF-8, EUC-JP, UTF-16 or ISO-2022-JP,
 * told apart from their first bytes unless the options name one.
 *
 *     kensaku_error error;
 *     const char* patterns[] = {"検索"};
 *     kensaku_query_options options;
 *     kensaku_query_options_init(&options);
 *     options.fold = KENSAKU_FOLD_KANA_TO_KATAKANA;
 *     kensaku_query* query = kensaku_query_new(patterns, NULL, 1, &options, &error);
 *     kensaku_search* search = kensaku_search_file(query, "notes.txt", &error);
 *     kensaku_batch batch;
 *     int status;
 *     while ((status = kensaku_search_next(search, &batch)) == KENSAKU_HITS) { ... }
 *     kensaku_search_free(search);
 *     kensaku_query_free(query);
 *
 * Every function that can fail returns a negative KENSAKU_E_ code (or NULL) and, when given an
 * error, fills it with the code and a message. On Windows the 64-bit kensaku64.dll holds this
 * interface beside the 43 exports of kensaku.h; the 32-bit kensaku.dll keeps those 43 only.
 */
#ifndef KENSAKU_SEARCH_H_
#define KENSAKU_SEARCH_H_

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(KENSAKU_BUILDING)
#define KENSAKU_SEARCH_API __declspec(dllexport)
#else
#define KENSAKU_SEARCH_API __declspec(dllimport)
#endif
#elif defined(KENSAKU_BUILDING)
#define KENSAKU_SEARCH_API __attribute__((visibility("default")))
#else
#define KENSAKU_SEARCH_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The library's version: the one place it is written (the build, the packages and the Python
 * module take it from here). kensaku_version() gives the version of the library loaded. */
#define KENSAKU_VERSION_MAJOR 1
#define KENSAKU_VERSION_MINOR 1
#define KENSAKU_VERSION_PATCH 0

/* The fold flags, the bits of kensaku.h. Here they compare text as its readers see it: either
 * width flag ignores width and keeps voicing (ガ equals ｶﾞ, not カ), either case flag ignores the
 * case of every letter with one (ａ, Α, Я too), either kana flag joins every kana with its
 * partner (ゔ and ヴ too). Whatever the flags, a kana and a voicing mark after it are one
 * character (ｶﾞ, か + U+3099) and variation selectors are passed over. */
#ifndef KENSAKU_FOLD_KANA_TO_HIRAGANA
#define KENSAKU_FOLD_KANA_TO_HIRAGANA 0x01
#define KENSAKU_FOLD_KANA_TO_KATAKANA 0x02
#define KENSAKU_FOLD_TO_UPPER 0x04
#define KENSAKU_FOLD_TO_LOWER 0x08
#define KENSAKU_FOLD_TO_FULL_WIDTH 0x10
#define KENSAKU_FOLD_TO_HALF_WIDTH 0x20
#define KENSAKU_FOLD_NUMERIC 0x40
#endif
/* Old and variant kanji as their common form (髙 as 高, 﨑 as 崎, 邊 as 辺); this interface only. */
#define KENSAKU_FOLD_VARIANTS 0x80

/* How patterns are read. */
#define KENSAKU_KIND_PATTERN 0     /* the pattern language: . [a-z] x* #x @ ^ and escapes */
#define KENSAKU_KIND_CONJUNCTIVE 1 /* terms of the pattern language joined by &, in order */
#define KENSAKU_KIND_LITERAL 2     /* the text itself */
/* Regular expressions as RE2 and ripgrep read them (| ? * + {n,m} ( ) \d \p{Han} ...), every fold
   applied; linear time, no back-references or look-around. A build without RE2 answers
   KENSAKU_E_PATTERN "regular expressions are not in this build". */
#define KENSAKU_KIND_REGEX 3
/* Words of romaji (kensaku, tato), each found as the kana an input method types for it (in
   hiragana, katakana and half-width kana alike, the kana and width folds added) and as typed. */
#define KENSAKU_KIND_ROMAJI 4
/* Words of romaji joined by & (kensaku&tato), each found as ROMAJI finds it, all in this order,
   each after the end of the one before (after 1.1.0). */
#define KENSAKU_KIND_ROMAJI_CONJUNCTIVE 5

/* Encodings. AUTO tells a text's encoding from its first bytes. */
#define KENSAKU_ENCODING_AUTO 0
#define KENSAKU_ENCODING_SJIS 1
#define KENSAKU_ENCODING_UTF8 2
#define KENSAKU_ENCODING_EUC_JP 3
#define KENSAKU_ENCODING_UTF16LE 4
#define KENSAKU_ENCODING_UTF16BE 5
#define KENSAKU_ENCODING_ISO2022JP 6

/* Results of kensaku_search_next, and the error codes (negative). */
#define KENSAKU_DONE 0        /* the search has ended */
#define KENSAKU_HITS 1        /* the batch holds hits */
#define KENSAKU_MORE_INPUT 2  /* a fed search has no whole line left: feed it, or end it */
#define KENSAKU_E_ARGUMENT (-1) /* a null or out-of-range argument */
#define KENSAKU_E_PATTERN (-2)  /* a pattern that cannot be searched for (see the position) */
#define KENSAKU_E_OPEN (-3)     /* the file cannot be opened; the message gives the reason */
#define KENSAKU_E_READ (-4)     /* reading failed part way */
#define KENSAKU_E_MEMORY (-5)
#define KENSAKU_E_STATE (-6)    /* a call out of order, such as feeding a file search */

typedef struct kensaku_error {
  int code;             /* 0 when nothing went wrong */
  size_t pattern;       /* KENSAKU_E_PATTERN: which pattern, from 0 */
  size_t position;      /* KENSAKU_E_PATTERN: the byte of that pattern at fault */
  char message[256];    /* UTF-8, NUL-terminated */
} kensaku_error;

typedef struct kensaku_query_options {
  int kind;                 /* KENSAKU_KIND_ */
  unsigned fold;            /* KENSAKU_FOLD_ flags */
  int invert;               /* nonzero: select the lines no pattern matches */
  int64_t max_count;        /* stop after this many selected lines; negative: no limit */
  int encoding;             /* of the texts searched: KENSAKU_ENCODING_, AUTO by default */
  int pattern_encoding;     /* KENSAKU_ENCODING_UTF8 (the default) or KENSAKU_ENCODING_SJIS */
  int spans;                /* nonzero (the default): hits carry their matched parts */
} kensaku_query_options;

typedef struct kensaku_query kensaku_query;
typedef struct kensaku_search kensaku_search;

/* One selected line, valid until the next call on its search. */
typedef struct kensaku_hit {
  int64_t number;           /* 1-based */
  uint64_t offset;          /* of the line's first byte in the text's own bytes */
  const char* line;         /* the line without its LF, NUL-terminated */
  size_t length;            /* its bytes (a NUL inside included) */
  const uint64_t* spans;    /* start and end of each matched part, in pairs, byte offsets */
  size_t span_count;        /* pairs; none when inverted */
} kensaku_hit;

/* Hits in columns, so that a caller in another language takes each column at once. Hit i's
 * line is lines[line_ends[i-1], line_ends[i]) (from 0 for the first), its matched parts the
 * pairs spans[2 * span_ends[i-1], 2 * span_ends[i]). Valid until the next call on its search. */
typedef struct kensaku_batch {
  size_t count;
  const int64_t* numbers;
  const uint64_t* offsets;
  const char* lines;
  const uint64_t* line_ends;
  const uint64_t* spans;
  const uint64_t* span_ends;
} kensaku_batch;

/* The version of the library loaded, "MAJOR.MINOR.PATCH". */
KENSAKU_SEARCH_API const char* kensaku_version(void);

/* The defaults: the pattern language, no folding, all lines, encodings told apart, UTF-8
 * patterns, matched parts reported. */
KENSAKU_SEARCH_API void kensaku_query_options_init(kensaku_query_options* options);

/* Compiles count patterns (each lengths[i] bytes, or NUL-terminated when lengths is NULL) into
 * a query that is never changed again: any number of searches on any threads may use it at
 * once. A pattern is what it is: blanks and quotes count, and an empty pattern selects every
 * line (and then no matched parts are reported). NULL on failure: a pattern with a line break or a NUL, a UTF-8 pattern that is no UTF-8,
 * an unknown flag or kind. */
KENSAKU_SEARCH_API kensaku_query* kensaku_query_new(const char* const* patterns,
                                                     const size_t* lengths, size_t count,
                                                     const kensaku_query_options* options,
                                                     kensaku_error* error);

/* What a match must be bounded by, as the tool's -w and -x: nothing, no word character right
 * before or after it (ASCII and full-width letters and digits, and '_'), or the line's ends.
 * A bounded query selects a line only by a match so bounded (an empty pattern: where an empty
 * match is, as an empty line under LINE), and the spans of its hits and of kensaku_query_match
 * are those matches alone. */
#define KENSAKU_BOUND_NONE 0
#define KENSAKU_BOUND_WORD 1
#define KENSAKU_BOUND_LINE 2

/* kensaku_query_new with a bound, which it takes as KENSAKU_BOUND_NONE; an unknown bound is
 * KENSAKU_E_ARGUMENT (after 1.1.0). A function rather than flag bits in the options' kind:
 * callers allocate kensaku_query_options, so it cannot grow, kind stays one value, and a
 * program that needs the bound learns at link time, not at run time, that a library lacks it. */
KENSAKU_SEARCH_API kensaku_query* kensaku_query_new_bounded(const char* const* patterns,
                                                             const size_t* lengths, size_t count,
                                                             const kensaku_query_options* options,
                                                             int bound, kensaku_error* error);
KENSAKU_SEARCH_API void kensaku_query_free(kensaku_query* query);

/* A dictionary of readings and the words written for them (an SKK dictionary in EUC-JP, as
 * Debian's skkdic installs at /usr/share/skk/SKK-JISYO.L), through which the romaji kinds find
 * words written in kanji too (kensaku finds 検索). Read once; any number of queries on any
 * threads may be compiled with it at once, and it may be freed as soon as they are compiled.
 * NULL with KENSAKU_E_OPEN when the file cannot be opened or read or holds no entries (after
 * 1.1.0). */
typedef struct kensaku_dictionary kensaku_dictionary;
KENSAKU_SEARCH_API kensaku_dictionary* kensaku_dictionary_open(const char* path,
                                                               kensaku_error* error);
KENSAKU_SEARCH_API void kensaku_dictionary_free(kensaku_dictionary* dictionary);

/* kensaku_query_new_bounded with the dictionary the romaji kinds read, NULL for none (kana and
 * the words as typed only); the other kinds ignore it. kensaku_query_new and
 * kensaku_query_new_bounded read the file $KENSAKU_ROMAJI_DICT names, else
 * /usr/share/skk/SKK-JISYO.L, and none when it cannot be read (after 1.1.0). */
KENSAKU_SEARCH_API kensaku_query* kensaku_query_new_with(const char* const* patterns,
                                                          const size_t* lengths, size_t count,
                                                          const kensaku_query_options* options,
                                                          int bound,
                                                          const kensaku_dictionary* dictionary,
                                                          kensaku_error* error);

/* Whether the query selects one line (its bytes in the encoding, AUTO told from the line);
 * 1 or 0, or a negative code. With spans, up to max_spans matched parts are written there as
 * start and end pairs, and their number to *span_count. Inversion is not applied. */
KENSAKU_SEARCH_API int kensaku_query_match(const kensaku_query* query, const char* line,
                                           size_t length, int encoding, uint64_t* spans,
                                           size_t max_spans, size_t* span_count);

/* A search of a file (on Windows its name in the ANSI code page), of size bytes at data (which
 * must stay while the search lives), or of bytes fed with kensaku_search_feed. Nothing is read
 * until the first kensaku_search_next. */
KENSAKU_SEARCH_API kensaku_search* kensaku_search_file(const kensaku_query* query,
                                                       const char* path, kensaku_error* error);
KENSAKU_SEARCH_API kensaku_search* kensaku_search_buffer(const kensaku_query* query,
                                                         const void* data, size_t size,
                                                         kensaku_error* error);
KENSAKU_SEARCH_API kensaku_search* kensaku_search_stream(const kensaku_query* query,
                                                         kensaku_error* error);

/* Feeds size more bytes (copied) to a stream search; kensaku_search_end_input says there are no
 * more. 0, or a negative code. */
KENSAKU_SEARCH_API int kensaku_search_feed(kensaku_search* search, const void* data, size_t size);
KENSAKU_SEARCH_API int kensaku_search_end_input(kensaku_search* search);

/* Searches on until a batch of hits is ready, and returns KENSAKU_HITS with it; KENSAKU_DONE
 * at the end; KENSAKU_MORE_INPUT when a stream search has searched every whole line fed; or a
 * negative code (kensaku_search_error tells more). A batch is handed out once it holds many
 * hits, or once the search has read on a few megabytes past its first: the first hits of a
 * large file come before the file is read. */
KENSAKU_SEARCH_API int kensaku_search_next(kensaku_search* search, kensaku_batch* batch);

/* Runs the search to its end, calling hit for each selected line; a nonzero return from hit
 * ends it. KENSAKU_DONE, KENSAKU_MORE_INPUT (a stream search), or a negative code. */
typedef int (*kensaku_hit_callback)(void* context, const kensaku_hit* hit);
KENSAKU_SEARCH_API int kensaku_search_run(kensaku_search* search, kensaku_hit_callback hit,
                                          void* context);

/* What the search has found out: the encoding of the text (its lines are in that encoding,
 * except that UTF-16 and ISO-2022-JP are read as, and their lines given in, UTF-8; offsets are
 * always the text's own, spans those of the line as given),
 * the lines read so far, and the error that ended it (code 0 when none). */
KENSAKU_SEARCH_API int kensaku_search_encoding(const kensaku_search* search);
KENSAKU_SEARCH_API int64_t kensaku_search_lines(const kensaku_search* search);
KENSAKU_SEARCH_API void kensaku_search_error(const kensaku_search* search, kensaku_error* error);
KENSAKU_SEARCH_API void kensaku_search_free(kensaku_search* search);

/* The encoding of a text from its first bytes (complete: nonzero when they are all of it). */
KENSAKU_SEARCH_API int kensaku_detect_encoding(const void* data, size_t size, int complete);

/* The KENSAKU_ENCODING_ code of a name in any case: "auto", "sjis", "utf-8", "euc-jp",
 * "utf-16le", "utf-16be", "iso-2022-jp", or an alias ("cp932", "shift_jis", "ms932",
 * "windows-31j", "utf8", "eucjp", "jis", ...); KENSAKU_E_ARGUMENT for none (after 1.1.0). */
KENSAKU_SEARCH_API int kensaku_encoding_code(const char* name);
/* The name of a code, as listed above first; NULL for none (after 1.1.0). */
KENSAKU_SEARCH_API const char* kensaku_encoding_name(int code);

/* Folds a UTF-8 text under the fold flags, as a query compares it; writes at most capacity
 * bytes and a NUL, and returns the length of the whole result (or a negative code). Characters
 * Shift_JIS lacks are left as they are. */
KENSAKU_SEARCH_API int64_t kensaku_fold_utf8(const char* text, size_t length, unsigned fold,
                                             char* out, size_t capacity);

/* Turns text in an encoding into UTF-8 the same way (broken sequences as U+FFFD). */
KENSAKU_SEARCH_API int64_t kensaku_to_utf8(int encoding, const char* text, size_t length,
                                           char* out, size_t capacity);

#ifdef __cplusplus
}
#endif

#endif /* KENSAKU_SEARCH_H_ */
