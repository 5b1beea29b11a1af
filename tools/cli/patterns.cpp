#include "patterns.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <variant>

#include "encoding.h"
#include "frame/byte_string.h"
#include "match/list_entry.h"

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

template <typename Entry>
void EntryMatches(const Entry& entry, const char* line, std::size_t length,
                  std::vector<Span>& spans) {
  MatchSpan span;
  const char* from = line;
  const char* const line_end = line + length;
  for (;;) {
    bool found = false;
    entry.Test(from, length - static_cast<std::size_t>(from - line), false, span,
               [&](const MatchSpan& hit) {
                 found = true;
                 // A literal hit ends its pattern's bytes after its start, which can be past
                 // the line: a pattern widened by folding, or one whose comparison a malformed
                 // character ended early.
                 const char* end = hit.end < line_end ? hit.end : line_end;
                 if (end > hit.start) {
                   spans.push_back({static_cast<std::size_t>(hit.start - line),
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

bool CollectPatterns(const Options& options, std::vector<std::string>& patterns,
                     std::string& error) {
  const bool convert = options.pattern_encoding != Encoding::kSjis;
  for (const PatternSource& source : options.patterns) {
    std::string text = source.text;
    if (source.from_file && !ReadListFile(source.text, text, error)) return false;
    std::vector<std::string> lines;
    SplitLines(text, lines);
    if (!source.from_file && lines.empty()) lines.emplace_back();
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::string sjis = lines[i];
      std::string problem;
      if (convert && !PatternToShiftJis(lines[i], sjis, problem)) {
        error = source.from_file ? source.text + ": line " + std::to_string(i + 1) + ": " + problem
                                 : "pattern '" + lines[i] + "': " + problem;
        return false;
      }
      patterns.push_back(std::move(sjis));
    }
  }
  return true;
}

bool PatternGroups::Build(const std::vector<std::string>& patterns, SearchKind kind,
                          std::string& error) {
  std::size_t i = 0;
  while (i < patterns.size()) {
    // As many as a list holds, within the length of the library's copy of a list text.
    std::string text;
    int count = 0;
    for (; i < patterns.size() && count < kMaxPatterns; ++i, ++count) {
      if (text.size() + patterns[i].size() + 1 > static_cast<std::size_t>(kMaxByteString)) break;
      text += patterns[i];
      text += '\n';
    }
    if (count == 0) {
      error = "a pattern may be at most " + std::to_string(kMaxByteString - 1) + " bytes long";
      return false;
    }
    auto list_text = std::make_unique<ListText>(text.c_str());
    if (!list_text->ok() || list_text->entries()[0] == nullptr) continue;  // all empty
    lists_.push_back(std::make_unique<CompiledList>(kind, list_text->entries()));
    texts_.push_back(std::move(list_text));
  }
  if (lists_.empty()) {
    error = "no pattern to search for (empty patterns are passed over)";
    return false;
  }
  return true;
}

bool PatternGroups::Selects(const char* line, std::size_t length) const {
  for (const auto& list : lists_) {
    const bool hit = std::visit(
        [&](const auto& entries) {
          MatchSpan span;
          for (const auto& entry : entries) {
            bool found = false;
            entry.Test(line, length, true, span, [&](const MatchSpan&) { found = true; });
            if (found) return true;
          }
          return false;
        },
        list->entries());
    if (hit) return true;
  }
  return false;
}

void PatternGroups::Matches(const char* line, std::size_t length, std::vector<Span>& spans) const {
  spans.clear();
  for (const auto& list : lists_) {
    std::visit(
        [&](const auto& entries) {
          for (const auto& entry : entries) EntryMatches(entry, line, length, spans);
        },
        list->entries());
  }
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
    return a.start != b.start ? a.start < b.start : a.end > b.end;
  });
  std::size_t kept = 0;
  for (const Span& s : spans) {
    if (kept > 0 && s.start < spans[kept - 1].end) continue;
    spans[kept++] = s;
  }
  spans.resize(kept);
}

}  // namespace kensaku::cli
