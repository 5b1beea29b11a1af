// The tool's --json messages of lines of any bytes (any encoding, broken characters, NUL, control
// characters) and any file name: each message is one line of strict JSON; its text is UTF-8 and
// its bytes base64; the line reads back as the line's characters in UTF-8, broken ones in their
// own bytes; each submatch's start and end slice it to the submatch's own text, the matched part.
// Input: settings (bits 0-1 the encoding, bit 2 a context line, bit 3 no LF), file name, NUL,
// parts (pairs of characters to skip and to take), NUL, line.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "json_lines.h"
#include "mbchar/encoding.h"
#include "printer.h"
#include "stats.h"

namespace {

// The checker's own branches are no coverage of the writer's: left out of what the fuzzer traces,
// and fast.
#define UNTRACED __attribute__((no_sanitize("coverage")))

// A JSON value, as far as the checks need it.
struct Value {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  std::string text;     // a string's characters in UTF-8, or a number's digits
  std::vector<Value> items;
  std::map<std::string, Value> fields;

  const Value& operator[](const std::string& key) const {
    static const Value kNone;
    const auto it = fields.find(key);
    return it == fields.end() ? kNone : it->second;
  }
};

// RFC 8259 read strictly: no trailing commas, no leading zeros, no raw control characters,
// strings of valid UTF-8 whose escapes pair their surrogates, no duplicate keys, nothing after.
class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  UNTRACED bool Document(Value& v) {
    Space();
    if (!Parse(v, 0)) return false;
    Space();
    return at_ == s_.size();
  }

 private:
  UNTRACED bool Parse(Value& v, int depth) {
    if (depth > 64 || at_ >= s_.size()) return false;
    const char c = s_[at_];
    if (c == '{') return Object(v, depth);
    if (c == '[') return Array(v, depth);
    if (c == '"') {
      v.kind = Value::kString;
      return String(v.text);
    }
    if (Word("true") || Word("false")) {
      v.kind = Value::kBool;
      return true;
    }
    if (Word("null")) return true;
    return Number(v);
  }

  UNTRACED bool Word(std::string_view w) {
    if (s_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }

  UNTRACED void Space() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' ||
                               s_[at_] == '\r')) {
      ++at_;
    }
  }

  UNTRACED bool Digits() {
    const std::size_t from = at_;
    while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
    return at_ > from;
  }

  UNTRACED bool Number(Value& v) {
    const std::size_t from = at_;
    if (at_ < s_.size() && s_[at_] == '-') ++at_;
    if (at_ < s_.size() && s_[at_] == '0') {
      ++at_;
    } else if (!Digits()) {
      return false;
    }
    if (at_ < s_.size() && s_[at_] == '.' && (++at_, !Digits())) return false;
    if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
      ++at_;
      if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) ++at_;
      if (!Digits()) return false;
    }
    v.kind = Value::kNumber;
    v.text = s_.substr(from, at_ - from);
    return true;
  }

  UNTRACED bool Hex4(unsigned& u) {
    if (at_ + 4 > s_.size()) return false;
    u = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = s_[at_++];
      const int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
      if (d < 0) return false;
      u = u << 4 | static_cast<unsigned>(d);
    }
    return true;
  }

  UNTRACED bool String(std::string& out) {
    ++at_;
    for (;;) {
      if (at_ >= s_.size()) return false;
      const auto c = static_cast<unsigned char>(s_[at_]);
      if (c == '"') {
        ++at_;
        return true;
      }
      if (c < 0x20) return false;
      if (c >= 0x80) {
        const kensaku::TextChar ch =
            kensaku::ReadTextChar(kensaku::Encoding::kUtf8, s_.data() + at_, s_.size() - at_);
        if (ch.broken) return false;
        out.append(s_.substr(at_, ch.length));
        at_ += ch.length;
        continue;
      }
      ++at_;
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= s_.size()) return false;
      const char e = s_[at_++];
      const char* const kEscapes = "\"\\/bfnrt";
      const char* const kMeans = "\"\\/\b\f\n\r\t";
      if (e != '\0' && e != 'u') {
        const char* k = std::strchr(kEscapes, e);
        if (k == nullptr) return false;
        out += kMeans[k - kEscapes];
        continue;
      }
      if (e != 'u') return false;
      unsigned u;
      if (!Hex4(u)) return false;
      if (u >= 0xDC00 && u <= 0xDFFF) return false;
      if (u >= 0xD800 && u <= 0xDBFF) {
        unsigned low;
        if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
        u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
      }
      kensaku::AppendUtf8Of(u, out);
    }
  }

  UNTRACED bool Array(Value& v, int depth) {
    v.kind = Value::kArray;
    ++at_;
    Space();
    if (Word("]")) return true;
    for (;;) {
      Space();
      v.items.emplace_back();
      if (!Parse(v.items.back(), depth + 1)) return false;
      Space();
      if (Word("]")) return true;
      if (!Word(",")) return false;
    }
  }

  UNTRACED bool Object(Value& v, int depth) {
    v.kind = Value::kObject;
    ++at_;
    Space();
    if (Word("}")) return true;
    for (;;) {
      Space();
      std::string key;
      if (at_ >= s_.size() || s_[at_] != '"' || !String(key)) return false;
      Space();
      if (!Word(":")) return false;
      Space();
      Value item;
      if (!Parse(item, depth + 1)) return false;
      if (!v.fields.emplace(std::move(key), std::move(item)).second) return false;
      Space();
      if (Word("}")) return true;
      if (!Word(",")) return false;
    }
  }

  std::string_view s_;
  std::size_t at_ = 0;
};

