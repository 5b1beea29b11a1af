/* kensaku: Japanese-aware text search for Shift_JIS (code page 932) text.
 *
 * The C interface of kensaku.dll, kensaku64.dll and libkensaku.so. Every text is a NUL-terminated
 * Shift_JIS byte string. On 32-bit Windows every function is __stdcall with 4-byte argument slots
 * (x64 has one calling convention; the exports keep their names and ordinals); arguments
 * documented as 16-bit are read from the low half of their slot and sign-extended, and 16-bit
 * results are returned zero-extended in an int. The ordinal of each export is given before it.
 * The library is not reentrant: call it from one thread at a time.
 */
#ifndef KENSAKU_H_
#define KENSAKU_H_

#include <stdint.h>

#if defined(_WIN32)
#define KENSAKU_API __stdcall
#if defined(KENSAKU_BUILDING)
#define KENSAKU_EXPORT /* exported by ordinal through kensaku.def */
#else
#define KENSAKU_EXPORT __declspec(dllimport)
#endif
#else
#define KENSAKU_API
#if defined(KENSAKU_BUILDING)
#define KENSAKU_EXPORT __attribute__((visibility("default")))
#else
#define KENSAKU_EXPORT
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Window handle and message parameters of the window exports, spelt without <windows.h>. */
typedef void* KensakuWindow;

/* Fold flags: which character differences comparisons ignore. */
#define KENSAKU_FOLD_KANA_TO_HIRAGANA 0x01
#define KENSAKU_FOLD_KANA_TO_KATAKANA 0x02
#define KENSAKU_FOLD_TO_UPPER 0x04
#define KENSAKU_FOLD_TO_LOWER 0x08
#define KENSAKU_FOLD_TO_FULL_WIDTH 0x10
#define KENSAKU_FOLD_TO_HALF_WIDTH 0x20
#define KENSAKU_FOLD_NUMERIC 0x40

/* Settings. Each takes a 16-bit value and returns the setting afterwards. */
/* 1 */ KENSAKU_EXPORT int KENSAKU_API xSet(int flags);
/* 2 */ KENSAKU_EXPORT int KENSAKU_API xSetor(int flags);
/* 3 */ KENSAKU_EXPORT int KENSAKU_API xReSet(int flags);
/* 9 */ KENSAKU_EXPORT int KENSAKU_API OutputMode(int mode);
/* 10 */ KENSAKU_EXPORT int KENSAKU_API LineMode(int mode);

/* Character services on the first character of a text (null accepted). */
/* 4 */ KENSAKU_EXPORT int KENSAKU_API sjis(const char* text);
/* 5 */ KENSAKU_EXPORT int KENSAKU_API jis(const char* text);
/* 6 */ KENSAKU_EXPORT int KENSAKU_API isbytes(const char* text);
/* 7 */ KENSAKU_EXPORT int KENSAKU_API xsjis(const char* text);
/* 8 */ KENSAKU_EXPORT int KENSAKU_API xisbytes(const char* text);

/* Single-line tests. */
/* 11 */ KENSAKU_EXPORT int KENSAKU_API LinexHeadinc(const char* line, const char* pattern);
/* 12 */ KENSAKU_EXPORT int KENSAKU_API LinexInc(const char* line, const char* pattern);
/* 13 */ KENSAKU_EXPORT int KENSAKU_API LinexIncMult(const char* line, const char* list);
/* 15 */ KENSAKU_EXPORT int KENSAKU_API LinexHeadMatch(const char* line, const char* pattern);
/* 16 */ KENSAKU_EXPORT int KENSAKU_API LinexMatch(const char* line, const char* pattern);
/* 17 */ KENSAKU_EXPORT int KENSAKU_API LinexMatchMult(const char* line, const char* list);
/* 19 */ KENSAKU_EXPORT int KENSAKU_API LinexMatchs(const char* line, const char* pattern);
/* 20 */ KENSAKU_EXPORT int KENSAKU_API LinexMatchsMult(const char* line, const char* list);

/* Whole-file searches: appended to an output file, or into the library's result text. */
/* 14 */ KENSAKU_EXPORT int KENSAKU_API FileLinexIncMult(const char* input, const char* output,
                                                         const char* list);
/* 18 */ KENSAKU_EXPORT int KENSAKU_API FileLinexMatchMult(const char* input, const char* output,
                                                           const char* list);
/* 21 */ KENSAKU_EXPORT int KENSAKU_API FileLinexMatchsMult(const char* input, const char* output,
                                                            const char* list);
/* 22 */ KENSAKU_EXPORT const char* KENSAKU_API xIncMult(const char* input, const char* list);
/* 23 */ KENSAKU_EXPORT const char* KENSAKU_API xMatchsMult(const char* input, const char* list);

/* File utilities. */
/* 24 */ KENSAKU_EXPORT int KENSAKU_API FileNoSize(const char* name);
/* 25 */ KENSAKU_EXPORT int KENSAKU_API FileRemove(const char* name);
/* 26 */ KENSAKU_EXPORT int KENSAKU_API FoutputStr(const char* name, const char* text);
/* 27 */ KENSAKU_EXPORT int KENSAKU_API FoutputFormatStr(const char* name, const char* format,
                                                         int value);

/* Program launch and debugging message boxes. */
/* 29 */ KENSAKU_EXPORT int KENSAKU_API OpenShell(const char* program, const char* arguments);
/* 30 */ KENSAKU_EXPORT int KENSAKU_API Msg(const char* text);
/* 31 */ KENSAKU_EXPORT int KENSAKU_API Msgi(int value);

/* Viewer windows and the search box. */
/* 28 */ KENSAKU_EXPORT int KENSAKU_API QFileView(const char* name);
/* 32 */ KENSAKU_EXPORT int KENSAKU_API QView(const char* title, const char* text);
/* 33 */ KENSAKU_EXPORT int KENSAKU_API QViewNextIsOpen(void);
/* 34 */ KENSAKU_EXPORT int KENSAKU_API QSelectionWinClose(void);
/* 35 */ KENSAKU_EXPORT intptr_t KENSAKU_API QSelectionProc(KensakuWindow window, unsigned message,
                                                            uintptr_t wparam, intptr_t lparam);
/* 36 */ KENSAKU_EXPORT intptr_t KENSAKU_API QViewWinsProc(KensakuWindow window, unsigned message,
                                                           uintptr_t wparam, intptr_t lparam);
/* 37 */ KENSAKU_EXPORT KensakuWindow KENSAKU_API QInputMain(void);
/* 38 */ KENSAKU_EXPORT KensakuWindow KENSAKU_API QInputSub(int show);
/* 39 */ KENSAKU_EXPORT int KENSAKU_API QFindData(const char* file, const char* patterns, int mode,
                                                  int flags);
/* 40 */ KENSAKU_EXPORT int KENSAKU_API QFileName(const char* file);
/* 41 */ KENSAKU_EXPORT KensakuWindow KENSAKU_API QFindStart(void);
/* 42 */ KENSAKU_EXPORT int KENSAKU_API QInputBoxIcon(void);
/* 43 */ KENSAKU_EXPORT int KENSAKU_API QInputBoxClose(void);

#ifdef __cplusplus
}
#endif

#endif /* KENSAKU_H_ */
