// The tool's options: one table from which the parser, --help and the man page all come, and the
// record a parse fills in. Nothing here searches or prints.
#ifndef KENSAKU_TOOLS_CLI_OPTIONS_H_
#define KENSAKU_TOOLS_CLI_OPTIONS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "glob.h"
#include "match/compiled_list.h"
#include "mbchar/encoding.h"
#include "mbchar/fold.h"
#include "search/file_source.h"

namespace kensaku::cli {

enum class Tristate { kAuto, kAlways, kNever };
// kRaw: each file's own bytes; kAuto: the locale's.
enum class Charset { kAuto, kSjis, kUtf8, kEucJp, kRaw };
enum class Binary { kBinary, kText, kWithoutMatch };
enum class Action { kSearch, kHelp, kVersion, kManPage };

// A pattern as given: the text of -e or the operand, or the name of a -f list file.
struct PatternSource {
  std::string text;
  bool from_file = false;
};

struct Options {
  Action action = Action::kSearch;
  std::vector<PatternSource> patterns;
  std::vector<std::string> files;

  SearchKind kind = SearchKind::kMatch;
  bool romaji = false;  // --romaji: the patterns are words of romaji, searched as literal kana
  std::string romaji_dict;  // --romaji-dict: the dictionary of kanji words, when not the default
  int fold_flags = 0;
  bool library_folds = false;  // --fold-flags: the word means what it means to the exports
  // The flags queries compare under: text as its readers see it, unless --fold-flags asks for
  // the exports' own folds.
  int CompareFlags() const { return library_folds ? fold_flags & kFoldBits : fold_flags | FoldAsRead; }

  int with_filename = -1;  // -1: only with several files or a recursive search
  bool line_numbers = false;
  bool only_matching = false;
  bool count = false;
  bool files_with_matches = false;
  bool files_without_match = false;
  bool invert = false;
  bool word = false;        // -w
  bool whole_line = false;  // -x, which wins over -w
  bool json = false;
  bool stats = false;  // --stats
  bool vimgrep = false;
  bool column = false;
  bool byte_offset = false;
  bool null_after_name = false;
  bool line_buffered = false;
  FileMapping mapping = FileMapping::kMeasured;
  bool quiet = false;
  bool no_messages = false;
  std::int64_t max_count = -1;  // -1: no limit
  int after = -1;               // -1: not given (0 still parts groups with "--")
  int before = -1;
  Tristate color = Tristate::kAuto;

  bool recursive = false;
  bool dereference = false;  // -R: symbolic links met in the tree are followed too
  NameFilter names;          // --include, --exclude, --exclude-dir
  Binary binary = Binary::kBinary;

  // The files' encoding, or each file's own when auto.
  bool encoding_auto = true;
  Encoding encoding = Encoding::kCp932;
  Charset output_encoding = Charset::kAuto;
  Charset pattern_encoding = Charset::kUtf8;
  int threads = 0;  // 0: one per core
};

// Parses the arguments after the program name. False with a one-line message in error (without
// the "kensaku: " prefix) on a usage error.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

// The short usage lines, the full --help text and the man page, all from the option table.
std::string UsageText();
std::string HelpText();
std::string ManPage();
std::string VersionText();

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_OPTIONS_H_
