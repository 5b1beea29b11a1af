// One answer to "does the query select this line, in this encoding, and where are its matched
// parts in the line's own bytes", for every caller: the searcher, the C interface, the tool and
// the Python module (through the C interface).
//
// Code page 932 lines go to the entries as they are. UTF-8 and EUC-JP lines (UTF-16 and
// ISO-2022-JP are read as UTF-8) are first looked at in their own bytes, where the prefilter's
// places often tell a hit at once, and only then decoded into the internal form the entries read
// (mbchar/internal_text.h); their matched parts are mapped back to the line's own bytes.
//
// A matcher is one caller's at a time: it keeps the decoded line and, for lines read from a
// stream, the prefilters' cursors over that stream.
#ifndef KENSAKU_SRC_SEARCH_LINE_MATCHER_H_
#define KENSAKU_SRC_SEARCH_LINE_MATCHER_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "mbchar/encoding.h"
#include "search/query.h"
#include "search/streams.h"

namespace kensaku {

// A line to match: line[0, length), NUL-terminated at length, whose text for matching ends at
// text_length (a NUL inside ends it). `at` is where it begins in the stream the matcher's
// cursors look at (LineMatcher::Hopeless), or kAlone for a line that comes from no such stream.
struct MatchLine {
  static constexpr std::uint64_t kAlone = UINT64_MAX;
  const char* line = "";
  std::size_t length = 0;
  std::size_t text_length = 0;
  std::uint64_t at = kAlone;
};

// The prefilters' cursors of a query over one input at a time: which lines at the start of the
// read window cannot match, and what the cursors learned of each line read.
class LineCursors {
 public:
  explicit LineCursors(const Query& query)
      : query_(query), selectors_(ReadingOf(query.fold_flags()).as_read) {
    Make(Encoding::kCp932);
  }

  // For the next input, whose lines are in the encoding.
  void Reset(Encoding e);
  // The group's cursor; null when the group has no prefilter.
  Prefilter::Cursor* cursor(std::size_t group) const {
    return group < cursors_.size() ? cursors_[group].get() : nullptr;
  }
  // LineMatcher::Hopeless. Asked before every line read: most often it is not time to look.
  std::size_t Find(InputFile& in) {
    if (direct_ == nullptr && (!active_ || in.position() < retry_at_)) return 0;
    return Look(in);
  }
  // Whether the window pass found no selector (or joining mark) beginning before `end`.
  bool ClearBefore(std::uint64_t end) const { return end <= selector_clear_to_; }
  // For input of a regex query with a direct program for its encoding (Query::direct,
  // Query::direct_cp932), which finds the candidate lines itself: whether its last match lies in
  // the stream's bytes [from, to).
  bool direct() const { return direct_ != nullptr; }
  bool DirectHitIn(std::uint64_t from, std::uint64_t to) const {
    return hit_ && hit_start_ >= from && hit_end_ <= to;
  }
  // Whether that match's line is known to read as its characters (Plain).
  bool direct_hit_plain() const { return hit_plain_; }
  // Whether the direct program's matches select their lines where those read as their characters
  // (in UTF-8 text, and in code page 932 text with Query::direct_cp932); else they are
  // candidates only, tried by the matcher.
  bool direct_exact() const { return exact_; }
  // Whether such a line of the input's encoding reads as its characters (PlainUtf8, PlainCp932).
  bool Plain(const char* line, std::size_t length, bool spacing) const {
    return FirstUnplainIn(line, length, spacing) == length;
  }

 private:
  // Each encoding has its own prefilters, of the bytes the entries require in it.
  void Make(Encoding e);

  const Query& query_;
  Encoding encoding_ = Encoding::kCp932;
  std::vector<std::unique_ptr<Prefilter::Cursor>> cursors_;
  bool active_ = false;  // every group has a prefilter
  std::uint64_t retry_at_ = 0;
  const bool selectors_;  // as read: UTF-8 lines with selectors or combining marks are candidates
  std::uint64_t selector_clear_to_ = 0;  // no selector begins before this, in the input

