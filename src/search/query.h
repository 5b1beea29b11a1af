// A compiled query: everything a search reads, made once from its patterns and options and then
// only read, so that any number of searches, on any threads, may use one query at once. It holds
// the entries of one kind compiled under its fold flags, in groups of at most 60 (each group a
// CompiledList with its own prefilter), and the output form the exports' hits are written in.
//
// Nothing here reads a process-wide setting: the exports turn theirs into QueryOptions when they
// compile a query, and other callers give their own.
#ifndef KENSAKU_SRC_SEARCH_QUERY_H_
#define KENSAKU_SRC_SEARCH_QUERY_H_

#include <cstddef>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "match/compiled_list.h"
#include "match/match_options.h"
#include "match/romaji_dict.h"
#include "mbchar/internal_text.h"

namespace kensaku {

// How the exports write hits (OutputMode and LineMode).
struct OutputForm {
  bool whole_lines = false;   // the whole line once, else every matched text
  bool line_numbers = false;  // whole lines prefixed with their number
};

// What a match must be bounded by: nothing, no word character on either side (ASCII and
// full-width letters and digits, and the underscore, so that kana around a match do not defeat
// it), or the line's ends.
enum class Bound : unsigned char { kNone, kWord, kLine };

struct QueryOptions {
  SearchKind kind = SearchKind::kMatch;
  MatchOptions match;  // the fold flags, and how scans trade attempts for the linear way
  OutputForm form;
  // The characters code page 932 lacks that the patterns were given codes for, when they were
  // made from Unicode text (mbchar/internal_text.h): text in other encodings reads them alike.
  std::shared_ptr<const ExtraChars> extras;
  // An empty entry, or '^' alone (a pattern or conjunctive one), was given and left out of the
  // entries: a search with a bound hits the lines where an empty match, anywhere or at the start,
  // is so bounded (CompileForEncodings sets them).
  bool empty_entry = false;
  bool start_entry = false;
  // The entries are words of romaji (CompileForEncodings): each is searched as the kana it is
  // typed for, in every script and width, and as typed.
  bool romaji = false;
  // Its words written in kanji are found too, with a dictionary.
  std::shared_ptr<const RomajiDictionary> dictionary;
  // The patterns are a regex written in the pattern language (CompileForEncodings), for code page
  // 932 text: a line that holds byte 0xEF, which as read stands for no character while the
  // pattern language's byte finders take it as a lead byte, is left to the regex.
  bool from_regex = false;
};

// A matched part of a line, as byte offsets.
struct LineSpan {
  std::size_t start = 0, end = 0;
  friend bool operator==(const LineSpan&, const LineSpan&) = default;
};

class Query {
 public:
  // Patterns as they are, NUL-terminated; any number of them.
  Query(std::span<const char* const> patterns, const QueryOptions& options);
  Query(const std::vector<std::string>& patterns, const QueryOptions& options);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  SearchKind kind() const { return kind_; }
  int fold_flags() const { return fold_flags_; }
  // Literal entries always report whole lines.
  const OutputForm& form() const { return form_; }
  std::size_t size() const { return size_; }  // entries in all groups
  const ExtraChars* extras() const { return extras_.get(); }
  bool empty_entry() const { return empty_entry_; }
  bool start_entry() const { return start_entry_; }
  // A regex written in the pattern language (QueryOptions::from_regex).
  bool from_regex() const { return from_regex_; }
  // As read, whether a combining mark in UTF-8 text may part the bytes of a match: some pattern
  // holds a joined kana, or a set (which may).
  bool joins() const { return joins_; }
  // As read, whether a mark in a line may change a hit its bytes tell (LineMatcher): some
  // pattern is no literal, ends with a kana a mark joins, or holds a mark.
  bool marks_touch() const { return marks_touch_; }
  // The same for code page 932 lines, where only half-width marks join (any kana under the
  // width fold, else half-width ones): a full-width joined kana in a literal counts only under
  // that fold, a half-width pair always; a pattern counts when it may take a mark, a kana it
  // joins or a joined one ([ァ-ヶ] does so only under the width fold).
  bool cp932_marks_touch() const { return cp932_marks_touch_; }
  // As read, whether some entry may take a joined kana's or mark's fixed code (Reading).
  bool takes_fixed() const { return takes_fixed_; }
  const std::vector<std::unique_ptr<CompiledList>>& groups() const { return groups_; }
  // Regex entries: one RE2 of them all for UTF-8 text as it is (Regex::direct_program), or null.
  const re2::RE2* direct() const;
  // The same found without RE2 where the one regex entry is a row of single characters
  // (Regex::direct_row), or null.
  const ScalarRow* direct_row() const { return direct_row_.get(); }
  // Whether every regex entry holds literals of two bytes or more (or of punctuation), whose byte
  // finders find the lines the direct program then reads; else it reads the whole text.
  bool direct_after_literals() const { return direct_after_literals_; }
  // Whether the direct program, where there is one, also finds in code page 932 text every line
  // that matches (Regex::ascii_only), though not only those.
  bool direct_finds_cp932() const { return direct_finds_cp932_; }
  // Else, one RE2 of them all for code page 932 text as it is (Regex::cp932_program), each
  // line read from its start; or null.
  const re2::RE2* direct_cp932() const;

