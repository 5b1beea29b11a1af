#include "patterns.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "match/pattern_list.h"

namespace kensaku::cli {
namespace {

// Splits at CR and LF as the library's lists do; empty lines are kept as empty patterns, which
// the library then passes over.
void SplitLines(const std::string& text, std::vector<std::string>& lines) {
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      if (start < text.size()) lines.push_back(text.substr(start));
      return;
    }
    lines.push_back(text.substr(start, end - start));
    start = text.find_first_not_of("\r\n", end);
    if (start == std::string::npos) return;
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
                     std::string& error) {
  const bool convert = options.pattern_encoding != Charset::kSjis;
  for (const PatternSource& source : options.patterns) {
    std::string text = source.text;
    if (source.from_file && !ReadListFile(source.text, text, error)) return false;
    std::vector<std::string> lines;
    SplitLines(text, lines);
    if (!source.from_file && lines.empty()) lines.emplace_back();
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::string sjis = lines[i];
      std::string problem;
      if (convert && !InternalFromUtf8(lines[i], extras, sjis, problem)) {
        if (problem == "is not UTF-8 text") {
          problem += " (use --pattern-encoding=sjis for Shift_JIS bytes)";
        }
        error = source.from_file ? source.text + ": line " + std::to_string(i + 1) + ": " + problem
                                 : "pattern '" + lines[i] + "': " + problem;
        return false;
      }
      patterns.push_back(std::move(sjis));
    }
  }
  return true;
}

namespace {

// Each pattern trimmed and folded as a line of the library's list texts is; false with a message
// when none is left.
bool TrimmedEntries(const std::vector<std::string>& patterns, int fold_flags,
                    std::vector<std::string>& entries, std::string& error) {
  const FoldTable& fold = FoldTable::For(fold_flags);
  for (const std::string& pattern : patterns) {
    std::string entry = TrimmedEntry(pattern.c_str(), fold);
    if (!entry.empty()) entries.push_back(std::move(entry));
  }
  if (entries.empty()) error = "no pattern to search for (empty patterns are passed over)";
  return !entries.empty();
}

QueryOptions OptionsOf(SearchKind kind, int fold_flags, std::shared_ptr<const ExtraChars> extras) {
  QueryOptions options;
  options.kind = kind;
  options.match = MatchOptions(fold_flags);
  options.extras = std::move(extras);
  return options;
}

}  // namespace

std::unique_ptr<Query> BuildQuery(const std::vector<std::string>& patterns, SearchKind kind,
                                  int fold_flags, std::string& error,
                                  std::shared_ptr<const ExtraChars> extras) {
  std::vector<std::string> entries;
  if (!TrimmedEntries(patterns, fold_flags, entries, error)) return nullptr;
  return std::make_unique<Query>(entries, OptionsOf(kind, fold_flags, std::move(extras)));
}

bool BuildQueries(const std::vector<std::string>& patterns, SearchKind kind, int fold_flags,
                  std::shared_ptr<const ExtraChars> extras, Queries& queries, std::string& error) {
  std::vector<std::string> entries;
  if (!TrimmedEntries(patterns, fold_flags, entries, error)) return false;
  queries = CompileForEncodings(entries, OptionsOf(kind, fold_flags, std::move(extras)));
  return true;
}

}  // namespace kensaku::cli
