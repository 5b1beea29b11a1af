// The single-line tests behind the Linex exports: one line against one pattern, or against each
// entry of a list text in order until one gives a result. Each call compiles its patterns under
// the FoldFlags in force and keeps nothing.
#ifndef KENSAKU_SRC_MATCH_LINE_TESTS_H_
#define KENSAKU_SRC_MATCH_LINE_TESTS_H_

namespace kensaku {

// 1 or 0.
int LineHeadMatch(const char* line, const char* pattern);  // the pattern from the line start
int LineMatch(const char* line, const char* pattern);      // anywhere in the line
int LineMatchs(const char* line, const char* pattern);     // a conjunctive pattern

// The 1-based byte position of the literal text, or 0; LineHeadInc only at the line start.
int LineHeadInc(const char* line, const char* text);
int LineInc(const char* line, const char* text);

// The list forms.
int LineMatchesList(const char* line, const char* list);             // patterns
int LineMatchesConjunctiveList(const char* line, const char* list);  // conjunctive patterns
int LineInclusionOfList(const char* line, const char* list);         // literal texts: a position

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_LINE_TESTS_H_