  std::size_t Look(InputFile& in);
  std::size_t FindDirect(InputFile& in);
  // The first place before `first` (window places, the window starting at stream offset `at`)
  // where a selector or mark begins, looked for from `from` on past what is known clear; or
  // `first`.
  std::size_t PartedBefore(const char* text, std::size_t n, std::uint64_t at, std::size_t from,
                           std::size_t first);
  std::size_t FirstUnplainIn(const char* text, std::size_t n, bool spacing) const;
  // Whether the direct program matches in text[from, to) of text[0, n), and where its first
  // match is (with `found`).
  bool DirectMatch(const char* text, std::size_t n, std::size_t from, std::size_t to,
                   std::size_t* found_start = nullptr, std::size_t* found_end = nullptr) const;
  const re2::RE2* direct_ = nullptr;
  const ScalarRow* row_ = nullptr;  // the direct program's row, found without RE2
  bool exact_ = false;
  bool hit_ = false;  // the direct program's first match from searched_from_ on, in a whole line
  bool hit_plain_ = false;
  std::uint64_t hit_start_ = 0, hit_end_ = 0;
  std::uint64_t after_hit_ = 0;  // the start of the line after the match's
  bool dense_ = false;           // the line after a match's is tried alone (FindDirect)
  std::uint64_t searched_from_ = 0, searched_to_ = 0;  // none in between, unless hit_
};

// Whether a UTF-8 line as read is its scalars one by one: no selector, no voicing mark (which
// may join a kana), no NUL.
bool PlainUtf8(const char* line, std::size_t length, bool spacing);
// Whether a code page 932 line reads as its codes one by one: no NUL, no byte 0xEF, no lead byte
// without its trail, no voicing mark that may join a kana (a quick look: some that do not are
// taken for ones that do).
bool PlainCp932(const char* line, std::size_t length, bool spacing);

// Where the first variation selector (or, with `marks`, combining voicing mark) is in UTF-8
// text, or n: the prefilters do not see through them. `readable` (at least n) bytes may be read,
// a sequence that goes on past n being cut off there.
std::size_t FirstParting(const char* text, std::size_t n, std::size_t readable, bool marks);

class LineMatcher {
 public:
  // `sjis` serves code page 932 lines and `decoded` all others (EncodingQueries); both must
  // outlive the matcher, and may be one query.
  LineMatcher(const Query& sjis, const Query& decoded, Bound bound = Bound::kNone);
  explicit LineMatcher(const EncodingQueries& queries, Bound bound = Bound::kNone)
      : LineMatcher(*queries.sjis, *queries.decoded, bound) {}
  explicit LineMatcher(const Query& query, Bound bound = Bound::kNone)
      : LineMatcher(query, query, bound) {}
  ~LineMatcher();
  LineMatcher(const LineMatcher&) = delete;
  LineMatcher& operator=(const LineMatcher&) = delete;

  // The lines that follow are in e, from a new input (as read: UTF-16 and ISO-2022-JP lines are
  // UTF-8 ones).
  void Start(Encoding e);
  Encoding encoding() const { return encoding_; }
  const Query& query() const { return *query_; }

  // The bytes of whole lines at the start of the input's window that hold no entry's bytes
  // (up to and including a LF); 0 when there are none, or when it is not time to look again.
  std::size_t Hopeless(InputFile& in) { return cursors_->Find(in); }

