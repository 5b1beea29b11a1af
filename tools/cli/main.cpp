// kensaku: search Japanese text files from a terminal with the library's own engines, with grep's
// conventions. This file only wires the options to a search.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "files.h"
#include "options.h"
#include "patterns.h"
#include "platform.h"
#include "search.h"

namespace kensaku::cli {
namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "kensaku: %s\n", message.c_str());
  return 2;
}

// --help, --version and the man page: a text that did not reach the output is a failure.
int PrintText(const std::string& text) {
  const bool ok = std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
  return ok ? 0 : Fail("cannot write the output");
}

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// A pattern's character that the one encoding every file is read in cannot hold: that pattern
// finds nothing, and the user is told once for each such character.
void WarnOfCharsNoFileHolds(const std::vector<std::string>& patterns, const ExtraChars& extras,
                            Encoding encoding) {
  std::vector<char32_t> told;
  for (const std::string& pattern : patterns) {
    for (char32_t u : ExtraCharsIn(pattern, extras)) {
      const bool held = encoding == Encoding::kUtf8 || encoding == Encoding::kUtf16Le ||
                        encoding == Encoding::kUtf16Be ||
                        (encoding == Encoding::kEucJp && !FormsOfUnicode(encoding, u).empty());
      if (held || std::find(told.begin(), told.end(), u) != told.end()) continue;
      told.push_back(u);
      const std::string utf8 = FormsOfUnicode(Encoding::kUtf8, u).front();
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(u));
      std::fprintf(stderr, "kensaku: '%s' (%s) cannot occur in %s text: no line holds it\n",
                   utf8.c_str(), code, EncodingName(encoding));
    }
  }
}

Report ReportOf(const Options& o) {
  if (o.quiet) return Report::kQuiet;
  if (o.files_with_matches) return Report::kFilesWith;
  if (o.files_without_match) return Report::kFilesWithout;
  if (o.count) return Report::kCount;
  return Report::kLines;
}

}  // namespace

int Main(int argc, char** argv) {
  SetBinaryOutput();
  Options o;
  std::string error;
  if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), o, error)) {
    std::fprintf(stderr, "kensaku: %s\nTry 'kensaku --help' for more information.\n",
                 error.c_str());
    return 2;
  }
  switch (o.action) {
    case Action::kHelp:
      return PrintText(HelpText());
    case Action::kVersion:
      return PrintText(VersionText());
    case Action::kManPage:
      return PrintText(ManPage());
    case Action::kSearch:
      break;
  }
  std::vector<std::string> patterns;
  auto extras = std::make_shared<ExtraChars>();
  if (!CollectPatterns(o, patterns, *extras, error)) return Fail(error);

  const Bound bound = o.whole_line ? Bound::kLine : o.word ? Bound::kWord : Bound::kNone;
  const Queries queries = BuildQueries(patterns, o.kind, o.fold_flags, extras, bound);
  if (!o.encoding_auto) WarnOfCharsNoFileHolds(patterns, *extras, o.encoding);

  std::vector<Target> targets;
  bool with_name = false;
  CollectOperands(o, targets, with_name);

  const bool terminal = IsTerminal(1);
  SearchPlan plan;
  PrintConfig& print = plan.print;
  print.report = ReportOf(o);
  print.with_name = o.with_filename == -1 ? with_name : o.with_filename == 1;
  print.line_numbers = o.line_numbers;
  print.only_matching = o.only_matching;
  print.json = o.json && print.report == Report::kLines;
  print.vimgrep = o.vimgrep && !print.json;
  print.column = o.column;
  print.byte_offset = o.byte_offset;
  print.null_after_name = o.null_after_name;
  print.line_buffered = o.line_buffered;
  print.color = o.color == Tristate::kAlways ||
                (o.color == Tristate::kAuto && terminal && !Set("NO_COLOR") &&
                 std::string(std::getenv("TERM") ? std::getenv("TERM") : "") != "dumb");
  if (print.json) print.color = false;  // JSON text is the line's own
  print.invert = o.invert;
  if (print.color) {
    // GREP_COLOR first, so that GREP_COLORS overrides it, and a warning as grep gives.
    const char* old_color = std::getenv("GREP_COLOR");
    if (old_color != nullptr && ReadGrepColor(old_color, print.colors)) {
      std::fprintf(stderr,
                   "kensaku: warning: GREP_COLOR='%s' is deprecated; use GREP_COLORS='mt=%s'\n",
                   old_color, old_color);
    }
    if (const char* colors = std::getenv("GREP_COLORS")) ReadGrepColors(colors, print.colors);
  }
  print.utf8 = o.output_encoding == Charset::kUtf8 ||
               (o.output_encoding == Charset::kAuto && terminal && TerminalIsUtf8());
  Selection& selection = plan.selection;
  selection.invert = o.invert != queries.every_line;
  selection.bound = bound;
  selection.max_count = o.max_count;
  // Context is printed with whole lines only: with -o no line is context.
  const bool context = print.report == Report::kLines && !o.only_matching;
  selection.after = context ? o.after : 0;
  selection.before = context ? o.before : 0;
  selection.parts = print.report == Report::kLines &&
                    (print.only_matching || print.color || print.json || print.vimgrep ||
                     print.column);
  selection.numbered = print.line_numbers || print.json || print.vimgrep || print.column;
  plan.binary = o.binary;
  plan.follow_links = o.dereference;
  plan.names = o.names;
  plan.no_messages = o.no_messages;
  plan.threads = o.threads > 0
                     ? o.threads
                     : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  plan.progress = IsTerminal(2) && !o.quiet;
  if (const char* delay = std::getenv("KENSAKU_PROGRESS_DELAY_MS")) {
    plan.progress_delay_ms = std::atoi(delay);
  }

  plan.encoding_auto = o.encoding_auto;
  plan.encoding = o.encoding;
  const SearchResult result = SearchAll(plan, queries, targets);
  if (o.quiet && result.selected) return 0;
  if (result.error) return 2;
  return result.selected ? 0 : 1;
}

}  // namespace kensaku::cli

int main(int argc, char** argv) { return kensaku::cli::Main(argc, argv); }
