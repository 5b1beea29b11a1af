#include "plan.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "platform.h"

namespace kensaku::cli {
namespace {

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

bool Set(const std::optional<std::string>& value) { return value && !value->empty(); }

// One encoding for every file's lines, wherever they go: the one asked for, or the locale's
// when it is Shift_JIS or EUC-JP, else UTF-8 (the C locale's ASCII included).
std::optional<Encoding> OutputEncoding(Charset asked, const std::string& charset) {
  switch (asked) {
    case Charset::kRaw:
      return std::nullopt;
    case Charset::kSjis:
      return Encoding::kCp932;
    case Charset::kEucJp:
      return Encoding::kEucJp;
    case Charset::kUtf8:
      return Encoding::kUtf8;
    case Charset::kAuto:
      break;
  }
  Encoding named = Encoding::kUtf8;
  if (EncodingNamed(charset, named) && (named == Encoding::kCp932 || named == Encoding::kEucJp)) {
    return named;
  }
  return Encoding::kUtf8;
}

Report ReportOf(const Options& o) {
  if (o.quiet) return Report::kQuiet;
  if (o.files_with_matches) return Report::kFilesWith;
  if (o.files_without_match) return Report::kFilesWithout;
  if (o.count) return Report::kCount;
  return Report::kLines;
}

}  // namespace

Environment Environment::Current() {
  Environment env;
  env.stdout_terminal = IsTerminal(1);
  env.stderr_terminal = IsTerminal(2);
  env.charset = LocaleCharset();
  env.no_color = Variable("NO_COLOR");
  env.term = Variable("TERM");
  env.grep_color = Variable("GREP_COLOR");
  env.grep_colors = Variable("GREP_COLORS");
  env.progress_delay_ms = Variable("KENSAKU_PROGRESS_DELAY_MS");
  env.cores = std::thread::hardware_concurrency();
  return env;
}

Plan BuildPlan(const Options& o, const Environment& env, const PlanInputs& inputs) {
  Plan result;
  SearchPlan& plan = result.search;
  PrintConfig& print = plan.print;
  print.report = ReportOf(o);
  print.with_name = o.with_filename == -1 ? inputs.several_files : o.with_filename == 1;
  print.line_numbers = o.line_numbers;
  print.only_matching = o.only_matching;
  print.json = o.json && print.report == Report::kLines;
  print.vimgrep = o.vimgrep && !print.json;
  print.column = o.column;
  print.byte_offset = o.byte_offset;
  print.null_after_name = o.null_after_name;
  print.line_buffered = o.line_buffered;
  print.color =
      o.color == Tristate::kAlways || (o.color == Tristate::kAuto && env.stdout_terminal &&
                                       !Set(env.no_color) && env.term.value_or("") != "dumb");
  if (print.json) print.color = false;  // JSON text is the line's own
  print.invert = o.invert;
  if (print.color) {
    // GREP_COLOR first, so that GREP_COLORS overrides it, and a warning as grep gives.
    if (env.grep_color && ReadGrepColor(*env.grep_color, print.colors)) {
      result.warning = "warning: GREP_COLOR='" + *env.grep_color +
                       "' is deprecated; use GREP_COLORS='mt=" + *env.grep_color + "'";
    }
    if (env.grep_colors) ReadGrepColors(*env.grep_colors, print.colors);
  }
  print.output = OutputEncoding(o.output_encoding, env.charset);
  Selection& selection = plan.selection;
  selection.invert = o.invert != inputs.every_line;
  selection.bound = BoundOf(o);
  selection.max_count = o.max_count;
  // Context is printed with whole lines only: with -o no line is context.
  const bool context = print.report == Report::kLines && !o.only_matching;
  selection.after = context ? std::max(o.after, 0) : 0;
  selection.before = context ? std::max(o.before, 0) : 0;
  print.context = context && (o.after >= 0 || o.before >= 0);
  // With no context lines the searcher parts no groups: the sink parts lines that do not touch.
  print.gap_breaks = print.context && selection.after == 0 && selection.before == 0;
  // --stats counts the matches of each selected line, whatever is printed.
  print.stats = o.stats;
  selection.parts =
      o.stats || (print.report == Report::kLines && (print.only_matching || print.color ||
                                                     print.json || print.vimgrep || print.column));
  selection.numbered =
      print.line_numbers || print.json || print.vimgrep || print.column || print.gap_breaks;
  plan.binary = o.binary;
  plan.follow_links = o.dereference;
  plan.names = o.names;
  plan.no_messages = o.no_messages;
  plan.threads = o.threads > 0 ? o.threads : static_cast<int>(std::max(1u, env.cores));
  plan.progress = env.stderr_terminal && !o.quiet;
  if (env.progress_delay_ms) plan.progress_delay_ms = std::atoi(env.progress_delay_ms->c_str());
  plan.encoding_auto = o.encoding_auto;
  plan.encoding = o.encoding;
  return result;
}

}  // namespace kensaku::cli