  // Whether some entry hits a NUL-terminated line of `length` bytes (up to a NUL inside them).
  bool Selects(const char* line, std::size_t length) const;
  // Every matched part of such a line in order, overlaps dropped (the leftmost, then the longest,
  // wins); zero-width matches are left out.
  void MatchedParts(const char* line, std::size_t length, std::vector<LineSpan>& parts) const;

 private:
  SearchKind kind_;
  int fold_flags_;
  OutputForm form_;
  std::size_t size_;
  std::shared_ptr<const ExtraChars> extras_;
  bool empty_entry_;
  bool start_entry_;
  bool from_regex_;
  bool joins_ = false;
  bool marks_touch_ = false;
  bool cp932_marks_touch_ = false;
  bool takes_fixed_ = false;
  std::vector<std::unique_ptr<CompiledList>> groups_;
  std::string direct_program_;
  mutable std::once_flag direct_made_;
  mutable std::unique_ptr<re2::RE2> direct_;
  std::shared_ptr<const ScalarRow> direct_row_;
  bool direct_after_literals_ = false;
  bool direct_finds_cp932_ = false;
  std::string cp932_program_;
  mutable std::once_flag cp932_made_;
  mutable std::unique_ptr<re2::RE2> direct_cp932_;
};

// A query for texts in every encoding: `decoded` for lines read in the internal form, and `sjis`
// for code page 932 lines read as they are, without the entries that hold a character code
// page 932 lacks, which cannot occur there (the same query when none does).
struct EncodingQueries {
  std::shared_ptr<const Query> decoded;
  std::shared_ptr<const Query> sjis;
  // An empty entry, which every line holds: the queries then hold no entry, and a search
  // selects the lines they do not (its inversion turned over). Not with a bound, under which an
  // empty match holds where it is bounded (QueryOptions::empty_entry, start_entry).
  bool every_line = false;
  const Query& For(Encoding e) const { return e == Encoding::kCp932 ? *sjis : *decoded; }
};
// Entries in the internal form, with the characters code page 932 lacks in options.extras,
// compiled under MatchOptions::strict, the rules of every caller but the exports. `bound` is the
// one the searches will ask for: under a bound an empty entry does not select every line.
EncodingQueries CompileForEncodings(std::vector<std::string> entries, const QueryOptions& options,
                                    Bound bound = Bound::kNone);

// Where a NUL ends a line of length bytes for matching: the one rule for every search.
std::size_t TextLength(const char* line, std::size_t length);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_QUERY_H_
