#include "options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "mbchar/fold.h"

namespace kensaku::cli {
namespace {

bool ParseNumber(const std::string& text, std::int64_t max, std::int64_t& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v < 0 || v > max) return false;
  value = v;
  return true;
}

template <typename T>
bool SetNumber(const std::string& text, std::int64_t max, T& to) {
  std::int64_t n = 0;
  if (!ParseNumber(text, max, n)) return false;
  to = static_cast<T>(n);
  return true;
}

bool ParseWhen(const std::string& text, Tristate& when) {
  if (text == "auto" || text == "tty" || text == "if-tty") {
    when = Tristate::kAuto;
  } else if (text == "always" || text == "yes" || text == "force") {
    when = Tristate::kAlways;
  } else if (text == "never" || text == "no" || text == "none") {
    when = Tristate::kNever;
  } else {
    return false;
  }
  return true;
}

// Shift_JIS or UTF-8 by any of their names; for the output also EUC-JP, raw and auto.
bool ParseEncoding(const std::string& text, bool output, Charset& encoding) {
  Encoding named = Encoding::kUtf16Le;
  if (output && (text == "auto" || text == "raw")) {
    encoding = text == "auto" ? Charset::kAuto : Charset::kRaw;
  } else if (EncodingNamed(text, named) && named == Encoding::kCp932) {
    encoding = Charset::kSjis;
  } else if (named == Encoding::kUtf8) {
    encoding = Charset::kUtf8;
  } else if (output && named == Encoding::kEucJp) {
    encoding = Charset::kEucJp;
  } else {
    return false;
  }
  return true;
}

// One option: its names, its argument, where --help shows it, and what it sets. set returns
// false for an argument it cannot take; the error then names the option and its choices.
struct OptionDef {
  char short_name;        // 0: long form only
  const char* long_name;  // null: short form only
  const char* arg;        // the argument's name, or null for a flag
  const char* group;      // null: hidden (and no prefix of it is taken)
  const char* help;
  bool (*set)(Options& o, const std::string& arg);
  const char* choices = nullptr;  // added to the error for a bad argument
  const char* alias = nullptr;    // another long name, taken whole only
};

using Arg = const std::string&;

// The one table: the parser, --help and the man page read it in this order.
const OptionDef kOptions[] = {
    {'e', "regexp", "PATTERN", "Patterns", "a pattern to search for; repeatable, and with -f",
     [](Options& o, Arg arg) {
       return o.patterns.push_back({arg, false}), true;
     }},
    {'f', "file", "LISTFILE", "Patterns",
     "patterns from a file, one per line ('-': standard input)",
     [](Options& o, Arg arg) {
       return o.patterns.push_back({arg, true}), true;
     }},
    {'F', "fixed-strings", nullptr, "Patterns", "patterns are literal text (the inclusion engine)",
     [](Options& o, Arg) { return o.kind = SearchKind::kInc, o.romaji = false, true; }},
    {'E', "extended-regexp", nullptr, "Patterns",
     "patterns are regular expressions (| ? * + {n,m} ( ) \\d \\p{Han} ...), every fold applied",
     [](Options& o, Arg) { return o.kind = SearchKind::kRegex, o.romaji = false, true; }},
    {0, "romaji", nullptr, "Patterns",
     "patterns are romaji (kensaku, tato): found as the kana they type, in every script and width",
     [](Options& o, Arg) {
       // With --and, before or after: romaji words joined by &.
       if (o.kind != SearchKind::kMatchs) o.kind = SearchKind::kInc;
       return o.romaji = true, true;
     }},
    {0, "romaji-dict", "FILE", "Patterns",
     "the SKK dictionary --romaji finds kanji words in (default: $KENSAKU_ROMAJI_DICT, else "
     "/usr/share/skk/SKK-JISYO.L)",
     [](Options& o, Arg arg) { return o.romaji_dict = arg, true; }},
    {0, "and", nullptr, "Patterns",
     "patterns are terms joined by &, all found in this order (with --romaji, romaji words)",
     [](Options& o, Arg) { return o.kind = SearchKind::kMatchs, true; }},
    {'i', "ignore-case", nullptr, "Folding", "ignore the case of letters",
     [](Options& o, Arg) { return o.fold_flags |= FoldToUpper, true; }},
    {'k', "ignore-kana", nullptr, "Folding", "ignore hiragana against katakana",
     [](Options& o, Arg) { return o.fold_flags |= FoldKanaToKatakana, true; }},
    {0, "ignore-width", nullptr, "Folding",
     "ignore full width against half width (ｶﾞ as ガ; voicing still counts)",
     [](Options& o, Arg) { return o.fold_flags |= FoldToHalfWidth, true; }},
    {0, "ignore-digits", nullptr, "Folding", "read full-width digits and numeric symbols as ASCII",
     [](Options& o, Arg) { return o.fold_flags |= FoldNumeric, true; }},
    {0, "ignore-variants", nullptr, "Folding",
     "read old and variant kanji as the common form (髙 as 高, 﨑 as 崎, 邊 as 辺)",
     [](Options& o, Arg) { return o.fold_flags |= FoldVariants, true; }},
    {0, "fold-flags", "N", "Folding",
     "the exports' FoldFlags word (0x01-0x7F), folding as they do (half width drops voicing)",
     [](Options& o, Arg arg) {
       int flags = 0;
       o.library_folds = true;
       return SetNumber(arg, kFoldBits, flags) && (o.fold_flags |= flags, true);
     }},
    {'n', "line-number", nullptr, "Output", "prefix each line with its number",
     [](Options& o, Arg) { return o.line_numbers = true; }},
    {'H', "with-filename", nullptr, "Output",
     "prefix each line with its file name (default with several files or -r)",
     [](Options& o, Arg) { return o.with_filename = 1, true; }},
    {'h', "no-filename", nullptr, "Output", "never prefix file names",
     [](Options& o, Arg) { return o.with_filename = 0, true; }},
    {'o', "only-matching", nullptr, "Output", "print only the matched parts, one per line",
     [](Options& o, Arg) { return o.only_matching = true; }},
    {'c', "count", nullptr, "Output", "print the number of selected lines of each file",
     [](Options& o, Arg) { return o.count = true; }},
    {'l', "files-with-matches", nullptr, "Output",
     "print only the names of files with a selected line",
     [](Options& o, Arg) { return o.files_without_match = false, o.files_with_matches = true; }},
    {'L', "files-without-match", nullptr, "Output", "print only the names of files without one",
     [](Options& o, Arg) { return o.files_with_matches = false, o.files_without_match = true; }},
    {'v', "invert-match", nullptr, "Output", "select the lines that do not match",
     [](Options& o, Arg) { return o.invert = true; }},
    {'w', "word-regexp", nullptr, "Output",
     "only matches with no letter, digit or _ (ASCII or full-width) right before or after",
     [](Options& o, Arg) { return o.word = true; }},
    {'x', "line-regexp", nullptr, "Output", "only matches of the whole line",
     [](Options& o, Arg) { return o.whole_line = true; }},
    {0, "json", nullptr, "Output",
     "JSON Lines (begin, match, context, end, summary), text in UTF-8, as editors read",
     [](Options& o, Arg) { return o.json = true; }},
    {0, "stats", nullptr, "Output",
     "after the results, what the search came to: matches, lines, files searched and skipped "
     "(by reason), bytes, seconds",
     [](Options& o, Arg) { return o.stats = true; }},
    {0, "vimgrep", nullptr, "Output", "FILE:LINE:COLUMN:TEXT once for each match",
     [](Options& o, Arg) { return o.vimgrep = true; }},
    {0, "column", nullptr, "Output",
     "the first match's column (1-based, in the bytes printed) after the line number",
     [](Options& o, Arg) { return o.column = true; }},
    {'b', "byte-offset", nullptr, "Output",
     "the offset in the file of each line (with -o, of each match)",
     [](Options& o, Arg) { return o.byte_offset = true; }},
    {'Z', "null", nullptr, "Output", "a NUL byte after each file name",
     [](Options& o, Arg) { return o.null_after_name = true; }},
    {0, "line-buffered", nullptr, "Output", "write each line out at once",
     [](Options& o, Arg) { return o.line_buffered = true; }},
    {'q', "quiet", nullptr, "Output", "print nothing; exit 0 at the first selected line",
     [](Options& o, Arg) { return o.quiet = true; }},
    {'s', "no-messages", nullptr, "Output", "no messages about missing or unreadable files",
     [](Options& o, Arg) { return o.no_messages = true; }},
    {'m', "max-count", "NUM", "Output", "stop reading a file after NUM selected lines",
     [](Options& o, Arg arg) { return SetNumber(arg, INT64_MAX, o.max_count); }},
    {'A', "after-context", "NUM", "Output", "print NUM lines after each selected line",
     [](Options& o, Arg arg) { return SetNumber(arg, 1 << 30, o.after); }},
    {'B', "before-context", "NUM", "Output", "print NUM lines before each selected line",
     [](Options& o, Arg arg) { return SetNumber(arg, 1 << 30, o.before); }},
    {'C', "context", "NUM", "Output", "print NUM lines around each selected line",
     [](Options& o, Arg arg) {
       return SetNumber(arg, 1 << 30, o.after) && SetNumber(arg, 1 << 30, o.before);
     }},
    {0, "color", "WHEN", "Output",
     "highlight matches, file names and line numbers: auto (on a terminal), always, never; "
     "grep's codes, or those GREP_COLORS sets",
     [](Options& o, Arg arg) { return ParseWhen(arg, o.color); }, " (auto, always or never)",
     "colour"},
    {'r', "recursive", nullptr, "Files",
     "search directories, following symbolic links only when named",
     [](Options& o, Arg) { return o.recursive = true; }},
    {'R', "dereference-recursive", nullptr, "Files",
     "search directories, following every symbolic link",
     [](Options& o, Arg) { return o.recursive = o.dereference = true; }},
    {0, "include", "GLOB", "Files",
     "search only files whose name matches GLOB (*, ?, [...], \\ quoting); repeatable",
     [](Options& o, Arg arg) { return o.names.Include(arg), true; }},
    {0, "exclude", "GLOB", "Files",
     "pass over files whose name matches GLOB; repeatable. Of all --include and --exclude, the "
     "last whose GLOB matches decides; a name none matches is searched unless the first was "
     "--include. A file met in a directory is matched by its own name, one named on the command "
     "line by the whole name or any part after a /",
     [](Options& o, Arg arg) { return o.names.Exclude(arg), true; }},
    {0, "exclude-dir", "GLOB", "Files",
     "pass over directories whose name matches GLOB, met in a directory or named; repeatable",
     [](Options& o, Arg arg) { return o.names.ExcludeDirectory(arg), true; }},
    {'a', "text", nullptr, "Files", "search binary files as text",
     [](Options& o, Arg) { return o.binary = Binary::kText, true; }},
    {'I', nullptr, nullptr, "Files", "pass over binary files",
     [](Options& o, Arg) { return o.binary = Binary::kWithoutMatch, true; }},
    {0, "mmap", nullptr, "Files",
     "map large files into memory rather than read them (default: where this machine maps "
     "faster than it reads)",
     [](Options& o, Arg) { return o.mapping = FileMapping::kLarge, true; }},
    {0, "no-mmap", nullptr, "Files", "read every file, never map it",
     [](Options& o, Arg) { return o.mapping = FileMapping::kNever, true; }},
    {'j', "threads", "NUM", "Files", "search NUM files at a time (default: one per core)",
     [](Options& o, Arg arg) { return SetNumber(arg, 256, o.threads); }},
    {0, "encoding", "ENC", "Encodings",
     "the files' encoding: auto (default: each file's own, told by its bytes), sjis, utf-8, "
     "euc-jp, utf-16le, utf-16be or iso-2022-jp",
     [](Options& o, Arg arg) {
       o.encoding_auto = arg == "auto";
       return o.encoding_auto || EncodingNamed(arg, o.encoding);
     },
     " (auto, sjis, utf-8, euc-jp, utf-16le, utf-16be or iso-2022-jp)"},
    {0, "output-encoding", "ENC", "Encodings",
     "the lines' encoding, one for every file: auto (default: the locale's, Shift_JIS or EUC-JP "
     "where it is one of those, else UTF-8), utf-8, sjis, euc-jp, or raw (each file's own bytes)",
     [](Options& o, Arg arg) { return ParseEncoding(arg, true, o.output_encoding); },
     " (auto, utf-8, sjis, euc-jp or raw)"},
    {0, "pattern-encoding", "ENC", "Encodings",
     "utf-8 (default: any character, found in every encoding) or sjis (Shift_JIS bytes as "
     "they are)",
     [](Options& o, Arg arg) { return ParseEncoding(arg, false, o.pattern_encoding); },
     " (utf-8 or sjis)"},
    {0, "help", nullptr, "Other", "print this help and exit",
     [](Options& o, Arg) { return o.action = Action::kHelp, true; }},
    {'V', "version", nullptr, "Other", "print the version and exit",
     [](Options& o, Arg) { return o.action = Action::kVersion, true; }},
    {0, "generate-man", nullptr, nullptr, nullptr,
     [](Options& o, Arg) { return o.action = Action::kManPage, true; }},
};

constexpr const char* kGroups[] = {"Patterns", "Folding", "Output", "Files", "Encodings", "Other"};

std::string Name(const OptionDef& def) {
  if (def.long_name != nullptr) return std::string("--") + def.long_name;
  return std::string("-") + def.short_name;
}

bool Apply(const OptionDef& def, const std::string& arg, Options& o, std::string& error) {
  if (def.set(o, arg)) return true;
  error = "invalid argument '" + arg + "' for " + Name(def) + (def.choices ? def.choices : "");
  return false;
}

const OptionDef* FindShort(char c) {
  for (const OptionDef& def : kOptions) {
    if (def.short_name == c) return &def;
  }
  return nullptr;
}

// An exact long name, or a prefix of exactly one (as getopt allows).
const OptionDef* FindLong(std::string_view name, bool& ambiguous) {
  const OptionDef* found = nullptr;
  ambiguous = false;
  for (const OptionDef& def : kOptions) {
    if (def.long_name == nullptr) continue;
    const std::string_view long_name = def.long_name;
    if (long_name == name || (def.alias != nullptr && def.alias == name)) return &def;
    if (long_name.substr(0, name.size()) == name && def.group != nullptr) {
      if (found != nullptr) ambiguous = true;
      found = &def;
    }
  }
  return ambiguous ? nullptr : found;
}

constexpr const char* kForms[] = {"[OPTIONS] PATTERN [FILE...]",
                                  "[OPTIONS] -e PATTERN... [FILE...]",
                                  "[OPTIONS] -f LISTFILE... [FILE...]"};

// "-n, --line-number", "    --color=WHEN", "-I"
std::string Flags(const OptionDef& def) {
  std::string s;
  if (def.short_name != 0) {
    s += '-';
    s += def.short_name;
    if (def.long_name != nullptr) s += ", ";
  } else {
    s += "    ";
  }
  if (def.long_name != nullptr) {
    s += "--";
    s += def.long_name;
    if (def.arg != nullptr) s += std::string("=") + def.arg;
  } else if (def.arg != nullptr) {
    s += std::string(" ") + def.arg;
  }
  return s;
}

// Roff needs its hyphens and backslashes escaped, and no control character opening a line.
std::string Roff(const std::string& text) {
  std::string s = !text.empty() && (text[0] == '.' || text[0] == '\'') ? "\\&" : "";
  for (char c : text) {
    if (c == '-' || c == '\\') s += '\\';
    s += c;
  }
  return s;
}

// Words filled into lines of at most 80 columns; the first line starts at column first, the
// others at column rest.
std::string Wrap(const std::string& text, std::size_t first, std::size_t rest) {
  constexpr std::size_t kWidth = 80;
  std::string out(first, ' ');
  std::size_t column = first;
  bool line_start = true;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    if (!line_start && column + 1 + word.size() > kWidth) {
      out += '\n';
      out.append(rest, ' ');
      column = rest;
      line_start = true;
    }
    if (!line_start) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    line_start = false;
    at = end + 1;
  }
  return out;
}

