// The reentrant C interface through its header alone: a query of fuzzed patterns and options
// (kind, folds, encodings, bound, any of them out of range), then a search of fuzzed bytes as a
// buffer and as a stream fed in fuzzed pieces. An option out of range is refused with
// KENSAKU_E_ARGUMENT, a refused query says why; both searches give the same hits (numbers,
// offsets, lines, spans) and encoding; spans lie in their lines, in order; and the query matches
// each hit's line with the spans the hit has.
// Input: settings (bit 0 lengths given, bit 1 Shift_JIS patterns, bit 2 inverted, bit 3 no
// spans, bits 4-5 the bound, bit 6 a bound out of range, bit 7 a kind, encoding or fold out of
// range), options (kind, fold, encoding, max count), NUL, patterns split at 0x01, NUL, piece
// lengths, NUL, text.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "kensaku_search.h"

namespace {

struct Hit {
  int64_t number;
  uint64_t offset;
  std::string line;
  std::vector<uint64_t> spans;
  bool operator==(const Hit&) const = default;
};

// Every hit of the batches until the search ends or waits for input; the status it stopped on.
int Drain(kensaku_search* search, std::vector<Hit>& hits) {
  kensaku_batch batch;
  int status;
  while ((status = kensaku_search_next(search, &batch)) == KENSAKU_HITS) {
    CHECK(batch.count > 0);
    for (std::size_t i = 0; i < batch.count; ++i) {
      const uint64_t from = i == 0 ? 0 : batch.line_ends[i - 1];
      const uint64_t pairs = i == 0 ? 0 : batch.span_ends[i - 1];
      CHECK(batch.line_ends[i] >= from && batch.span_ends[i] >= pairs);
      hits.push_back({batch.numbers[i], batch.offsets[i],
                      std::string(batch.lines + from, batch.line_ends[i] - from),
                      std::vector<uint64_t>(batch.spans + 2 * pairs,
                                            batch.spans + 2 * batch.span_ends[i])});
    }
  }
  return status;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (const char c : text) {
    if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

struct QueryFree {
  void operator()(kensaku_query* q) const { kensaku_query_free(q); }
};
using Query = std::unique_ptr<kensaku_query, QueryFree>;

// Whether the bytes are well-formed UTF-8 (no surrogates, nothing overlong or past U+10FFFF).
bool IsUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3
                               : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    std::uint32_t u = n == 1 ? b : b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      u = u << 6 | (c & 0x3F);
    }
    static const std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (u < kLeast[n] || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return false;
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kensaku_fuzz::Input in = kensaku_fuzz::Split(data, size, 4);
  const std::uint8_t s = in.settings;
  const std::string& o = in.texts[0];
  auto option = [&o](std::size_t i) -> unsigned { return i < o.size() ? o[i] & 0xFF : 0; };

  kensaku_query_options options;
  kensaku_query_options_init(&options);
  options.kind = static_cast<int>(option(0) % 6);
  options.fold = option(1);
  options.encoding = static_cast<int>(option(2) % 7);
  options.max_count = option(3) == 0 ? -1 : static_cast<int64_t>(option(3) % 8);
  options.pattern_encoding = s & 0x02 ? KENSAKU_ENCODING_SJIS : KENSAKU_ENCODING_UTF8;
  options.invert = (s & 0x04) != 0;
  options.spans = (s & 0x08) == 0;
  int bound = s >> 4 & 3;
  bool invalid = false;
  if (s & 0x40) {
    bound = bound == 3 ? -1 : 3;
    invalid = true;
  }
  if (s & 0x80) {
    const int pattern_encoding = static_cast<int>(option(4) >> 2) % 7;
    switch (option(4) % 4) {
      case 0: options.kind = option(0) & 1 ? -1 : 6 + static_cast<int>(option(0) >> 1); break;
      case 1: options.fold |= 0x100u << (option(1) % 24); break;
      case 2: options.encoding = option(2) & 1 ? -1 : 7 + static_cast<int>(option(2) >> 1); break;
      default: options.pattern_encoding = pattern_encoding; break;
    }
    invalid = invalid || option(4) % 4 != 3 ||
              (pattern_encoding != KENSAKU_ENCODING_UTF8 && pattern_encoding != KENSAKU_ENCODING_SJIS);
  }

  const std::vector<std::string> patterns = SplitAt(in.texts[1], '\x01');
  std::vector<const char*> pointers;
  std::vector<std::size_t> lengths;
  for (const std::string& p : patterns) {
    pointers.push_back(p.c_str());
    lengths.push_back(p.size());
  }
  kensaku_error error;
  // Compiling is most of the work: a query made for an earlier input of the same settings,
  // options and patterns is used again (queries are made to be shared), so that inputs that
  // differ in their text alone run fast.
  static std::map<std::string, Query> queries;
  const std::string key = std::string(1, static_cast<char>(s)) + o + '\0' + in.texts[1];
  auto found = queries.find(key);
  if (found == queries.end()) {
    if (queries.size() >= 256) queries.clear();
    Query made(kensaku_query_new_bounded(pointers.data(), s & 0x01 ? lengths.data() : nullptr,
                                         pointers.size(), &options, bound, &error));
    if (invalid) CHECK(made.get() == nullptr && error.code == KENSAKU_E_ARGUMENT);
    if (made.get() == nullptr) {
      CHECK(error.code < 0 && error.message[0] != '\0');
      CHECK(std::memchr(error.message, '\0', sizeof error.message) != nullptr);
      if (error.code == KENSAKU_E_PATTERN) CHECK(error.pattern < patterns.size());
      return 0;
    }
    CHECK(error.code == 0);
    found = queries.emplace(key, std::move(made)).first;
  }
  const kensaku_query* query = found->second.get();

  const std::string& text = in.texts[3];
  // Any text in any encoding turns into UTF-8, cut short to the room given.
  for (int e = KENSAKU_ENCODING_AUTO; e <= KENSAKU_ENCODING_ISO2022JP; ++e) {
    std::string utf8(3 * text.size() + 4, '\0');
    const int64_t n = kensaku_to_utf8(e, text.data(), text.size(), utf8.data(), utf8.size() - 1);
    CHECK(n >= 0 && static_cast<std::size_t>(n) < utf8.size() && utf8[n] == '\0');
    utf8.resize(static_cast<std::size_t>(n));
    CHECK(IsUtf8(utf8));
    char head[8];
    const std::size_t room = text.size() % 8;
    CHECK(kensaku_to_utf8(e, text.data(), text.size(), head, room) == n);
    if (room > 0) CHECK(std::strlen(head) <= room - 1);
  }
  std::vector<Hit> buffered, streamed;
  kensaku_search* search = kensaku_search_buffer(query, text.data(), text.size(), &error);
  CHECK(search != nullptr);
  CHECK(Drain(search, buffered) == KENSAKU_DONE);
  const int encoding = kensaku_search_encoding(search);
  const int64_t lines = kensaku_search_lines(search);
  kensaku_search_free(search);

  search = kensaku_search_stream(query, &error);
  CHECK(search != nullptr);
  const std::string& pieces = in.texts[2];
  std::size_t at = 0;
  for (std::size_t k = 0; at < text.size(); ++k) {
    const std::size_t n = pieces.empty() ? text.size()
                                         : std::min<std::size_t>(
                                               static_cast<unsigned char>(pieces[k % pieces.size()]),
                                               text.size() - at);
    CHECK(kensaku_search_feed(search, text.data() + at, n) == 0);
    at += n;
    const int status = Drain(search, streamed);
    // Only a count reached ends a search before its input does.
    if (status == KENSAKU_DONE && options.max_count >= 0) break;
    CHECK(status == KENSAKU_MORE_INPUT);
  }
  kensaku_search_end_input(search);
  CHECK(Drain(search, streamed) == KENSAKU_DONE);
  CHECK(kensaku_search_encoding(search) == encoding);
  if (options.max_count < 0) CHECK(kensaku_search_lines(search) == lines);
  CHECK(kensaku_search_feed(search, "x", 1) < 0);
  kensaku_search_free(search);
  CHECK(buffered == streamed);

  // The lines are in the text's encoding, UTF-16 and ISO-2022-JP given as UTF-8.
  const int line_encoding = encoding >= KENSAKU_ENCODING_UTF16LE ? KENSAKU_ENCODING_UTF8 : encoding;
  int64_t last = 0;
  for (const Hit& hit : buffered) {
    CHECK(hit.number > last && hit.offset <= text.size());
    last = hit.number;
    // The offset is of the line's first byte in the text: there the line's own bytes are (and
    // a LF or the end after them), or for UTF-16 the units that turn into it.
    if (encoding <= KENSAKU_ENCODING_EUC_JP) {
      CHECK(text.compare(hit.offset, hit.line.size(), hit.line) == 0);
      const std::size_t end = hit.offset + hit.line.size();
      CHECK(end == text.size() || text[end] == '\n');
    } else if (encoding != KENSAKU_ENCODING_ISO2022JP &&
               hit.line.find('\xFF') == std::string::npos) {
      std::string rest(3 * (text.size() - hit.offset) + 4, '\0');
      const int64_t n = kensaku_to_utf8(encoding, text.data() + hit.offset,
                                        text.size() - hit.offset, rest.data(), rest.size());
      CHECK(n >= 0 && rest.compare(0, hit.line.size(), hit.line) == 0);
    }
    CHECK(hit.spans.size() % 2 == 0);
    if (options.invert || !options.spans) CHECK(hit.spans.empty());
    for (std::size_t i = 0; i < hit.spans.size(); i += 2) {
      CHECK(hit.spans[i] <= hit.spans[i + 1] && hit.spans[i + 1] <= hit.line.size());
      if (i > 0) CHECK(hit.spans[i - 1] <= hit.spans[i]);
    }
    if (hit.line.find('\0') != std::string::npos) continue;
    std::vector<uint64_t> spans(2 * hit.line.size() + 2);
    std::size_t count = 0;
    const int r = kensaku_query_match(query, hit.line.data(), hit.line.size(), line_encoding,
                                      spans.data(), spans.size() / 2, &count);
    CHECK(r == (options.invert ? 0 : 1));
    spans.resize(2 * count);
    if (!options.invert && options.spans) CHECK(spans == hit.spans);
  }
  if (options.max_count >= 0) CHECK(buffered.size() <= static_cast<std::size_t>(options.max_count));
  return 0;
}
