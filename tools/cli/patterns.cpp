#include "patterns.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "match/pattern.h"
#include "match/regex_syntax.h"

namespace kensaku::cli {
namespace {

// One pattern a line, as grep reads them: a LF parts two patterns, nothing is trimmed, and an
// empty line is an empty pattern. In a list file a LF at the very end ends the last line rather
// than begin an empty one, and a CR before a LF goes with it (lists made on Windows).
void SplitLines(const std::string& text, bool list, std::vector<std::string>& lines) {
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (list && start == text.size()) return;
    const std::size_t cr = list && end > start && end < text.size() && text[end - 1] == '\r';
    lines.push_back(text.substr(start, end - start - cr));
    if (end == text.size()) return;
    start = end + 1;
  }
}

}  // namespace

bool ReadListFile(const std::string& name, std::string& text, std::string& error) {
  const bool from_stdin = name == "-";
  std::FILE* file = from_stdin ? stdin : std::fopen(name.c_str(), "rb");
  const std::string shown = from_stdin ? "(standard input)" : name;
  if (file == nullptr) {
    error = shown + ": " + std::strerror(errno);
    return false;
  }
  text.clear();
  char buffer[1 << 16];
  bool ok = true;
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
    text.append(buffer, got);
    if (text.size() > kMaxListFileBytes) {
      error = shown + ": a pattern list may hold at most " +
              std::to_string(kMaxListFileBytes >> 20) + " MiB";
      ok = false;
      break;
    }
    if (got < sizeof buffer) {
      if (std::ferror(file)) {
        error = shown + ": " + std::strerror(errno);
        ok = false;
      }
      break;
    }
  }
  if (!from_stdin) std::fclose(file);
  return ok;
}

bool CollectPatterns(const Options& options, std::vector<std::string>& patterns, ExtraChars& extras,
                     int& fold_flags, std::string& error) {
  const bool convert = options.pattern_encoding != Charset::kSjis;
  struct Typed {
    std::string text;
    const PatternSource* source;
    std::size_t line;
  };
  std::vector<Typed> typed;
  for (const PatternSource& source : options.patterns) {
    std::string text = source.text;
    if (source.from_file && !ReadListFile(source.text, text, error)) return false;
    std::vector<std::string> lines;
    SplitLines(text, source.from_file, lines);
    for (std::size_t i = 0; i < lines.size(); ++i) typed.push_back({std::move(lines[i]), &source, i});
  }
  fold_flags = options.CompareFlags();
  if (options.kind == SearchKind::kRegex) {
    for (const Typed& t : typed) {
      if (RegexFoldsCase(t.text)) fold_flags |= FoldReadCase;
    }
  }
  for (const Typed& t : typed) {
    std::string sjis = t.text;
    std::string problem;
    if (convert && options.kind == SearchKind::kRegex) {
      AddEscapedChars(t.text, ReadingOf(fold_flags), extras);
    }
    if (convert && !InternalFromUtf8(t.text, extras, sjis, problem, ReadingOf(fold_flags))) {
      if (problem == "is not UTF-8 text") {
        problem += " (use --pattern-encoding=sjis for Shift_JIS bytes)";
      }
      error = t.source->from_file
                  ? t.source->text + ": line " + std::to_string(t.line + 1) + ": " + problem
                  : "pattern '" + t.text + "': " + problem;
      return false;
    }
    patterns.push_back(std::move(sjis));
  }
  return true;
}

bool HoldsRegexSyntax(const std::string& pattern) {
  auto operator_char = [](Code c) { return c == '|' || c == '?' || c == '{' || c == '('; };
  const char* p = pattern.c_str();
  while (*p != '\0') {
    const Code c = NextChar(p).code;
    if (c == '[') {
      // A set's members mean themselves in either syntax.
      const char* close = FindClassEnd(*p == '[' ? p + 1 : p);
      if (close != nullptr) p = close + 1;
    } else if (c == '\\') {
      const Code e = NextChar(p).code;
      if (e == 's' || e == 'b' || e == 'd' || operator_char(e)) return true;
    } else if (operator_char(c) || c == '$') {
      return true;
    }
  }
  return false;
}

std::string DescribePatternError(const PatternError& e, const std::vector<std::string>& patterns,
                                 const ExtraChars& extras) {
  if (e.pattern() >= patterns.size()) return e.what();
  // The pattern as typed (UTF-8), and the byte at fault counted in it.
  std::size_t at = 0;
  const std::string shown = InternalAsUtf8(patterns[e.pattern()], extras, e.position(), &at);
  return "pattern '" + shown + "', byte " + std::to_string(at) + ": " + e.what();
}

namespace {

QueryOptions OptionsOf(SearchKind kind, int fold_flags, std::shared_ptr<const ExtraChars> extras) {
  QueryOptions options;
  options.kind = kind;
  options.match = MatchOptions(fold_flags);
  options.match.strict = true;
  options.extras = std::move(extras);
  return options;
}

}  // namespace

std::unique_ptr<Query> BuildQuery(const std::vector<std::string>& patterns, SearchKind kind,
                                  int fold_flags, std::shared_ptr<const ExtraChars> extras) {
  return std::make_unique<Query>(patterns, OptionsOf(kind, fold_flags, std::move(extras)));
}

Queries BuildQueries(const std::vector<std::string>& patterns, SearchKind kind, int fold_flags,
                     std::shared_ptr<const ExtraChars> extras, Bound bound, bool romaji,
                     std::shared_ptr<const RomajiDictionary> dictionary) {
  QueryOptions options = OptionsOf(kind, fold_flags, std::move(extras));
  options.romaji = romaji;
  options.dictionary = std::move(dictionary);
  return CompileForEncodings(patterns, options, bound);
}

}  // namespace kensaku::cli
