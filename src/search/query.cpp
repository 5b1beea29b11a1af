#include "search/query.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <numeric>
#include <span>
#include <type_traits>
#include <unordered_set>
#include <variant>

#include "frame/find_byte.h"
#include "frame/limits.h"
#include "match/pattern_error.h"
#include "match/re2_or_none.h"
#include "match/romaji.h"
#include "mbchar/internal_text.h"
#include "mbchar/mbchar.h"

namespace kensaku {
namespace {

// Every hit of the entry in the line, as parts.
template <typename Entry>
void EntryParts(const Entry& entry, const char* line, std::size_t length,
                std::vector<LineSpan>& parts) {
  MatchSpan span;
  const char* from = line;
  const char* const line_end = line + length;
  for (;;) {
    bool found = false;
    entry.Test(from, length - static_cast<std::size_t>(from - line), false, span,
               [&](const MatchSpan& hit) {
                 found = true;
                 // A literal hit ends after the characters compared, which a malformed last
                 // character can take past the line's end.
                 const char* end = hit.end < line_end ? hit.end : line_end;
                 if (end > hit.start) {
                   parts.push_back({static_cast<std::size_t>(hit.start - line),
                                    static_cast<std::size_t>(end - line)});
                 }
               });
    // A literal entry reports one hit a line: look again after it for the others.
    if (!Entry::kWholeLinesOnly || !found || span.end <= span.start || span.end >= line_end ||
        *span.end == '\0') {
      return;
    }
    from = span.end;
  }
}

}  // namespace

std::size_t TextLength(const char* line, std::size_t length) {
  const char* nul = FindByte(line, '\0', length);
  return nul == nullptr ? length : static_cast<std::size_t>(nul - line);
}

namespace {

// Whether a mark in text right after a literal's bytes, or one of them, may change what they
// read as: its last character is a kana a mark joins, or it holds a mark. In code page 932
// text without the width fold only half-width marks after half-width kana join (`half_width`).
bool MarksMayTouch(const char* literal, bool half_width = false) {
  Code last = 0;
  for (const char* p = literal; *p != '\0';) {
    const MbChar c = DecodeText(p);
    p += c.ByteCount();
    switch (c.code) {
      case 0xDE: case 0xDF: case 0x814A: case 0x814B: case kCombiningVoiced:
      case kCombiningSemiVoiced:
        return true;
      default:
        last = c.code;
    }
  }
  if (half_width && !(last >= 0xA6 && last <= 0xDD)) return false;
  return last != 0 && (JoinedKana(last, false) != 0 || JoinedKana(last, true) != 0);
}

// Whether a pattern holds a joined kana (or, with `sets`, a set, which may); with `half_width`,
// only one joined from a half-width kana counts.
bool HoldsJoined(const char* pattern, bool sets, bool half_width = false) {
  for (const char* p = pattern; *p != '\0';) {
    const MbChar c = DecodeText(p);
    p += c.ByteCount();
    const Code base = BaseOfJoined(c.code);
    if ((sets && c.code == '[') || (base != 0 && (!half_width || (base >= 0xA6 && base <= 0xDD)))) {
      return true;
    }
  }
  return false;
}

// The characters of code page 932 text whose reading changes when its marks join kana: the
// marks, the kana they join (any kana under the width fold, else half-width ones) and the
// joined characters. Kana and marks lie in the single bytes and in leads 0x81-0x84; the joined
// characters code page 932 lacks have fixed codes.
std::span<const Code> JoiningCodes(bool half_width) {
  static const auto make = [](bool half) {
    std::vector<Code> codes{0xDE, 0xDF, kCombiningVoiced, kCombiningSemiVoiced};
    if (!half) codes.insert(codes.end(), {0x814A, 0x814B});
    auto look = [&](Code c) {
      if (half && !(c >= 0xA6 && c <= 0xDD)) return;
      for (const bool semi : {false, true}) {
        if (const Code joined = JoinedKana(c, semi); joined != 0) {
          codes.push_back(c);
          codes.push_back(joined);
        }
      }
    };
    for (Code c = 0; c <= 0xFF; ++c) look(c);
    if (!half) ForEachDoubleCode(look, [](unsigned lead) { return lead <= 0x84; });
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    return codes;
  };
  if (half_width) {
    static const std::vector<Code> kHalfWidth = make(true);
    return kHalfWidth;
  }
  static const std::vector<Code> kAny = make(false);
  return kAny;
}

// Whether some pattern-language or conjunctive entry may take one of the codes; `others`
// answers for the entries of the other kinds.
template <typename Others>
bool EntriesMayTake(const CompiledList& list, std::span<const Code> codes, Others others) {
  return std::visit(
      [&](const auto& entries) {
        using Entry = typename std::decay_t<decltype(entries)>::value_type;
        if constexpr (std::is_same_v<Entry, LinePattern> ||
                      std::is_same_v<Entry, LineConjunctive>) {
          return std::any_of(entries.begin(), entries.end(),
                             [&](const Entry& e) { return e.pattern().MayTakeAny(codes); });
        } else {
          return others(entries);
        }
      },
      list.entries());
}

// Whether some pattern entry may take a character whose reading changes when code page 932
// marks join kana: if none does, lines may be read as they are.
bool PatternsTakeJoining(const CompiledList& list, bool half_width) {
  return EntriesMayTake(list, JoiningCodes(half_width), [](const auto&) { return true; });
}

// The fixed codes (lead byte 0xEF, which code page 932 leaves unassigned).
std::span<const Code> FixedCodes() {
  static const std::vector<Code> codes = [] {
    std::vector<Code> all;
    for (Code c = kCombiningVoiced; FixedKanaOf(c) != nullptr; ++c) all.push_back(c);
    return all;
  }();
  return codes;
}

// Whether some entry may take a fixed code: in code page 932 text as read, the raw byte 0xEF
// must then not be read as one's lead (LineMatcher::Joins).
bool TakesFixed(const CompiledList& list, std::span<const char* const> patterns, int fold_flags) {
  const std::span<const Code> fixed = FixedCodes();
  return EntriesMayTake(list, fixed, [&](const auto& entries) {
    using Entry = typename std::decay_t<decltype(entries)>::value_type;
    if constexpr (!std::is_same_v<Entry, LineInclusion>) {
      return true;
    } else {
      // A literal's characters, each compared as its fold.
      const FoldTable& fold = FoldTable::For(fold_flags);
      for (const char* pattern : patterns) {
        for (const char* p = pattern; *p != '\0';) {
          const MbChar c = DecodeText(p);
          p += c.ByteCount();
          for (const Code f : fixed) {
            if (fold[f] == fold[c.code]) return true;
          }
        }
      }
      return false;
    }
  });
}

}  // namespace

Query::Query(std::span<const char* const> patterns, const QueryOptions& options)
    : kind_(options.kind),
      fold_flags_(options.match.fold_flags),
      form_(options.form),
      size_(patterns.size()),
      extras_(options.extras),
      empty_entry_(options.empty_entry),
      start_entry_(options.start_entry),
      from_regex_(options.from_regex) {
  if (kind_ == SearchKind::kInc) form_.whole_lines = true;
  const Reading reading = ReadingOf(fold_flags_);
  if (reading.as_read && kind_ != SearchKind::kRegex) {
    for (const char* p : patterns) {
      joins_ = joins_ || HoldsJoined(p, kind_ != SearchKind::kInc);
      marks_touch_ = marks_touch_ || kind_ != SearchKind::kInc || MarksMayTouch(p);
      // There a kana joins only as a half-width pair, which only the width fold makes one
      // with a full-width joined kana.
      cp932_marks_touch_ = cp932_marks_touch_ ||
                           (kind_ == SearchKind::kInc && (MarksMayTouch(p, !reading.spacing) ||
                                                          HoldsJoined(p, false, !reading.spacing)));
    }
  }
  const auto group = static_cast<std::size_t>(kMaxPatterns);
  for (std::size_t i = 0; i < patterns.size(); i += group) {
    try {
      groups_.push_back(std::make_unique<CompiledList>(
          kind_, patterns.subspan(i, std::min(group, patterns.size() - i)), options.match,
          extras_.get()));
    } catch (PatternError& e) {
      e.set_pattern(e.pattern() + i);
      throw;
    }
  }
  if (reading.as_read && (kind_ == SearchKind::kMatch || kind_ == SearchKind::kMatchs)) {
    for (const auto& group : groups_) {
      cp932_marks_touch_ = cp932_marks_touch_ || PatternsTakeJoining(*group, !reading.spacing);
    }
  }
  if (reading.as_read) {
    for (std::size_t g = 0; g < groups_.size() && !takes_fixed_; ++g) {
      const std::size_t first = g * kMaxPatterns;
      takes_fixed_ = TakesFixed(
          *groups_[g],
          patterns.subspan(first, std::min<std::size_t>(kMaxPatterns, patterns.size() - first)),
          fold_flags_);
    }
  }
  // A regex's bytes found are those of its literals: only they may be parted by a mark.
  if (ReadingOf(fold_flags_).as_read && kind_ == SearchKind::kRegex) {
    marks_touch_ = cp932_marks_touch_ = true;
    std::string direct;
    std::shared_ptr<const ScalarRow> row;
    std::size_t entries = 0;
    bool every = !groups_.empty();
    bool every_cp932 = every;
    std::string cp932;
    bool strong = true;
    bool ascii = true;
    for (const auto& group : groups_) {
      for (const LineRegex& entry : std::get<std::vector<LineRegex>>(group->entries())) {
        for (const std::string& literal : entry.regex().literals()) {
          joins_ = joins_ || HoldsJoined(literal.c_str(), false);
        }
        every = every && !entry.regex().direct_program().empty();
        ascii = ascii && entry.regex().ascii_only();
        strong = strong && !entry.regex().literals().empty();
        // Two bytes, or a mark of punctuation, are rare enough in text to look for first.
        for (const std::string& literal : entry.regex().literals()) {
          strong = strong && (literal.size() >= 2 || std::ispunct(static_cast<unsigned char>(literal[0])));
        }
        direct += (direct.empty() ? "(?:" : "|(?:") + entry.regex().direct_program() + ")";
        row = entry.regex().direct_row();
        ++entries;
        every_cp932 = every_cp932 && !entry.regex().cp932_program().empty();
        cp932 += (cp932.empty() ? "(?:" : "|(?:") + entry.regex().cp932_program() + ")";
      }
    }
#ifdef KENSAKU_WITH_REGEX
    if (every) {
      direct_program_ = std::move(direct);
      if (entries == 1) direct_row_ = std::move(row);
      direct_after_literals_ = strong;
      direct_finds_cp932_ = ascii;
      if (!ascii && every_cp932) cp932_program_ = Cp932FromLineStart(cp932);
    }
#endif
  }
}

Query::~Query() = default;

const re2::RE2* Query::direct() const {
#ifdef KENSAKU_WITH_REGEX
  // Made when first asked: a program of large classes (\p{Han}, \w) takes milliseconds to
  // compile, and a search of Shift_JIS text alone may never run it.
  std::call_once(direct_made_, [&] {
    if (direct_program_.empty()) return;
    // Only the lines matter: the leftmost-longest match is found by automata alone.
    RE2::Options options;
    options.set_log_errors(false);
    options.set_longest_match(true);
    options.set_never_capture(true);
    options.set_max_mem(std::int64_t{256} << 20);
    direct_ = std::make_unique<RE2>(direct_program_, options);
    if (!direct_->ok()) direct_.reset();
  });
#endif
  return direct_.get();
}

const re2::RE2* Query::direct_cp932() const {
#ifdef KENSAKU_WITH_REGEX
  std::call_once(cp932_made_, [&] {
    if (cp932_program_.empty()) return;
    RE2::Options options;
    options.set_encoding(RE2::Options::EncodingLatin1);
    options.set_log_errors(false);
    options.set_longest_match(true);
    options.set_never_capture(true);
    options.set_max_mem(std::int64_t{256} << 20);
    direct_cp932_ = std::make_unique<RE2>(cp932_program_, options);
    if (!direct_cp932_->ok()) direct_cp932_.reset();
  });
#endif
  return direct_cp932_.get();
}

namespace {
// A word of romaji as typed, and as the kana and dictionary words it stands for (internal form).
std::vector<std::string> RomajiWords(const std::string& romaji, const RomajiDictionary* dictionary) {
  std::vector<std::string> words{romaji};
  const std::vector<std::string> kana_forms = KanaOfRomaji(romaji);
  // Of two kana or more, as WordsFor: one letter begins thousands of readings.
  if (dictionary != nullptr && !kana_forms.empty() && kana_forms.front().size() >= 2 * 3) {
    for (std::string& word : dictionary->WordsForLetters(romaji)) words.push_back(std::move(word));
  }
  for (const std::string& kana : kana_forms) {
    ExtraChars none;
    std::string internal, problem;
    if (InternalFromUtf8(kana, none, internal, problem)) words.push_back(internal);
    if (dictionary != nullptr) {
      for (std::string& word : dictionary->WordsFor(kana)) words.push_back(std::move(word));
    }
  }
  return words;
}

// The words once each, less those that hold another whole under the query's folds (kensa gives
// 検索, and 検索エンジン and 検索結果 with it; hon gives ほん, and ホンダ): a line with the longer
// holds the shorter, so the list finds the same lines, and a short list is searched faster. Not
// under -w or -x, where the longer word may be bounded where the shorter is not. A voicing mark
// goes with the kana before it (ｶﾞ is not ｶ), so no word is cut before one.
std::vector<std::string> WordsHoldingNoOther(std::vector<std::string> words, int fold_flags) {
  const FoldTable& fold = FoldTable::For(fold_flags & kAllFoldBits);
  // A word's characters folded, two bytes each, and where each may begin a held word.
  auto folded = [&fold](const std::string& word, std::vector<std::size_t>* starts) {
    std::string out;
    for (std::size_t at = 0; at < word.size();) {
      const MbChar c = DecodeText(word.c_str() + at);
      const bool mark = MarkOf(c.code, 0, /*spacing=*/true) >= 0;  // any mark, whatever precedes
      if (starts != nullptr && !mark) starts->push_back(out.size());
      const Code f = fold[c.code];
      out.push_back(static_cast<char>(f >> 8));
      out.push_back(static_cast<char>(f & 0xFF));
      at += static_cast<std::size_t>(c.ByteCount());
    }
    if (starts != nullptr) starts->push_back(out.size());
    return out;
  };
  std::unordered_set<std::string> all;
  for (const std::string& word : words) all.insert(folded(word, nullptr));
  std::unordered_set<std::string> seen;
  std::vector<std::string> kept;
  std::vector<std::size_t> starts;
  for (std::string& word : words) {
    starts.clear();
    const std::string key = folded(word, &starts);
    if (!seen.insert(key).second) continue;
    bool holds = false;
    for (std::size_t i = 0; i + 1 < starts.size() && !holds; ++i) {
      for (std::size_t j = i + 1; j < starts.size() && !holds; ++j) {
        if (i == 0 && j + 1 == starts.size()) continue;  // the word itself
        holds = all.count(key.substr(starts[i], starts[j] - starts[i])) != 0;
      }
    }
    if (!holds) kept.push_back(std::move(word));
  }
  return kept;
}

// The terms of a conjunctive romaji pattern, split at '&' (empty ones dropped); the pattern
// itself when it has none.
std::vector<std::string> RomajiTerms(const std::string& entry) {
  std::vector<std::string> terms;
  std::string term;
  for (std::size_t i = 0; i <= entry.size();) {
    if (i == entry.size() || entry[i] == '&') {
      if (!term.empty()) terms.push_back(std::move(term));
      term.clear();
      ++i;
      continue;
    }
    const std::size_t n = static_cast<std::size_t>(CharLength(entry.c_str() + i));
    term.append(entry, i, n);
    i += n;
  }
  if (terms.empty()) terms.push_back(entry);
  return terms;
}

// A regular expression that matches the text itself: ASCII punctuation escaped.
std::string RegexOfText(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = static_cast<std::size_t>(CharLength(text.c_str() + i));
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (n == 1 && c < 0x80 && std::isalnum(c) == 0) out.push_back('\\');
    out.append(text, i, n);
    i += n;
  }
  return out;
}

std::vector<const char*> Pointers(const std::vector<std::string>& patterns) {
  std::vector<const char*> texts;
  texts.reserve(patterns.size());
  for (const std::string& p : patterns) texts.push_back(p.c_str());
  return texts;
}
}  // namespace

