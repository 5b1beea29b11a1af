// kensaku: search Shift_JIS files from a terminal with the library's own engines.
//
//   kensaku [options] PATTERN FILE...
//
// PATTERN and the output are terminal text (UTF-8), converted to and from Shift_JIS; a PATTERN
// holding line breaks is a list of patterns, tried in order on every line.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "encoding.h"
#include "frame/settings.h"
#include "match/compiled_list.h"
#include "match/pattern_list.h"
#include "mbchar/fold.h"
#include "search/hit_writer.h"
#include "search/searcher.h"

namespace kensaku::cli {
namespace {

const char kUsage[] =
    "usage: kensaku [options] PATTERN FILE...\n"
    "Searches Shift_JIS text files line by line.\n"
    "\n"
    "Kinds of pattern (one of):\n"
    "  -e   pattern language: . [a-z] [^x] x* #x @ \\t; a leading ^ anchors (default)\n"
    "  -a   all of several patterns joined by &, in order\n"
    "  -F   literal text\n"
    "Folding (any):\n"
    "  -i   ignore case          -k   ignore hiragana/katakana\n"
    "  -w   ignore width (also kana and voicing marks)\n"
    "  -d   full-width digits and numeric symbols as ASCII\n"
    "Output:\n"
    "  -n   prefix line numbers  -o   only the matched parts (not with -F)\n"
    "  -f LIST   read the patterns from a file, one per line (terminal text)\n"
    "  --sjis    PATTERN and output are Shift_JIS bytes, unconverted\n"
    "Exit status: 0 when something was found, 1 when nothing, 2 on errors.\n";

struct Options {
  SearchKind kind = SearchKind::kMatch;
  int fold = 0;
  bool numbers = false;
  bool only_matching = false;
  bool raw = false;
  std::string patterns;
  bool have_patterns = false;
  std::vector<std::string> files;
};

bool ReadText(const char* path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "kensaku: %s\n", message.c_str());
  return 2;
}

bool Parse(int argc, char** argv, Options& o, std::string& error) {
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg == "--sjis") {
      o.raw = true;
      continue;
    }
    if (arg == "-f") {
      if (++i == argc || !ReadText(argv[i], o.patterns)) {
        error = "cannot read the pattern list";
        return false;
      }
      o.have_patterns = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") return false;
    for (std::size_t k = 1; k < arg.size(); ++k) {
      switch (arg[k]) {
        case 'e': o.kind = SearchKind::kMatch; break;
        case 'a': o.kind = SearchKind::kMatchs; break;
        case 'F': o.kind = SearchKind::kInc; break;
        case 'i': o.fold |= FoldToUpper; break;
        case 'k': o.fold |= FoldKanaToKatakana; break;
        case 'w': o.fold |= FoldToHalfWidth; break;
        case 'd': o.fold |= FoldNumeric; break;
        case 'n': o.numbers = true; break;
        case 'o': o.only_matching = true; break;
        default:
          error = "unknown option -" + std::string(1, arg[k]);
          return false;
      }
    }
  }
  if (!o.have_patterns) {
    if (i == argc) return false;
    o.patterns = argv[i++];
  }
  for (; i < argc; ++i) o.files.emplace_back(argv[i]);
  if (o.files.empty()) {
    error = "no file to search";
    return false;
  }
  return true;
}

bool ToStdout(void* writer, const char* bytes, std::size_t n) {
  if (writer == nullptr) return std::fwrite(bytes, 1, n, stdout) == n;
  return static_cast<Utf8Writer*>(writer)->Write(bytes, n);
}

}  // namespace

int Main(int argc, char** argv) {
  Options o;
  std::string error;
  if (!Parse(argc, argv, o, error)) {
    if (!error.empty()) Fail(error);
    std::fputs(kUsage, error.empty() ? stdout : stderr);
    return 2;
  }
  std::string list = o.patterns;
  if (!o.raw && !ToShiftJis(o.patterns, list)) {
    return Fail("the pattern has a character that Shift_JIS does not have");
  }
  SetFoldFlags(o.fold);
  SetLineMode(o.numbers ? 1 : 0);
  SetOutputMode(o.only_matching && o.kind != SearchKind::kInc ? 0 : 1);

  const ListText entries(list.c_str());
  if (!entries.ok()) return Fail("no pattern to search for");
  const CompiledList compiled(o.kind, entries.entries());
  Utf8Writer converter;
  Output out(ToStdout, o.raw ? nullptr : &converter);
  HitWriter writer(out);
  int status = 1;
  for (const std::string& file : o.files) {
    InputFile in(file.c_str());
    if (in.failed()) {
      Fail("cannot read " + file);
      status = 2;
      continue;
    }
    if (o.files.size() > 1) {
      const std::string header = "==> " + file + " <==\n";
      out.Write(header.data(), header.size());
    }
    const std::size_t before = out.total();
    ScanState state;
    Search(compiled, in, writer, state);
    if (out.total() > before && status == 1) status = 0;
  }
  const bool written = out.Close() && (o.raw || converter.Finish());
  if (!written) return Fail("cannot write the output");
  return status;
}

}  // namespace kensaku::cli

int main(int argc, char** argv) { return kensaku::cli::Main(argc, argv); }
