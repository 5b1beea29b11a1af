#include "json_lines.h"

#include <bit>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kensaku::cli {
namespace {

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      v = v << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= n ? kDigits[v >> (18 - 6 * k) & 63] : '=';
    }
  }
  return out;
}

bool NeedsEscape(unsigned char c) { return c < 0x20 || c == '"' || c == '\\'; }

// The place of the next byte from i on that JSON must escape, or n: sixteen at a time.
std::size_t NextEscape(const char* p, std::size_t i, std::size_t n) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
  const __m128i control = _mm_set1_epi8(0x1F);
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)),
                     _mm_cmpeq_epi8(_mm_max_epu8(v, control), control));
    if (const int m = _mm_movemask_epi8(hit); m != 0) {
      return i + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(m)));
    }
  }
#endif
  while (i < n && !NeedsEscape(static_cast<unsigned char>(p[i]))) ++i;
  return i;
}

// Escaped as JSON writers escape: quotes, backslashes and control characters; the rest as it is,
// appended a run at a time (most lines need no escape at all).
void AppendEscaped(std::string_view text, std::string& out) {
  out += '"';
  for (std::size_t run = 0;;) {
    const std::size_t i = NextEscape(text.data(), run, text.size());
    out.append(text, run, i - run);
    if (i == text.size()) break;
    run = i + 1;
    const auto c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default: {
        static constexpr char kHex[] = "0123456789abcdef";
        const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
        out.append(escape, sizeof escape);
      }
    }
  }
  out += '"';
}

std::string Elapsed(std::uint64_t nanos) {
  char human[32];
  std::snprintf(human, sizeof human, "%.6fs", static_cast<double>(nanos) / 1e9);
  return JsonObject()
      .Number("secs", nanos / 1000000000)
      .Number("nanos", nanos % 1000000000)
      .String("human", human)
      .Close();
}

// Text of the file's encoding appended as UTF-8. A sequence the encoding cannot read keeps its
// own bytes, so that the text says what the file holds: true when there was one.
bool AppendAsUtf8(Encoding encoding, const char* text, std::size_t n, std::string& out) {
  if (encoding != Encoding::kCp932 && encoding != Encoding::kEucJp) {
    out.append(text, n);  // the lines of every other encoding are read as UTF-8
    return false;
  }
  bool broken = false;
  for (std::size_t at = 0; at < n;) {
    const TextChar c = ReadTextChar(encoding, text + at, n - at);
    if (c.broken) {
      out.append(text + at, c.length);
      broken = true;
    } else {
      AppendUtf8Of(c.unicode, out);
    }
    at += c.length;
  }
  return broken;
}

// The messages of one file. A line's message waits for the next report or the end of the
// search: only then is it known whether the line ended with a LF.
class JsonSink final : public FileSink {
 public:
  JsonSink(JsonRun& run, const PrintConfig& config, const std::string& name, std::string& out,
           std::function<void()> drain, std::atomic<bool>* stop, ReadMeter* meter)
      : FileSink(config, name, out, std::move(drain), stop, meter),
        run_(run),
        path_(JsonData(name)),
        start_(Clock::now()) {}

  void Matched(const FoundLine& line) override {
    if (done_) return;
    ++selected_;
    ++matched_lines_;
    matches_ += line.parts.size();
    if (config_.binary) {
      BinaryMatches();
      return;
    }
    Write(true, line);
  }

  void Context(const FoundLine& line) override {
    if (done_ || config_.binary) return;
    Write(false, line);
  }