Query::Query(const std::vector<std::string>& patterns, const QueryOptions& options)
    : Query(std::span<const char* const>(Pointers(patterns)), options) {}

bool Query::Selects(const char* line, std::size_t length) const {
  const std::size_t text_length = TextLength(line, length);
  for (const auto& group : groups_) {
    const bool hit = std::visit(
        [&](const auto& entries) {
          for (const auto& entry : entries) {
            MatchSpan span;
            bool found = false;
            entry.Test(line, text_length, true, span, [&](const MatchSpan&) { found = true; });
            if (found) return true;
          }
          return false;
        },
        group->entries());
    if (hit) return true;
  }
  return false;
}

EncodingQueries CompileForEncodings(std::vector<std::string> entries, const QueryOptions& given,
                                    Bound bound) {
  EncodingQueries queries;
  QueryOptions options = given;
  options.match.strict = true;
  if (options.romaji) {
    // Literal alternatives, compared with the kana and width folds: hiragana, katakana and
    // half-width kana alike, and a word that mixes them.
    std::vector<std::vector<std::string>> terms;
    bool joined = false;
    for (const std::string& entry : entries) {
      terms.push_back(options.kind == SearchKind::kMatchs ? RomajiTerms(entry)
                                                          : std::vector<std::string>{entry});
      joined = joined || terms.back().size() > 1;
    }
    if (joined) {
      // Terms in order, each any of its words: one regular expression a pattern, which the
      // conjunctive engine, one pattern-language term a term, cannot say.
      for (std::size_t i = 0; i < entries.size(); ++i) {
        std::string regex;
        for (const std::string& term : terms[i]) {
          if (!regex.empty()) regex += ".*?";
          regex += "(?:";
          bool first = true;
          for (const std::string& word : RomajiWords(term, options.dictionary.get())) {
            if (!first) regex += '|';
            regex += RegexOfText(word);
            first = false;
          }
          regex += ")";
        }
        entries[i] = std::move(regex);
      }
      options.kind = SearchKind::kRegex;
    } else {
      std::vector<std::string> words;
      for (const std::vector<std::string>& term : terms) {
        for (std::string& word : RomajiWords(term.front(), options.dictionary.get())) {
          words.push_back(std::move(word));
        }
      }
      entries =
          bound == Bound::kNone
              ? WordsHoldingNoOther(std::move(words),
                                    options.match.fold_flags | FoldKanaToKatakana | FoldToHalfWidth)
              : std::move(words);
      options.kind = SearchKind::kInc;
    }
    options.romaji = false;
    options.match.fold_flags |= FoldKanaToKatakana | FoldToHalfWidth;
  }
  // Where each entry comes from, so that an error names the pattern given and its byte there:
  // the pattern's index, and after a join, where each byte of the joined text began.
  std::vector<std::size_t> origin(entries.size());
  std::iota(origin.begin(), origin.end(), std::size_t{0});
  std::vector<std::vector<std::uint32_t>> joined_from(entries.size());
  // Patterns are read as the text is: a kana and its mark one character.
  const Reading reading = ReadingOf(options.match.fold_flags);
  if (reading.as_read) {
    std::string joined;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (JoinMarks(entries[i].data(), entries[i].size(), reading.spacing, joined,
                    joined_from[i])) {
        entries[i] = joined;
      } else {
        joined_from[i].clear();
      }
    }
  }
  const bool empty =
      std::any_of(entries.begin(), entries.end(), [](const std::string& e) { return e.empty(); });
  if (empty && bound == Bound::kNone) {
    // The entries are still compiled once, below: a pattern its syntax cannot read is an error
    // even beside one that selects every line.
    queries.every_line = true;
  } else if (bound != Bound::kNone) {
    // '^' alone is an empty match at the start, which no matched part shows.
    const bool anchors = options.kind == SearchKind::kMatch || options.kind == SearchKind::kMatchs;
    options.empty_entry = empty;
    options.start_entry =
        anchors && std::find(entries.begin(), entries.end(), "^") != entries.end();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].empty() || (anchors && entries[i] == "^")) continue;
      if (kept != i) {
        entries[kept] = std::move(entries[i]);
        origin[kept] = origin[i];
        joined_from[kept] = std::move(joined_from[i]);
      }
      ++kept;
    }
    entries.resize(kept);
  }
  // A regex that is no more than some literals is searched as them, by the literal engine.
  if (options.kind == SearchKind::kRegex && !entries.empty()) {
    std::vector<std::string> literals, all;
    bool plain = true;
    for (const std::string& entry : entries) {
      plain = plain && Regex::AsLiterals(entry.c_str(), options.match.fold_flags,
                                         options.extras.get(), literals);
      if (!plain) break;
      all.insert(all.end(), literals.begin(), literals.end());
    }
    if (plain) {
      entries = std::move(all);
      options.kind = SearchKind::kInc;
    }
  }
  // A regex bounded by the line's ends is one whose match is the line, as in grep -x.
  std::size_t shift = 0;
  if (options.kind == SearchKind::kRegex && bound == Bound::kLine) {
    shift = 4;
    for (std::string& entry : entries) entry = "^(?:" + entry + ")$";
  }
  try {
    queries.decoded = std::make_shared<Query>(entries, options);
  } catch (PatternError& e) {
    if (e.pattern() >= origin.size()) throw;
    const std::size_t i = e.pattern();
    std::size_t at = e.position() > shift ? e.position() - shift : 0;
    const std::vector<std::uint32_t>& from = joined_from[i];
    if (!from.empty()) at = from[std::min(at, from.size() - 1)];
    PatternError unwrapped(at, e.what());
    unwrapped.set_pattern(origin[i]);
    throw unwrapped;
  }
  if (queries.every_line) {
    entries.clear();
    queries.decoded = std::make_shared<Query>(entries, options);
  }
  queries.sjis = queries.decoded;
  // A regex that is a row of single characters reads code page 932 text faster in the pattern
  // language, whose engines compare the text's own codes: the same lines, the same parts.
  if (options.kind == SearchKind::kRegex && bound == Bound::kNone && !queries.every_line &&
      (options.extras == nullptr || options.extras->empty())) {
    std::vector<std::string> patterns(entries.size());
    bool all = true;
    for (std::size_t i = 0; i < entries.size() && all; ++i) {
      all = Regex::AsPattern(entries[i].c_str(), options.match.fold_flags, nullptr, patterns[i]);
    }
    if (all) {
      QueryOptions as_pattern = options;
      as_pattern.kind = SearchKind::kMatch;
      as_pattern.from_regex = true;
      try {
        queries.sjis = std::make_shared<Query>(patterns, as_pattern);
      } catch (const PatternError&) {
        // Written to be read: should it not be, the regex reads the text itself.
      }
      return queries;
    }
  }
  // A regex holding a character code page 932 lacks may match without it.
  if (options.extras == nullptr || options.extras->empty() || options.kind == SearchKind::kRegex) {
    return queries;
  }
  std::vector<std::string> plain;
  for (const std::string& entry : entries) {
    if (ExtraCharsIn(entry, *options.extras).empty()) plain.push_back(entry);
  }
  QueryOptions without = options;
  without.extras = nullptr;
  queries.sjis = std::make_shared<Query>(plain, without);
  return queries;
}

void Query::MatchedParts(const char* line, std::size_t length, std::vector<LineSpan>& parts) const {
  parts.clear();
  const std::size_t text_length = TextLength(line, length);
  for (const auto& group : groups_) {
    std::visit(
        [&](const auto& entries) {
          for (const auto& entry : entries) EntryParts(entry, line, text_length, parts);
        },
        group->entries());
  }
  std::sort(parts.begin(), parts.end(), [](const LineSpan& a, const LineSpan& b) {
    return a.start != b.start ? a.start < b.start : a.end > b.end;
  });
  std::size_t kept = 0;
  for (const LineSpan& s : parts) {
    if (kept > 0 && s.start < parts[kept - 1].end) continue;
    parts[kept++] = s;
  }
  parts.resize(kept);
}

}  // namespace kensaku