const char kDescription[] =
    "Searches Japanese text line by line with the kensaku engines: Shift_JIS, UTF-8, EUC-JP, "
    "UTF-16 and ISO-2022-JP, each file in its own encoding. Comparisons are made on whole "
    "characters, so the second byte of a double-byte character is never an ASCII one, and kana, "
    "case, width and digits can be folded alike in every encoding. PATTERN is terminal text.";

const char kPatternLanguage[] =
    ". any character, [a-z] and [^x] sets, x* one x and any more, #x lets x pass over one "
    "character, a leading @ reports a zero-width match, a leading ^ anchors at the line start, "
    "\\t, \\r, and \\ before any other character.";

const char kExitStatus[] =
    "0 when a line was selected, 1 when none was, 2 on an error (with -q, a selected line wins).";

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
  std::vector<std::string> operands;
  const std::size_t given = o.patterns.size();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      operands.insert(operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                      args.end());
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      operands.push_back(arg);
      continue;
    }
    if (arg[1] == '-') {
      const std::size_t eq = arg.find('=');
      const std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
      bool ambiguous = false;
      const OptionDef* def = FindLong(name, ambiguous);
      if (def == nullptr) {
        error = std::string(ambiguous ? "option '--" + name + "' is ambiguous"
                                      : "unrecognized option '--" + name + "'");
        return false;
      }
      // The name as given when it is the alias, or the whole name of a prefix.
      const std::string shown =
          def->alias != nullptr && name == def->alias ? arg.substr(0, eq) : Name(*def);
      std::string value;
      if (def->arg == nullptr) {
        if (eq != std::string::npos) {
          error = "option '" + shown + "' doesn't allow an argument";
          return false;
        }
      } else if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        error = "option '" + shown + "' requires an argument";
        return false;
      }
      if (!Apply(*def, value, o, error)) return false;
      continue;
    }
    for (std::size_t k = 1; k < arg.size(); ++k) {
      const OptionDef* def = FindShort(arg[k]);
      if (def == nullptr) {
        error = std::string("invalid option -- '") + arg[k] + "'";
        return false;
      }
      std::string value;
      if (def->arg != nullptr) {
        if (k + 1 < arg.size()) {
          value = arg.substr(k + 1);
        } else if (i + 1 < args.size()) {
          value = args[++i];
        } else {
          error = std::string("option requires an argument -- '") + arg[k] + "'";
          return false;
        }
        k = arg.size();
      }
      if (!Apply(*def, value, o, error)) return false;
    }
  }
  if (o.action != Action::kSearch) return true;
  // JSON Lines are lines and their files: a count or a name has no message of its own.
  if (o.json && (o.count || o.files_with_matches || o.files_without_match)) {
    error = "--json cannot be used with -c, -l or -L";
    return false;
  }
  std::size_t first_file = 0;
  if (o.patterns.size() == given) {  // no -e or -f: the first operand is the pattern
    if (operands.empty()) {
      error = "no pattern given";
      return false;
    }
    o.patterns.push_back({operands[0], false});
    first_file = 1;
  }
  o.files.assign(operands.begin() + static_cast<std::ptrdiff_t>(first_file), operands.end());
  return true;
}