  // Whether some entry hits the line, decided by the line alone; the bound is not applied.
  bool Hits(const MatchLine& line);
  // Whether the line is selected: a hit, and under a bound a bounded one (an empty match
  // among them, see empty_may_hit).
  bool Selects(const MatchLine& line) {
    if (Hits(line) && (bound_ == Bound::kNone || !PartsOfLast().empty())) return true;
    return empty_may_hit_ && EmptyMatchBounded();
  }
  // The same for a line known to hold no entry's bytes: only an empty match may select it.
  bool SelectsEmpty(const MatchLine& line) {
    if (!empty_may_hit_) return false;
    last_ = line;
    decoded_ = parts_found_ = false;
    return EmptyMatchBounded();
  }
  // Under a bound, an empty entry or '^' alone (left out of the entries, Query::empty_entry and
  // start_entry) selects the lines where an empty match is so bounded, bytes or none.
  bool empty_may_hit() const { return empty_may_hit_; }
  // The matched parts of the line last given to Hits, in its own bytes, in order, overlaps
  // dropped (the leftmost, then the longest, wins); under a bound only the bounded ones.
  const std::vector<LineSpan>& PartsOfLast();
  // The same for any other line (held context), valid until the next call.
  const std::vector<LineSpan>& Parts(const MatchLine& line);

 private:
  class Engine;
  template <typename Entry>
  class EngineOf;

  void DecodeLast();
  // Whether the direct program matched the line, and the line reads as its characters.
  bool DirectHit(const MatchLine& line) const {
    return cursors_->DirectHitIn(line.at, line.at + line.text_length) &&
           (cursors_->direct_hit_plain() ||
            cursors_->Plain(line.line, line.length, reading_.spacing));
  }
  // Whether a line read as it is must be read through InternalLine: its marks join kana, and an
  // entry may tell the joined kana from its parts; or it holds byte 0xEF, which as read is the
  // lead of the joined kanas' own codes and in the text stands for no character, and an entry
  // may take one of those.
  bool Joins(const MatchLine& line) const {
    return reading_.as_read &&
           ((query_->cp932_marks_touch() &&
             MayJoin(line.line, line.text_length, reading_.spacing, false)) ||
            (query_->takes_fixed() && std::memchr(line.line, 0xEF, line.text_length) != nullptr));
  }
  // by_regex: the line is the regex's (Query::from_regex), whose parts are found in it.
  void FindParts(const MatchLine& line, const InternalLine* internal, std::vector<LineSpan>& parts,
                 bool by_regex = false) const;
  bool Bounded(const char* text, std::size_t end, const LineSpan& p) const;
  bool EmptyMatchBounded();

  const Query& sjis_;
  const Query& decoded_query_;
  const Bound bound_;
  const Reading reading_;
  Encoding encoding_ = Encoding::kCp932;
  const Query* query_;
  bool empty_may_hit_ = false;
  std::unique_ptr<Engine> engine_;
  // For code page 932 lines with byte 0xEF, when query_ is a regex in the pattern language
  // (Query::from_regex): the regex's own engine, of decoded_query_.
  std::unique_ptr<Engine> regex_engine_;
  std::unique_ptr<LineCursors> cursors_;
  // By group, for text read as UTF-8: the entries a place found tells at once
  // (CompiledList::CertainWhereFound, TellableWhereFound).
  struct Told {
    std::uint64_t certain = 0;
    std::uint64_t tellable = 0;
    const std::vector<LiteralForms>* forms = nullptr;
  };
  std::vector<Told> told_;
  bool tells_ = false;  // some group's entries are told where found
  MatchLine last_;
  InternalLine internal_;
  bool decoded_ = false;      // internal_ holds the last line
  bool joins_ = false;        // the last line, in code page 932, is read with marks joined
  bool ef_line_ = false;      // the last line is regex_engine_'s
  bool parts_found_ = false;  // parts_ holds the last line's
  std::vector<LineSpan> parts_;
  InternalLine other_;  // a line other than the last, decoded
  std::vector<LineSpan> other_parts_;
};

// Where byte 0xEF first begins a character of code page 932 text that begins at text[0], or n:
// as read it stands for no character (Query::from_regex). A trail byte 0xEF is part of one
// (after a long run of bytes that may be leads, an 0xEF counts as beginning one).
std::size_t FirstLoneEf(const char* text, std::size_t n);

// Letters, digits and the underscore, in ASCII and full width: what -w looks for around a match.
bool IsWordChar(Code c);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_LINE_MATCHER_H_
