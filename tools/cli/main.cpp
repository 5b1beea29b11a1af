// kensaku: search Shift_JIS files from a terminal with the library's own engines, with grep's
// conventions. This file only wires the options to a search.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "files.h"
#include "frame/settings.h"
#include "mbchar/fold.h"
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
  if (!CollectPatterns(o, patterns, error)) return Fail(error);

  // The library's process-wide settings, fixed before any thread starts: the searcher writes
  // whole lines (so it stops at a line's first hit) and the printer adds its own prefixes.
  SetFoldFlags(o.fold_flags);
  FoldMap();
  SetOutputMode(1);
  SetLineMode(0);

  PatternGroups groups;
  if (!groups.Build(patterns, o.kind, error)) return Fail(error);

  std::vector<Target> targets;
  bool with_name = false;
  CollectTargets(o, targets, with_name);

  const bool terminal = IsTerminal(1);
  SearchPlan plan;
  PrintConfig& print = plan.print;
  print.report = ReportOf(o);
  print.with_name = o.with_filename == -1 ? with_name : o.with_filename == 1;
  print.line_numbers = o.line_numbers;
  print.only_matching = o.only_matching;
  print.invert = o.invert;
  print.color = o.color == Tristate::kAlways ||
                (o.color == Tristate::kAuto && terminal && !Set("NO_COLOR") &&
                 std::string(std::getenv("TERM") ? std::getenv("TERM") : "") != "dumb");
  print.utf8 = o.output_encoding == Encoding::kUtf8 ||
               (o.output_encoding == Encoding::kAuto && terminal && TerminalIsUtf8());
  print.max_count = o.max_count;
  // Only matched parts are printed with -o: no line is context.
  print.after = o.only_matching ? 0 : o.after;
  print.before = o.only_matching ? 0 : o.before;
  plan.binary = o.binary;
  plan.no_messages = o.no_messages;
  plan.threads = o.threads > 0
                     ? o.threads
                     : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  plan.progress = IsTerminal(2) && !o.quiet;
  if (const char* delay = std::getenv("KENSAKU_PROGRESS_DELAY_MS")) {
    plan.progress_delay_ms = std::atoi(delay);
  }

  const SearchResult result = SearchAll(plan, groups, targets);
  if (o.quiet && result.selected) return 0;
  if (result.error) return 2;
  return result.selected ? 0 : 1;
}

}  // namespace kensaku::cli

int main(int argc, char** argv) { return kensaku::cli::Main(argc, argv); }
