// From the options and what the tool finds around it to the plan of the search: every choice that
// depends on where the output goes or on the environment is made here, from plain values.
#ifndef KENSAKU_TOOLS_CLI_PLAN_H_
#define KENSAKU_TOOLS_CLI_PLAN_H_

#include <optional>
#include <string>

#include "options.h"
#include "search.h"

namespace kensaku::cli {

// What the plan reads besides the options. Variables are empty when unset.
struct Environment {
  bool stdout_terminal = false;
  bool stderr_terminal = false;
  std::string charset;  // the locale's character set (LocaleCharset)
  std::optional<std::string> no_color, term, grep_color, grep_colors, progress_delay_ms;
  unsigned cores = 0;  // 0: unknown

  // The process's own.
  static Environment Current();
};

// What the operands and patterns decide.
struct PlanInputs {
  bool several_files = false;  // file names are shown unless -h
  bool every_line = false;     // an empty pattern: every line matches (Queries::every_line)
};

struct Plan {
  SearchPlan search;
  std::string warning;  // for standard error, or empty
};

Plan BuildPlan(const Options& options, const Environment& env, const PlanInputs& inputs);

// What -w and -x ask a match to be bounded by (-x wins); the queries are compiled for it too.
inline Bound BoundOf(const Options& o) {
  return o.whole_line ? Bound::kLine : o.word ? Bound::kWord : Bound::kNone;
}

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_PLAN_H_