  void Finish(const SearchEnd& end) override {
    const auto nanos = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start_).count());
    ++run_.searches;
    run_.searches_with_match += matched_lines_ > 0;
    run_.bytes_searched += end.bytes_searched;
    run_.matched_lines += matched_lines_;
    run_.matches += matches_;
    run_.nanos += nanos;
    // A binary file that matches has its begin and end, with no line between.
    if (config_.binary && matched_lines_ > 0) Begin();
    if (begun_) {
      const std::string stats = JsonObject()
                                    .Json("elapsed", Elapsed(nanos))
                                    .Number("searches", 1)
                                    .Number("searches_with_match", matched_lines_ > 0 ? 1 : 0)
                                    .Number("bytes_searched", end.bytes_searched)
                                    .Number("bytes_printed", printed_)
                                    .Number("matched_lines", matched_lines_)
                                    .Number("matches", matches_)
                                    .Close();
      JsonObject data;
      data.Json("path", path_);
      if (config_.binary) {
        data.Number("binary_offset", config_.binary_offset);
      } else {
        data.Json("binary_offset", "null");
      }
      out_ += Message("end", data.Json("stats", stats).Close());
    }
    // The summary adds up what each end says.
    run_.bytes_printed += printed_;
    Drain();
  }

 private:
  using Clock = std::chrono::steady_clock;

  static std::string Message(std::string_view type, const std::string& data) {
    return JsonObject().String("type", type).Json("data", data).Close() + "\n";
  }

  void Begin() {
    if (begun_) return;
    begun_ = true;
    Add(Message("begin", JsonObject().Json("path", path_).Close()));
  }

  void Add(const std::string& message) {
    out_ += message;
    printed_ += message.size();
  }

  // A line's message, written as it comes (a live stream shows each at once).
  void Write(bool match, const FoundLine& line) {
    Begin();
    const Encoding encoding = config_.encoding;
    const char* text = line.text;
    // The line in UTF-8, each part's place in it noted on the way.
    std::string utf8, submatches;
    bool broken = false;
    std::size_t at = 0;
    for (std::size_t i = 0; i < line.parts.size(); ++i) {
      const LineSpan& part = line.parts[i];
      broken |= AppendAsUtf8(encoding, text + at, part.start - at, utf8);
      const std::size_t start = utf8.size();
      const bool part_broken =
          AppendAsUtf8(encoding, text + part.start, part.end - part.start, utf8);
      broken |= part_broken;
      at = part.end;
      if (!match) continue;
      if (!submatches.empty()) submatches += ',';
      submatches += JsonObject()
                        .Data("match", std::string_view(utf8).substr(start), part_broken)
                        .Number("start", start)
                        .Number("end", utf8.size())
                        .Number("source_start", line.source_parts[i].start)
                        .Number("source_end", line.source_parts[i].end)
                        .Close();
    }
    broken |= AppendAsUtf8(encoding, text + at, line.length - at, utf8);
    if (line.lf) utf8 += '\n';
    Add(Message(match ? "match" : "context",
                JsonObject()
                    .Json("path", path_)
                    .Data("lines", utf8, broken)
                    .Number("line_number", static_cast<std::uint64_t>(line.number))
                    .Number("absolute_offset", line.source_offset)
                    .Json("submatches", "[" + submatches + "]")
                    .String("encoding", EncodingName(config_.file_encoding.value_or(encoding)))
                    .Close()));
    MaybeDrain();
  }

  JsonRun& run_;
  const std::string path_;
  const Clock::time_point start_;
  bool begun_ = false;
  std::uint64_t printed_ = 0, matched_lines_ = 0;
};

}  // namespace

void JsonObject::Key(std::string_view key) {
  // Keys are the writer's own names, which need no escape; written at once, as every message
  // has several.
  const std::size_t at = text_.size();
  const std::size_t comma = at > 1 ? 1 : 0;
  text_.resize(at + comma + key.size() + 3);
  char* p = text_.data() + at;
  if (comma != 0) *p++ = ',';
  *p++ = '"';
  std::memcpy(p, key.data(), key.size());
  p += key.size();
  *p++ = '"';
  *p = ':';
}

JsonObject& JsonObject::Json(std::string_view key, std::string_view json) {
  Key(key);
  text_ += json;
  return *this;
}

JsonObject& JsonObject::String(std::string_view key, std::string_view text) {
  Key(key);
  AppendEscaped(text, text_);
  return *this;
}

JsonObject& JsonObject::Number(std::string_view key, std::uint64_t n) {
  Key(key);
  char digits[20];
  text_.append(digits,
               static_cast<std::size_t>(std::to_chars(digits, digits + 20, n).ptr - digits));
  return *this;
}

JsonObject& JsonObject::Data(std::string_view key, std::string_view text, bool broken) {
  return Json(key, JsonData(text, broken));
}

std::string JsonData(std::string_view text, bool broken) {
  if (!broken && FirstBrokenUtf8(text.data(), text.size()) == text.size()) return JsonObject().String("text", text).Close();
  return JsonObject().String("bytes", Base64(text)).Close();
}

std::unique_ptr<FileSink> NewJsonSink(JsonRun& run, const PrintConfig& config,
                                      const std::string& name, std::string& out,
                                      std::function<void()> drain, std::atomic<bool>* stop,
                                      ReadMeter* meter) {
  return std::make_unique<JsonSink>(run, config, name, out, std::move(drain), stop, meter);
}

std::string JsonRun::Summary(const Skipped& skipped) const {
  const std::uint64_t elapsed = ElapsedNanos();
  const std::string stats = JsonObject()
                                .Number("bytes_printed", bytes_printed.load())
                                .Number("bytes_searched", bytes_searched.load())
                                .Json("elapsed", Elapsed(nanos.load()))
                                .Number("matched_lines", matched_lines.load())
                                .Number("matches", matches.load())
                                .Number("searches", searches.load())
                                .Number("searches_with_match", searches_with_match.load())
                                .Close();
  return JsonObject()
             .Json(
                 "data",
                 JsonObject()
                     .Json("elapsed_total", Elapsed(elapsed))
                     .Json("stats", stats)
                     .Json("skipped", SkippedJson(skipped))
                     .Close())
             .String("type", "summary")
             .Close() +
         "\n";
}

}  // namespace kensaku::cli
