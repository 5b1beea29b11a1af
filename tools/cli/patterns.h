// The tool's patterns: gathered from -e, -f and the operand, read into the library's internal form
// (Shift_JIS, with codes for the characters it lacks) and compiled into the queries of a search.
#ifndef KENSAKU_TOOLS_CLI_PATTERNS_H_
#define KENSAKU_TOOLS_CLI_PATTERNS_H_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "match/pattern_error.h"
#include "options.h"
#include "search/query.h"

namespace kensaku::cli {

// A list file larger than this is refused rather than read without end (-f /dev/zero).
inline constexpr std::size_t kMaxListFileBytes = 4u << 20;

// Reads a list file ("-": standard input) within the bound; false with "NAME: reason".
bool ReadListFile(const std::string& name, std::string& text, std::string& error);

// Every pattern as one line in the internal form, as typed, in order: -e texts and list files
// split at line breaks. Typed as UTF-8, a character Shift_JIS lacks is given a code in extras; taken as
// Shift_JIS, the bytes are the pattern.
// fold_flags: the flags to compare under (-E patterns that fold case with (?i) read letters code
// page 932 lacks case-folded).
bool CollectPatterns(const Options& options, std::vector<std::string>& patterns, ExtraChars& extras,
                     int& fold_flags, std::string& error);

// Whether a pattern in the internal form holds what only a regular expression means outside a
// set: '|', '?', '{', '(', '$', the escapes "\s", "\b", "\d", and the escaped '|', '?', '{', '('
// of basic ones. In the library's language each is a plain character, so such a pattern that
// finds nothing was likely meant for -E.
bool HoldsRegexSyntax(const std::string& pattern);

// The query of the patterns as they are, shared read-only by every search thread.
std::unique_ptr<Query> BuildQuery(const std::vector<std::string>& patterns, SearchKind kind,
                                  int fold_flags,
                                  std::shared_ptr<const ExtraChars> extras = nullptr);

// The queries of a search: one for text read into the internal form (every encoding but
// Shift_JIS), and one for Shift_JIS files read as they are, without the patterns that hold a
// character Shift_JIS lacks, which cannot occur there (the same query when there are none). An
// empty pattern selects every line, as in grep (Queries::every_line); with -x only the empty
// line, with -w a line where an empty match has no word character on either side.
using Queries = EncodingQueries;
// Throws PatternError for a pattern its syntax cannot read. With romaji, the patterns are words
// of romaji (QueryOptions::romaji).
Queries BuildQueries(const std::vector<std::string>& patterns, SearchKind kind, int fold_flags,
                     std::shared_ptr<const ExtraChars> extras, Bound bound = Bound::kNone,
                     bool romaji = false,
                     std::shared_ptr<const RomajiDictionary> dictionary = nullptr);

// What to tell the user of a pattern that could not be read: the pattern as typed, and the byte
// at fault in it.
std::string DescribePatternError(const PatternError& e, const std::vector<std::string>& patterns,
                                 const ExtraChars& extras);

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_PATTERNS_H_
