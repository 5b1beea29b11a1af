#include "json_lines.h"

#include <cstdio>

namespace kensaku::cli {
namespace {

bool IsUtf8(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    const TextChar c = ReadTextChar(Encoding::kUtf8, text.data() + at, text.size() - at);
    if (c.broken) return false;
    at += c.length;
  }
  return true;
}

std::string Base64(const std::string& bytes) {
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

// Escaped as JSON writers escape: quotes, backslashes and control characters; the rest as it is.
void AppendEscaped(const std::string& text, std::string& out) {
  out += '"';
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\u%04x", c);
          out += hex;
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

std::string Elapsed(std::uint64_t nanos) {
  char human[32];
  std::snprintf(human, sizeof human, "%.6fs", static_cast<double>(nanos) / 1e9);
  return "{\"secs\":" + std::to_string(nanos / 1000000000) +
         ",\"nanos\":" + std::to_string(nanos % 1000000000) + ",\"human\":\"" + human + "\"}";
}

}  // namespace

std::string JsonData(const std::string& text) {
  std::string out;
  if (IsUtf8(text)) {
    out = "{\"text\":";
    AppendEscaped(text, out);
  } else {
    out = "{\"bytes\":\"" + Base64(text) + "\"";
  }
  return out + "}";
}

JsonFile::JsonFile(const std::string& path, Encoding encoding, JsonTotals* totals)
    : path_(JsonData(path)), encoding_(encoding), totals_(totals), start_(Clock::now()) {}

void JsonFile::Line(bool match, const FoundLine& line, bool ends_with_lf, std::string& out) {
  const std::size_t before = out.size();
  if (!begun_) {
    out += "{\"type\":\"begin\",\"data\":{\"path\":" + path_ + "}}\n";
    begun_ = true;
  }
  // The line in UTF-8, each part's place in it noted on the way.
  std::string utf8, submatches;
  std::size_t at = 0;
  for (const LineSpan& part : line.parts) {
    AppendUtf8(encoding_, line.text + at, part.start - at, utf8);
    const std::size_t start = utf8.size();
    AppendUtf8(encoding_, line.text + part.start, part.end - part.start, utf8);
    if (!submatches.empty()) submatches += ',';
    submatches += "{\"match\":" + JsonData(utf8.substr(start)) +
                  ",\"start\":" + std::to_string(start) + ",\"end\":" + std::to_string(utf8.size()) +
                  ",\"source_start\":" + std::to_string(part.start) +
                  ",\"source_end\":" + std::to_string(part.end) + "}";
    at = part.end;
  }
  AppendUtf8(encoding_, line.text + at, line.length - at, utf8);
  if (ends_with_lf) utf8 += '\n';
  out += std::string("{\"type\":\"") + (match ? "match" : "context") + "\",\"data\":{\"path\":" +
         path_ + ",\"lines\":" + JsonData(utf8) + ",\"line_number\":" +
         std::to_string(line.number) + ",\"absolute_offset\":" + std::to_string(line.offset) +
         ",\"submatches\":[" + (match ? submatches : "") + "],\"encoding\":\"" +
         EncodingName(encoding_) + "\"}}\n";
  if (match) {
    ++matched_lines_;
    matches_ += line.parts.size();
  }
  printed_ += out.size() - before;
}

void JsonFile::End(std::uint64_t bytes_searched, std::string& out) {
  const auto nanos = static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start_).count());
  if (totals_ != nullptr) {
    ++totals_->searches;
    totals_->searches_with_match += matched_lines_ > 0;
    totals_->bytes_searched += bytes_searched;
    totals_->matched_lines += matched_lines_;
    totals_->matches += matches_;
    totals_->nanos += nanos;
  }
  if (!begun_) return;
  std::string end = "{\"type\":\"end\",\"data\":{\"path\":" + path_ +
                    ",\"binary_offset\":null,\"stats\":{\"elapsed\":" + Elapsed(nanos) +
                    ",\"searches\":1,\"searches_with_match\":" +
                    std::to_string(matched_lines_ > 0 ? 1 : 0) +
                    ",\"bytes_searched\":" + std::to_string(bytes_searched) +
                    ",\"bytes_printed\":" + std::to_string(printed_) +
                    ",\"matched_lines\":" + std::to_string(matched_lines_) +
                    ",\"matches\":" + std::to_string(matches_) + "}}}\n";
  printed_ += end.size();
  if (totals_ != nullptr) totals_->bytes_printed += printed_;
  out += end;
}

std::string JsonSummary(const JsonTotals& totals, std::chrono::nanoseconds elapsed) {
  return "{\"data\":{\"elapsed_total\":" +
         Elapsed(static_cast<std::uint64_t>(elapsed.count())) +
         ",\"stats\":{\"bytes_printed\":" + std::to_string(totals.bytes_printed.load()) +
         ",\"bytes_searched\":" + std::to_string(totals.bytes_searched.load()) +
         ",\"elapsed\":" + Elapsed(totals.nanos.load()) +
         ",\"matched_lines\":" + std::to_string(totals.matched_lines.load()) +
         ",\"matches\":" + std::to_string(totals.matches.load()) +
         ",\"searches\":" + std::to_string(totals.searches.load()) +
         ",\"searches_with_match\":" + std::to_string(totals.searches_with_match.load()) +
         "}},\"type\":\"summary\"}\n";
}

}  // namespace kensaku::cli
