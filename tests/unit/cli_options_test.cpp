#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fnmatch.h>
#endif

#include "mbchar/fold.h"
#include "options.h"
#include "plan.h"

namespace kensaku::cli {
namespace {

struct Parsed {
  bool ok;
  Options options;
  std::string error;
};

Parsed Parse(std::vector<std::string> args) {
  Parsed p;
  p.ok = ParseOptions(args, p.options, p.error);
  return p;
}

std::vector<std::string> Texts(const Options& o) {
  std::vector<std::string> out;
  for (const PatternSource& s : o.patterns) out.push_back((s.from_file ? "file:" : "") + s.text);
  return out;
}

using Strings = std::vector<std::string>;

TEST(CliOptionsTest, PatternsAndFiles) {
  // The first operand is the pattern unless -e or -f named one.
  Parsed p = Parse({"abc", "f1", "f2"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(Texts(p.options), Strings{"abc"});
  EXPECT_EQ(p.options.files, (Strings{"f1", "f2"}));

  p = Parse({"-e", "x", "-ey", "--regexp=z", "-f", "list", "f1"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(Texts(p.options), (Strings{"x", "y", "z", "file:list"}));
  EXPECT_EQ(p.options.files, Strings{"f1"});

  // Options after operands count too; "--" ends them; "-" is standard input, an operand.
  p = Parse({"abc", "f1", "-n", "--", "-v", "-"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(p.options.line_numbers);
  EXPECT_FALSE(p.options.invert);
  EXPECT_EQ(p.options.files, (Strings{"f1", "-v", "-"}));

  p = Parse({"-e", "-n"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(Texts(p.options), Strings{"-n"});
  EXPECT_TRUE(p.options.files.empty());
}

TEST(CliOptionsTest, ClustersAndArguments) {
  Parsed p = Parse({"-inC2", "-A", "3", "-m5", "x"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.fold_flags, FoldToUpper);
  EXPECT_TRUE(p.options.line_numbers);
  EXPECT_EQ(p.options.before, 2);
  EXPECT_EQ(p.options.after, 3);  // the later option wins
  EXPECT_EQ(p.options.max_count, 5);

  p = Parse({"--max-count", "7", "--context=4", "--before-context=1", "x"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.max_count, 7);
  EXPECT_EQ(p.options.after, 4);
  EXPECT_EQ(p.options.before, 1);

  // A unique prefix of a long name is enough, as with getopt.
  p = Parse({"--line-n", "--inv", "x"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(p.options.line_numbers);
  EXPECT_TRUE(p.options.invert);
}

TEST(CliOptionsTest, EnginesFoldingAndModes) {
  EXPECT_EQ(Parse({"x"}).options.kind, SearchKind::kMatch);
  EXPECT_EQ(Parse({"-F", "x"}).options.kind, SearchKind::kInc);
  EXPECT_EQ(Parse({"--and", "x&y"}).options.kind, SearchKind::kMatchs);

  Parsed p = Parse({"-k", "--ignore-width", "--ignore-digits", "x"});
  EXPECT_EQ(p.options.fold_flags, FoldKanaToKatakana | FoldToHalfWidth | FoldNumeric);
  p = Parse({"--fold-flags=0x41", "-i", "x"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.fold_flags, 0x41 | FoldToUpper);

  p = Parse({"-l", "-L", "x"});  // the later of the two wins
  EXPECT_TRUE(p.options.files_without_match);
  EXPECT_FALSE(p.options.files_with_matches);

  p = Parse({"-R", "--color=always", "--output-encoding=utf-8", "--pattern-encoding=sjis", "x"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(p.options.recursive);
  EXPECT_TRUE(p.options.dereference);
  EXPECT_EQ(p.options.color, Tristate::kAlways);
  EXPECT_EQ(p.options.output_encoding, Charset::kUtf8);
  EXPECT_EQ(p.options.pattern_encoding, Charset::kSjis);
  EXPECT_EQ(Parse({"--colour=never", "x"}).options.color, Tristate::kNever);
  EXPECT_EQ(Parse({"x"}).options.output_encoding, Charset::kAuto);
  EXPECT_EQ(Parse({"--output-encoding=raw", "x"}).options.output_encoding, Charset::kRaw);
  EXPECT_EQ(Parse({"--output-encoding=EUC-JP", "x"}).options.output_encoding, Charset::kEucJp);
  EXPECT_EQ(Parse({"--output-encoding=cp932", "x"}).options.output_encoding, Charset::kSjis);

  // --help and --version need no pattern.
  EXPECT_EQ(Parse({"--help"}).options.action, Action::kHelp);
  EXPECT_EQ(Parse({"-V"}).options.action, Action::kVersion);
}

TEST(CliOptionsTest, UsageErrorsAreOneLine) {
  const struct {
    Strings args;
    const char* error;
  } kCases[] = {
      {{}, "no pattern given"},
      {{"-n"}, "no pattern given"},
      {{"-J", "x"}, "invalid option -- 'J'"},
      {{"--bogus", "x"}, "unrecognized option '--bogus'"},
      {{"--ignore", "x"}, "option '--ignore' is ambiguous"},
      {{"x", "-A"}, "option requires an argument -- 'A'"},
      {{"x", "--max-count"}, "option '--max-count' requires an argument"},
      {{"--count=3", "x"}, "option '--count' doesn't allow an argument"},
      {{"-m", "many", "x"}, "invalid argument 'many' for --max-count"},
      {{"-C", "-1", "x"}, "invalid argument '-1' for --context"},
      {{"--fold-flags=256", "x"}, "invalid argument '256' for --fold-flags"},
      {{"--color=sometimes", "x"},
       "invalid argument 'sometimes' for --color (auto, always or never)"},
      {{"--output-encoding=latin1", "x"},
       "invalid argument 'latin1' for --output-encoding (auto, utf-8, sjis, euc-jp or raw)"},
      {{"--output-encoding=utf-16le", "x"},
       "invalid argument 'utf-16le' for --output-encoding (auto, utf-8, sjis, euc-jp or raw)"},
      {{"--pattern-encoding=euc-jp", "x"},
       "invalid argument 'euc-jp' for --pattern-encoding (utf-8 or sjis)"},
      {{"--pattern-encoding=auto", "x"},
       "invalid argument 'auto' for --pattern-encoding (utf-8 or sjis)"},
      {{"x", "--exclude"}, "option '--exclude' requires an argument"},
      {{"--excl=a", "x"}, "option '--excl' is ambiguous"},
      {{"--json", "-c", "x"}, "--json cannot be used with -c, -l or -L"},
      {{"-L", "--json", "x"}, "--json cannot be used with -c, -l or -L"},
  };
  for (const auto& c : kCases) {
    const Parsed p = Parse(c.args);
    EXPECT_FALSE(p.ok) << c.error;
    EXPECT_EQ(p.error, c.error);
  }
}

TEST(CliOptionsTest, HelpAndManPageComeFromTheTable) {
  const std::string help = HelpText();
  const std::string man = ManPage();
  for (const char* name : {"regexp",
                           "file",
                           "fixed-strings",
                           "and",
                           "ignore-case",
                           "ignore-kana",
                           "ignore-width",
                           "ignore-digits",
                           "fold-flags",
                           "line-number",
                           "with-filename",
                           "no-filename",
                           "only-matching",
                           "count",
                           "files-with-matches",
                           "files-without-match",
                           "invert-match",
                           "quiet",
                           "max-count",
                           "after-context",
                           "before-context",
                           "context",
                           "color",
                           "recursive",
                           "dereference-recursive",
                           "include",
                           "exclude",
                           "exclude-dir",
                           "output-encoding",
                           "pattern-encoding",
                           "help",
                           "version"}) {
    EXPECT_NE(help.find(std::string("--") + name), std::string::npos) << name;
    std::string roff = "\\-\\-";
    for (const char* c = name; *c != '\0'; ++c)
      roff += *c == '-' ? std::string("\\-") : std::string(1, *c);
    EXPECT_NE(man.find(roff), std::string::npos) << name;
  }
  // Groups in order, short letters beside their long names, hidden options left out.
  EXPECT_LT(help.find("\nPatterns:\n"), help.find("\nFolding:\n"));
  EXPECT_LT(help.find("\nFolding:\n"), help.find("\nOutput:\n"));
  EXPECT_NE(help.find("  -n, --line-number"), std::string::npos);
  EXPECT_NE(help.find("  -m, --max-count=NUM"), std::string::npos);
  EXPECT_NE(help.find("      --ignore-width"), std::string::npos);
  EXPECT_NE(help.find("  -R, --dereference-recursive\n" + std::string(30, ' ') + "search"),
            std::string::npos);
  // Filled to a terminal's 80 columns.
  std::size_t from = 0;
  for (std::size_t end; (end = help.find('\n', from)) != std::string::npos; from = end + 1) {
    EXPECT_LE(end - from, 80u) << help.substr(from, end - from);
  }
  EXPECT_EQ(help.find("generate-man"), std::string::npos);
  EXPECT_EQ(help.find("colour"), std::string::npos);
  EXPECT_EQ(man.rfind(".TH KENSAKU 1", 0), 0u);
  EXPECT_NE(man.find(".SH SYNOPSIS"), std::string::npos);
  EXPECT_NE(man.find(".SH EXIT STATUS"), std::string::npos);
  EXPECT_NE(man.find("\\fBGREP_COLORS\\fR"), std::string::npos);
  // Every line that opens with a dot is a macro of ours, never text taken for one.
  std::size_t at = 0;
  while ((at = man.find("\n.", at)) != std::string::npos) {
    ++at;
    const std::string macro = man.substr(at, 3);
    EXPECT_TRUE(macro == ".SH" || macro == ".TP" || macro == ".nf" || macro == ".fi")
        << man.substr(at, 40);
  }
  EXPECT_NE(man.find("\n\\&. any character"), std::string::npos);
  EXPECT_EQ(UsageText().find("Usage:\n  kensaku [OPTIONS] PATTERN [FILE...]\n"), 0u);
}

TEST(CliOptionsTest, Globs) {
  const struct {
    const char* glob;
    const char* name;
    bool matches;
  } kRows[] = {
      {"*.c", "a.c", true},
      {"*.c", ".c", true},        // no leading-dot rule
      {"*c", "d/sub/x.c", true},  // '*' and '?' take '/' too
      {"d?x", "d/x", true},
      {"a*b*c", "aXbYbZc", true},  // the last '*' gives back what the rest needs
      {"a*b*c", "aXbYbZ", false},
      {"**", "", true},
      {"q\\?.c", "qx.c", false},  // quoted: only itself
      {"q\\?.c", "q?.c", true},
      {"\\[ab]", "[ab]", true},
      {"[!a].c", "b.c", true},
      {"w[]]x", "w]x", true},  // ']' first is a member
      {"a[!]]", "a]", false},
      {"[a-]-b", "a-b", true},  // '-' last is a member
      {"[z-a]", "m", false},    // a range backwards holds nothing
      {"[\\]]", "]", true},
      {"w[x.c", "w[x.c", true},  // a '[' that opens no set is itself
      {"[a[-", "[a[-", true},    // unclosed, once its '[' took the name's '['
      {"[a-", "[a-", false},     // but a range with no end fails where it is met
      // Read as text on '[', the set's '*' is a star, and the first star is not gone back to.
      {"*[^*[Z-[=c=]", "[^", false},
      {"[[:upper:]][[:digit:]]", "A1", true},
      {"[[:foo:]]", "f", false},  // an unknown class matches nothing
      {"[a[:foo:]]", "a", true},  // unless a member before it matched
      {"[[.a.]-c]", "b", true},
      {"[[.a.]-]", "a", true},  // '-' last is a member after a collating symbol too
      {"[![.a.]-]", "a", false},
      {"[[=a=]]", "a", true},
      {"ab\\", "ab\\", true},   // a lone '\' at the end: text compared as it is
      {"a*\\", "ab\\", false},  // but with a wildcard, nothing
      // Whole UTF-8 characters: '?' takes one, a range compares code points.
      {"?", "\xC3\xA9", true},
      {"??", "\xC3\xA9", false},
      {"[\xC3\xA9]", "\xC3\xA9", true},
      {"[\xE3\x81\x81-\xE3\x82\x93]*", "\xE3\x81\x91\xE3\x82\x93", true},  // [ぁ-ん]* on けん
      {"[\xE3\x81\x81-\xE3\x82\x93]", "\xE3\x82\xB1", false},              // ケ
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(GlobMatches(row.glob, row.name), row.matches) << row.glob << " on " << row.name;
  }
}

#ifndef _WIN32
// The matcher against the system's fnmatch, on patterns of the pieces where the two could part:
// sets and their classes, ranges, quotes and stars. A lone '\' at the end is left out: there the
// matcher follows grep, which compares a pattern without wildcards as text.
TEST(CliOptionsTest, GlobsAgreeWithFnmatch) {
  const char* const kPieces[] = {
      "a",     "b",      "c",     "z",  "-",  "]",  "[",         "!",         "^",       "\\",
      "*",     "?",      "/",     ".",  ":",  "=",  "[:alpha:]", "[:digit:]", "[:foo:]", "[:zz:]",
      "[.a.]", "[.ab.]", "[=b=]", "[:", "[=", "[.", ".]",        "=]"};
  const char kNameChars[] = "abcz-][!^\\/.:=1";
  std::mt19937 random(7);
  int checked = 0;
  for (int i = 0; i < 200000; ++i) {
    std::string glob, name;
    for (int k = static_cast<int>(random() % 8); k > 0; --k) {
      glob += kPieces[random() % std::size(kPieces)];
    }
    for (int k = static_cast<int>(random() % 6); k > 0; --k) {
      name += kNameChars[random() % (sizeof kNameChars - 1)];
    }
    if (!glob.empty() && glob.back() == '\\') continue;
    // There glibc drops the collating symbol; the matcher keeps it, as POSIX does.
    if (glob.find(".]-]") != std::string::npos) continue;
    ++checked;
    ASSERT_EQ(GlobMatches(glob, name), fnmatch(glob.c_str(), name.c_str(), 0) == 0)
        << "'" << glob << "' on '" << name << "'";
  }
  EXPECT_GT(checked, 150000);
}
#endif

// Of --include and --exclude the last that matches decides, and a name none matches is kept
// unless the first was --include; operands match whole or after any '/'.
TEST(CliOptionsTest, IncludeAndExclude) {
  const struct {
    Strings args;
    const char* file;  // met in a walk
    const char* operand;
    bool skips_file;
    bool skips_operand;
  } kRows[] = {
      {{"--include=*.c"}, "a.h", "d/a.h", true, true},
      {{"--include=*.c", "--exclude=a*"}, "a.c", "a.c", true, true},
      {{"--include=*.c", "--exclude=a*"}, "b.h", "b.h", true, true},
      {{"--exclude=a*", "--include=*.c"}, "a.c", "a.c", false, false},
      {{"--exclude=a*", "--include=*.c"}, "a.h", "a.h", true, true},
      {{"--exclude=a*", "--include=*.c"}, "b.h", "b.h", false, false},  // none matched
      {{"--include=*.h", "--exclude=a*", "--include=*.c"}, "c.txt", "c.txt", true, true},
      {{"--exclude=a.c"}, "a.c", "./d/a.c", true, true},
      {{"--exclude=d/*.c"}, "a.c", "d/a.c", false, true},  // a walk matches names only
      {{"--exclude=d*c"}, "dc", "d/sub/x.c", true, true},
      {{"--exclude=/a.c"}, "a.c", "d//a.c", false, true},
      {{"--exclude=/a.c"}, "a.c", "/tmp/a.c", false, false},
      {{"--exclude=a.c/"}, "a.c", "a.c", false, false},  // no slash dropped from a file's glob
  };
  for (const auto& row : kRows) {
    Strings args = row.args;
    args.push_back("x");
    const Parsed p = Parse(args);
    ASSERT_TRUE(p.ok) << p.error;
    const std::string what = ::testing::PrintToString(row.args);
    EXPECT_EQ(p.options.names.SkipsFile(row.file), row.skips_file) << what << " " << row.file;
    EXPECT_EQ(p.options.names.SkipsFileOperand(row.operand), row.skips_operand)
        << what << " " << row.operand;
  }

  const Parsed p = Parse({"--exclude-dir=sub/", "--exclude-dir=.?", "--exclude=d", "x"});
  ASSERT_TRUE(p.ok) << p.error;
  const NameFilter& names = p.options.names;
  EXPECT_TRUE(names.SkipsDirectory("sub"));  // trailing slashes dropped
  EXPECT_TRUE(names.SkipsDirectory(".h"));
  EXPECT_FALSE(names.SkipsDirectory("d"));  // --exclude is for files
  EXPECT_FALSE(names.SkipsDirectory("subs"));
  EXPECT_TRUE(names.SkipsDirectoryOperand("d/sub"));
  EXPECT_TRUE(names.SkipsDirectoryOperand("./.h"));
  EXPECT_FALSE(names.SkipsDirectoryOperand("d/sub/"));  // grep keeps this one too
  EXPECT_FALSE(names.SkipsDirectoryOperand("sub/deeper"));
  EXPECT_FALSE(names.SkipsFile("sub"));
}

// The plan, told as the words of what differs from a plain search.
std::string Described(const Plan& p) {
  const SearchPlan& s = p.search;
  const PrintConfig& print = s.print;
  const Selection& sel = s.selection;
  std::string out;
  auto word = [&](bool on, const std::string& w) {
    if (on) out += (out.empty() ? "" : " ") + w;
  };
  const char* reports[] = {"", "count", "files-with", "files-without", "quiet"};
  word(print.report != Report::kLines, reports[static_cast<int>(print.report)]);
  word(print.with_name, "name");
  word(print.color, "color");
  word(print.color && print.colors.selected_match != "01;31", "ms=" + print.colors.selected_match);
  // UTF-8 unless asked otherwise, or the locale's charset says Shift_JIS or EUC-JP.
  word(!print.output, "raw");
  word(print.output && *print.output != Encoding::kUtf8,
       std::string("out=") + EncodingName(print.output.value_or(Encoding::kUtf8)));
  word(print.json, "json");
  word(print.vimgrep, "vimgrep");
  word(sel.parts, "parts");
  word(sel.numbered, "numbered");
  word(sel.invert, "invert");
  word(sel.bound != Bound::kNone, sel.bound == Bound::kWord ? "-w" : "-x");
  word(sel.after > 0, "A" + std::to_string(sel.after));
  word(sel.before > 0, "B" + std::to_string(sel.before));
  word(print.context, "context");
  word(print.gap_breaks, "gaps");
  word(true, "j" + std::to_string(s.threads));
  word(s.progress, "progress");
  word(s.progress_delay_ms != 1000, "delay" + std::to_string(s.progress_delay_ms));
  word(!p.warning.empty(), "warning");
  return out;
}

TEST(CliPlanTest, OptionsAndEnvironmentToPlan) {
  Environment tty;  // a UTF-8 terminal on both outputs, four cores
  tty.stdout_terminal = tty.stderr_terminal = true;
  tty.charset = "UTF-8";
  tty.cores = 4;
  auto with = [](Environment env, auto change) {
    change(env);
    return env;
  };
  const Environment pipe = with(tty, [](Environment& e) {
    e.stdout_terminal = e.stderr_terminal = false;
    e.charset = "ANSI_X3.4-1968";  // the C locale's
  });
  const struct {
    Strings args;
    Environment env;
    PlanInputs inputs;
    const char* plan;
  } kRows[] = {
      {{"x"}, pipe, {}, "j4"},
      {{"x"}, Environment{}, {}, "j1"},  // cores unknown
      {{"-j2", "x"}, pipe, {}, "j2"},
      {{"x"}, pipe, {true, false}, "name j4"},
      {{"-h", "x"}, pipe, {true, false}, "j4"},
      {{"-H", "x"}, pipe, {}, "name j4"},
      {{"-v", "x"}, pipe, {}, "invert j4"},
      {{"-v", "x"}, pipe, {false, true}, "j4"},  // an empty pattern: every line matches
      {{"x"}, pipe, {false, true}, "invert j4"},
      {{"-w", "-x", "x"}, pipe, {}, "-x j4"},
      {{"-l", "-L", "x"}, pipe, {}, "files-without j4"},
      // Colour on a terminal only, and not with NO_COLOR set or a dumb terminal.
      {{"x"}, tty, {}, "color parts j4 progress"},
      {{"-q", "x"}, tty, {}, "quiet color j4"},
      {{"x"}, with(tty, [](Environment& e) { e.no_color = "1"; }), {}, "j4 progress"},
      {{"x"}, with(tty, [](Environment& e) { e.no_color = ""; }), {}, "color parts j4 progress"},
      {{"x"}, with(tty, [](Environment& e) { e.term = "dumb"; }), {}, "j4 progress"},
      // One output encoding wherever the output goes: the locale's Shift_JIS or EUC-JP, else
      // UTF-8; raw: each file's own bytes.
      {{"x"},
       with(tty, [](Environment& e) { e.charset = "SHIFT_JIS"; }),
       {},
       "color out=sjis parts j4 progress"},
      {{"x"}, with(pipe, [](Environment& e) { e.charset = "EUC-JP"; }), {}, "out=euc-jp j4"},
      {{"x"}, with(pipe, [](Environment& e) { e.charset = "ISO-8859-1"; }), {}, "j4"},
      {{"x"}, with(pipe, [](Environment& e) { e.charset = ""; }), {}, "j4"},
      {{"--output-encoding=utf-8", "x"},
       with(pipe, [](Environment& e) { e.charset = "sjis"; }),
       {},
       "j4"},
      {{"--output-encoding=raw", "x"}, tty, {}, "color raw parts j4 progress"},
      {{"--output-encoding=euc-jp", "x"}, tty, {}, "color out=euc-jp parts j4 progress"},
      {{"--color=never", "--output-encoding=sjis", "x"}, tty, {}, "out=sjis j4 progress"},
      {{"--color=always", "--output-encoding=utf-8", "x"}, pipe, {}, "color parts j4"},
      // GREP_COLOR with a warning, GREP_COLORS over it; neither read without colour.
      {{"--color=always", "x"},
       with(pipe, [](Environment& e) { e.grep_color = "4"; }),
       {},
       "color ms=4 parts j4 warning"},
      {{"--color=always", "x"},
       with(pipe, [](Environment& e) { e.grep_color = "4", e.grep_colors = "ms=7"; }),
       {},
       "color ms=7 parts j4 warning"},
      {{"--color=always", "x"},
       with(pipe, [](Environment& e) { e.grep_color = "4x"; }),
       {},
       "color parts j4"},
      {{"x"}, with(pipe, [](Environment& e) { e.grep_color = "4"; }), {}, "j4"},
      // What each output kind asks of the searcher.
      {{"-n", "-C1", "x"}, pipe, {}, "numbered A1 B1 context j4"},
      {{"-A2", "-B0", "x"}, pipe, {}, "A2 context j4"},
      // Context of no lines still parts groups, which needs the line numbers.
      {{"-C0", "x"}, pipe, {}, "numbered context gaps j4"},
      {{"-A0", "-B0", "-n", "x"}, pipe, {}, "numbered context gaps j4"},
      {{"-o", "-B0", "x"}, pipe, {}, "parts j4"},
      {{"-l", "-A0", "x"}, pipe, {}, "files-with j4"},
      {{"-q", "--json", "x"}, pipe, {}, "quiet j4"},
      {{"-o", "-C2", "x"}, pipe, {}, "parts j4"},
      {{"-c", "-C2", "--color=always", "x"}, pipe, {}, "count color j4"},
      {{"--json", "-C1", "x"}, tty, {}, "json parts numbered A1 B1 context j4 progress"},
      {{"--json", "--vimgrep", "x"}, pipe, {}, "json parts numbered j4"},
      {{"--vimgrep", "x"}, pipe, {}, "vimgrep parts numbered j4"},
      {{"--column", "x"}, pipe, {}, "parts numbered j4"},
      {{"x"},
       with(tty, [](Environment& e) { e.progress_delay_ms = "5"; }),
       {},
       "color parts j4 progress delay5"},
  };
  for (const auto& row : kRows) {
    const Parsed p = Parse(row.args);
    ASSERT_TRUE(p.ok) << p.error;
    std::string args;
    for (const std::string& a : row.args) args += a + " ";
    EXPECT_EQ(Described(BuildPlan(p.options, row.env, row.inputs)), row.plan) << args;
  }
}
}  // namespace
}  // namespace kensaku::cli
