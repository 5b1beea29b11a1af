// kensaku: search Japanese text files from a terminal with the library's own engines, with grep's
// conventions. This file only wires the options to a search.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "files.h"
#include "options.h"
#include "patterns.h"
#include "plan.h"
#include "platform.h"
#include "search.h"
#include "search/dictionary_file.h"
#include "search/file_source.h"

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

// A pattern's character that the one encoding every file is read in cannot hold: that pattern
// finds nothing, and the user is told once for each such character.
void WarnOfCharsNoFileHolds(const std::vector<std::string>& patterns, const ExtraChars& extras,
                            Encoding encoding) {
  std::vector<char32_t> told;
  for (const std::string& pattern : patterns) {
    for (char32_t u : ExtraCharsIn(pattern, extras)) {
      if (CanHold(encoding, u) || std::find(told.begin(), told.end(), u) != told.end()) continue;
      told.push_back(u);
      const std::string utf8 = FormsOfUnicode(Encoding::kUtf8, u).front();
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(u));
      std::fprintf(stderr, "kensaku: '%s' (%s) cannot occur in %s text: no line holds it\n",
                   utf8.c_str(), code, EncodingName(encoding));
    }
  }
}

// A search in the library's language that selected nothing, with a pattern that a regular
// expression reads otherwise ("a|b"): the user is told, once, where regular expressions are.
void NoteRegexSyntax(const Options& o, const std::vector<std::string>& patterns) {
  const bool language =
      !o.romaji && (o.kind == SearchKind::kMatch || o.kind == SearchKind::kMatchs);
  if (!language || o.quiet || o.no_messages ||
      std::none_of(patterns.begin(), patterns.end(), HoldsRegexSyntax)) {
    return;
  }
  std::fputs("kensaku: note: the pattern is read in kensaku's own syntax; -E reads regular "
             "expressions\n",
             stderr);
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
  SetFileMapping(o.mapping);
  std::vector<std::string> patterns;
  auto extras = std::make_shared<ExtraChars>();
  int fold_flags = 0;
  if (!CollectPatterns(o, patterns, *extras, fold_flags, error)) return Fail(error);

  // Romaji finds kanji words with a dictionary; without one, kana only, and a note says why.
  std::shared_ptr<const RomajiDictionary> dictionary;
  if (o.romaji) {
    const std::string path = o.romaji_dict.empty() ? RomajiDictionary::DefaultPath() : o.romaji_dict;
    std::string problem;
    dictionary = OpenRomajiDictionary(path, problem);
    if (dictionary == nullptr && !o.romaji_dict.empty()) return Fail(path + ": " + problem);
    if (dictionary == nullptr && !o.no_messages) {
      std::fprintf(stderr, "kensaku: note: %s %s (install skkdic, or give --romaji-dict): "
                   "romaji finds kana only\n", path.c_str(), problem.c_str());
    }
  }
  Queries queries;
  try {
    queries = BuildQueries(patterns, o.kind, fold_flags, extras, BoundOf(o), o.romaji, dictionary);
  } catch (const PatternError& e) {
    return Fail(DescribePatternError(e, patterns, *extras));
  }
  if (!o.encoding_auto) WarnOfCharsNoFileHolds(patterns, *extras, o.encoding);
  // As grep: with -m 0 no line can be selected, so no file is opened and nothing is said; only
  // -L still names every file.
  if (o.max_count == 0 && !o.files_without_match) return 1;

  std::vector<Target> targets;
  bool with_name = false;
  Skipped skipped;
  CollectOperands(o, targets, with_name, skipped);

  const Plan plan = BuildPlan(o, Environment::Current(), {with_name, queries.every_line});
  if (!plan.warning.empty()) std::fprintf(stderr, "kensaku: %s\n", plan.warning.c_str());
  const SearchResult result = SearchAll(plan.search, queries, targets, skipped);
  if (!result.selected) NoteRegexSyntax(o, patterns);
  if (o.quiet && result.selected) return 0;
  if (result.error) return 2;
  return result.selected ? 0 : 1;
}

}  // namespace kensaku::cli

// Whatever goes wrong ends the tool with grep's code for trouble and a line that says what,
// never an abort.
int main(int argc, char** argv) {
  try {
    return kensaku::cli::Main(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("kensaku: memory exhausted\n", stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kensaku: %s\n", e.what());
  }
  return 2;
}
