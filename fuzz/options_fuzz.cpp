// The tool's option parser on an argument vector made of the input (NUL separates arguments),
// the conversions between terminal text and the files' encodings on every argument, and the
// patterns a parse gives, gathered and compiled and tried on the arguments as lines.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "mbchar/encoding.h"
#include "mbchar/internal_text.h"
#include "options.h"
#include "match/pattern_error.h"
#include "patterns.h"

namespace {

// The arguments tried as lines and converted: enough to mix options, patterns and text.
constexpr std::size_t kTried = 8;

// True when the text is well-formed UTF-8 (what AppendUtf8 must always produce).
bool IsUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3
                          : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* p = reinterpret_cast<const char*>(data);
  const char* const end = p + size;
  std::vector<std::string> args;
  while (p <= end && args.size() < 32) {
    const char* q = p;
    while (q < end && *q != '\0') ++q;
    args.emplace_back(p, q);
    p = q + 1;
  }

  kensaku::cli::Options options;
  std::string error;
  if (kensaku::cli::ParseOptions(args, options, error)) {
    if (options.action == kensaku::cli::Action::kSearch && options.patterns.empty()) std::abort();
  } else if (error.empty()) {
    std::abort();  // every refusal names its reason
  }

  // List files are left alone: "-f -" would wait for standard input.
  bool from_files = false;
  for (const auto& source : options.patterns) from_files = from_files || source.from_file;
  std::vector<std::string> patterns;
  std::unique_ptr<kensaku::Query> query;
  kensaku::ExtraChars extras;
  int flags = 0;
  // A pattern its syntax cannot read is refused with a PatternError, as the tool reports it.
  auto build = [&] {
    try {
      query = kensaku::cli::BuildQuery(patterns, options.kind, options.fold_flags);
    } catch (const kensaku::PatternError&) {
    }
    return query != nullptr;
  };
  if (!from_files && kensaku::cli::CollectPatterns(options, patterns, extras, flags, error) &&
      build()) {
    std::vector<kensaku::LineSpan> spans;
    for (std::size_t k = 0; k < args.size() && k < kTried; ++k) {
      const std::string& line = args[k];
      const bool selected = query->Selects(line.c_str(), line.size());
      query->MatchedParts(line.c_str(), line.size(), spans);
      for (std::size_t i = 0; i < spans.size(); ++i) {
        if (spans[i].start >= spans[i].end || spans[i].end > line.size()) std::abort();
        if (i > 0 && spans[i].start < spans[i - 1].end) std::abort();
      }
      if (!spans.empty() && !selected) std::abort();
    }
  }

  for (std::size_t k = 0; k < args.size() && k < kTried; ++k) {
    const std::string& arg = args[k];
    std::string internal, problem;
    kensaku::ExtraChars own;
    if (!kensaku::InternalFromUtf8(arg, own, internal, problem) && problem.empty()) std::abort();
    for (kensaku::Encoding e : {kensaku::Encoding::kCp932, kensaku::Encoding::kEucJp}) {
      std::string utf8;
      kensaku::AppendUtf8(e, arg.data(), arg.size(), utf8);
      if (!IsUtf8(utf8)) std::abort();
      // Text that came from Shift_JIS or EUC-JP reads back, but for the replacement characters,
      // and every Shift_JIS character has a Shift_JIS form.
      if (utf8.find("\xEF\xBF\xBD") == std::string::npos) {
        kensaku::ExtraChars none;
        if (!kensaku::InternalFromUtf8(utf8, none, internal, problem)) std::abort();
        if (e == kensaku::Encoding::kCp932 && !none.empty()) std::abort();
      }
    }
  }
  return 0;
}