// Base64 with its padding, strictly; false for anything else.
UNTRACED bool Unbase64(const std::string& in, std::string& out) {
  static const std::string kDigits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  if (in.size() % 4 != 0) return false;
  for (std::size_t i = 0; i < in.size(); i += 4) {
    std::uint32_t v = 0;
    int pad = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = in[i + k];
      if (c == '=' && i + 4 == in.size() && k >= 2) {
        ++pad;
        v <<= 6;
        continue;
      }
      const std::size_t d = kDigits.find(c);
      if (pad > 0 || d == std::string::npos) return false;
      v = v << 6 | static_cast<std::uint32_t>(d);
    }
    for (int k = 0; k < 3 - pad; ++k) out += static_cast<char>(v >> (16 - 8 * k) & 0xFF);
  }
  return true;
}

// The bytes of a {"text": ...} or {"bytes": ...}; the text must be UTF-8, which the parser saw.
std::string DataOf(const Value& v) {
  CHECK(v.kind == Value::kObject && v.fields.size() == 1);
  if (v["text"].kind == Value::kString) return v["text"].text;
  CHECK(v["bytes"].kind == Value::kString);
  std::string bytes;
  CHECK(Unbase64(v["bytes"].text, bytes));
  return bytes;
}

std::uint64_t NumberOf(const Value& v) {
  CHECK(v.kind == Value::kNumber && v.text.find_first_not_of("0123456789") == std::string::npos);
  CHECK(v.text.size() <= 19);
  return std::stoull(v.text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using kensaku::Encoding;
  const kensaku_fuzz::Input in = kensaku_fuzz::Split(data, size, 3);
  static constexpr Encoding kEncodings[] = {Encoding::kCp932, Encoding::kUtf8, Encoding::kEucJp,
                                            Encoding::kUtf8};
  kensaku::cli::PrintConfig config;
  config.json = true;
  config.encoding = kEncodings[in.settings & 3];
  if ((in.settings & 3) == 3) config.file_encoding = Encoding::kUtf16Le;
  const bool match = (in.settings & 0x04) == 0;
  const std::string& name = in.texts[0];
  const std::string& line = in.texts[2];

  // The parts at character boundaries, as a matcher finds them; the line as the writer should
  // give it, and where each part lies in that.
  std::vector<std::size_t> starts;  // of each character, then the line's end
  std::string expected;
  std::vector<std::size_t> at_expected;
  for (std::size_t at = 0; at < line.size();) {
    const kensaku::TextChar c = kensaku::ReadTextChar(config.encoding, line.data() + at,
                                                      line.size() - at);
    starts.push_back(at);
    at_expected.push_back(expected.size());
    if (c.broken || config.encoding == Encoding::kUtf8) {
      expected.append(line, at, c.length);
    } else {
      kensaku::AppendUtf8Of(c.unicode, expected);
    }
    at += c.length;
  }
  starts.push_back(line.size());
  at_expected.push_back(expected.size());
  std::vector<kensaku::LineSpan> parts;
  std::vector<std::pair<std::size_t, std::size_t>> expected_parts;
  std::size_t k = 0;
  const std::string& steps = in.texts[1];  // each part: characters skipped, then its length
  for (std::size_t i = 0; i + 1 < steps.size(); i += 2) {
    const std::size_t from = std::min(k + (steps[i] & 7), starts.size() - 1);
    const std::size_t to = std::min(from + (steps[i + 1] & 7), starts.size() - 1);
    parts.push_back({starts[from], starts[to]});
    expected_parts.emplace_back(at_expected[from], at_expected[to]);
    k = to;
  }

  kensaku::FoundLine found;
  found.number = 7;
  found.text = line.c_str();
  found.length = line.size();
  found.parts = parts;
  found.source_parts = parts;
  found.offset = found.source_offset = 11;
  found.lf = (in.settings & 0x08) == 0;
  if (found.lf) expected += '\n';

  std::string out;
  kensaku::cli::JsonRun run;
  {
    auto sink = kensaku::cli::NewJsonSink(run, config, name, out, nullptr, nullptr, nullptr);
    if (match) {
      sink->Matched(found);
    } else {
      sink->Context(found);
    }
    kensaku::SearchEnd end;
    end.bytes_searched = 11 + line.size() + found.lf;
    end.lines = 7;
    end.selected = match;
    sink->Finish(end);
  }
  kensaku::cli::Skipped skipped;
  skipped.Add(kensaku::cli::Skip::kBinary, in.settings >> 4 & 3);
  out += run.Summary(skipped);

  int messages = 0;
  for (std::size_t from = 0; from < out.size();) {
    const std::size_t lf = out.find('\n', from);
    CHECK(lf != std::string::npos);
    Value message;
    CHECK(Parser(std::string_view(out).substr(from, lf - from)).Document(message));
    from = lf + 1;
    ++messages;
    const std::string& type = message["type"].text;
    const Value& body = message["data"];
    CHECK(body.kind == Value::kObject);
    if (type == "begin" || type == "end") CHECK(DataOf(body["path"]) == name);
    if (type != "match" && type != "context") continue;
    CHECK(type == (match ? "match" : "context"));
    CHECK(DataOf(body["path"]) == name);
    const std::string lines = DataOf(body["lines"]);
    CHECK(lines == expected);
    CHECK(NumberOf(body["line_number"]) == 7 && NumberOf(body["absolute_offset"]) == 11);
    const Value& submatches = body["submatches"];
    CHECK(submatches.kind == Value::kArray);
    CHECK(submatches.items.size() == (match ? parts.size() : 0));
    for (std::size_t i = 0; i < submatches.items.size(); ++i) {
      const Value& s = submatches.items[i];
      const std::uint64_t start = NumberOf(s["start"]), end = NumberOf(s["end"]);
      CHECK(start == expected_parts[i].first && end == expected_parts[i].second);
      CHECK(DataOf(s["match"]) == lines.substr(start, end - start));
      CHECK(NumberOf(s["source_start"]) == parts[i].start &&
            NumberOf(s["source_end"]) == parts[i].end);
    }
  }
  CHECK(messages == 4);
  return 0;
}