std::string UsageText() {
  std::string s = "Usage:\n";
  for (const char* form : kForms) s += std::string("  kensaku ") + form + "\n";
  return s;
}

std::string HelpText() {
  constexpr std::size_t kColumn = 30;
  std::string s = UsageText() + "\n" + Wrap(kDescription, 0, 0) + "\n";
  for (const char* group : kGroups) {
    s += std::string("\n") + group + ":\n";
    for (const OptionDef& def : kOptions) {
      if (def.group == nullptr || std::strcmp(def.group, group) != 0) continue;
      const std::string flags = "  " + Flags(def);
      if (flags.size() + 2 > kColumn) {
        s += flags + "\n" + Wrap(def.help, kColumn, kColumn) + "\n";
      } else {
        s += flags + Wrap(def.help, kColumn, kColumn).substr(flags.size()) + "\n";
      }
    }
  }
  s += "\n" + Wrap(std::string("The pattern language: ") + kPatternLanguage, 0, 0) + "\n";
  s += "\n" +
       Wrap(std::string("FILE '-' or none is standard input. Exit status: ") + kExitStatus, 0, 0) +
       "\n";
  return s;
}

std::string ManPage() {
  std::string s = ".TH KENSAKU 1 \"\" \"kensaku " KENSAKU_VERSION "\" \"User Commands\"\n";
  s += ".SH NAME\nkensaku \\- search Japanese text with kana, case, width and digit folding\n";
  s += ".SH SYNOPSIS\n.nf\n";
  for (const char* form : kForms) s += "\\fBkensaku\\fR " + Roff(form) + "\n";
  s += ".fi\n";
  s += ".SH DESCRIPTION\n" + Roff(kDescription) + "\n";
  for (const char* group : kGroups) {
    std::string heading = group;
    for (char& c : heading) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    s += ".SH " + heading + (heading == "OTHER" ? " OPTIONS\n" : "\n");
    for (const OptionDef& def : kOptions) {
      if (def.group == nullptr || std::strcmp(def.group, group) != 0) continue;
      std::string flags = Flags(def);
      flags.erase(0, flags.find_first_not_of(' '));
      s += ".TP\n\\fB" + Roff(flags) + "\\fR\n" + Roff(def.help) + "\n";
    }
  }
  s += ".SH PATTERN LANGUAGE\n" + Roff(kPatternLanguage) + "\n";
  s += ".SH EXIT STATUS\n" + Roff(kExitStatus) + "\n";
  s += ".SH ENVIRONMENT\n.TP\n\\fBNO_COLOR\\fR\n" +
       Roff("when set and not empty, --color=auto highlights nothing") +
       "\n.TP\n\\fBGREP_COLORS\\fR\n" +
       Roff(
           "colours as grep reads them: ms, mc, sl, cx, fn, ln and se set the SGR codes of "
           "matches in selected and context lines, of those lines, of file names, line numbers "
           "and separators; mt sets ms and mc; rv trades sl and cx under -v; ne leaves out "
           "the erasing to the line end. Others are passed over; a malformed entry ends the "
           "reading") +
       "\n.TP\n\\fBGREP_COLOR\\fR\n" +
       Roff("the older way to set ms and mc, still read, with a warning, as grep has it") +
       "\n.TP\n\\fBKENSAKU_PROGRESS_DELAY_MS\\fR\n" +
       Roff("milliseconds a search runs on a terminal before its progress shows (default 1000)") +
       "\n";
  return s;
}

std::string VersionText() { return "kensaku " KENSAKU_VERSION "\n"; }

}  // namespace kensaku::cli
