// The single-line tests behind the Linex exports: one line against one pattern, or against each
// entry of a list text in order until one gives a result. Each call compiles its patterns under
// the fold flags it is given and keeps nothing.
#ifndef KENSAKU_SRC_MATCH_LINE_TESTS_H_
#define KENSAKU_SRC_MATCH_LINE_TESTS_H_

namespace kensaku {

// 1 or 0.
int LineHeadMatch(const char* line, const char* pattern, int fold_flags);  // from the line start
int LineMatch(const char* line, const char* pattern, int fold_flags);      // anywhere in the line
int LineMatchs(const char* line, const char* pattern, int fold_flags);     // a conjunctive pattern

// The 1-based byte position of the literal text, or 0; LineHeadInc only at the line start.
int LineHeadInc(const char* line, const char* text, int fold_flags);
int LineInc(const char* line, const char* text, int fold_flags);

// The list forms.
int LineMatchesList(const char* line, const char* list, int fold_flags);  // patterns
int LineMatchesConjunctiveList(const char* line, const char* list, int fold_flags);
int LineInclusionOfList(const char* line, const char* list, int fold_flags);  // a position

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_LINE_TESTS_H_
