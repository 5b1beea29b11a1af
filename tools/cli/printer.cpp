#include "printer.h"

#include <utility>

#include "mbchar/encoding.h"

namespace kensaku::cli {
namespace {

constexpr std::size_t kDrainBytes = 1 << 16;

}  // namespace

void Colors::Start(const std::string& sgr, std::string& out) const {
  if (sgr.empty()) return;
  out += "\33[";
  out += sgr;
  out += erase ? "m\33[K" : "m";
}

void Colors::End(const std::string& sgr, std::string& out) const {
  if (sgr.empty()) return;
  out += erase ? "\33[m\33[K" : "\33[m";
}

std::string Colors::Paint(const std::string& sgr, std::string_view text) const {
  std::string out;
  Start(sgr, out);
  out += text;
  End(sgr, out);
  return out;
}

void ReadGrepColors(std::string_view value, Colors& colors) {
  std::string name, sgr;
  bool has_value = false;
  for (std::size_t i = 0;; ++i) {
    const char c = i < value.size() ? value[i] : ':';
    if (c == ':') {
      std::string* part = name == "ms" || name == "mt" ? &colors.selected_match
                          : name == "mc"               ? &colors.context_match
                          : name == "sl"               ? &colors.selected_line
                          : name == "cx"               ? &colors.context_line
                          : name == "fn"               ? &colors.file_name
                          : name == "ln"               ? &colors.line_number
                          : name == "bn"               ? &colors.byte_offset
                          : name == "se"               ? &colors.separator
                                                       : nullptr;
      if (part != nullptr && has_value) *part = sgr;
      // mt without a value still gives mc the colour ms has.
      if (name == "mt") colors.context_match = colors.selected_match;
      if (name == "rv") colors.reverse = true;
      if (name == "ne") colors.erase = false;
      if (i >= value.size()) return;
      name.clear();
      sgr.clear();
      has_value = false;
    } else if (c == '=') {
      if (name.empty() || has_value) return;
      has_value = true;
    } else if (!has_value) {
      name += c;
    } else if (c == ';' || (c >= '0' && c <= '9')) {
      sgr += c;  // nothing else reaches the terminal
    } else {
      return;
    }
  }
}

bool ReadGrepColor(std::string_view value, Colors& colors) {
  if (value.empty() || value.find_first_not_of("0123456789;") != std::string_view::npos) {
    return false;
  }
  colors.selected_match = colors.context_match = std::string(value);
  return true;
}

Printer::Printer(const PrintConfig& config, const std::string& name, std::string& out,
                 std::function<void()> drain, std::atomic<bool>* stop, ReadMeter* meter)
    : config_(config),
      name_(name),
      out_(out),
      drain_(std::move(drain)),
      stop_(stop),
      meter_(meter) {}

bool Printer::ok() const {
  if (meter_ != nullptr) meter_->Tick();
  return !done_ && (stop_ == nullptr || !stop_->load(std::memory_order_relaxed));
}

void Printer::Watch(const InputFile* in, JsonTotals* totals) {
  in_ = in;
  if (config_.json) json_ = std::make_unique<JsonFile>(name_, config_.encoding, totals);
}

namespace {
// Whether a line the searcher has just handed over ended with a LF, not with the input.
bool EndsWithLf(const InputFile* in, const FoundLine& line) {
  return in == nullptr || (in->state() & kStreamEof) == 0 ||
         line.offset + line.length < in->position();
}
}  // namespace

void Printer::Matched(const FoundLine& line) {
  if (done_) return;
  ++selected_;
  if (json_ != nullptr && config_.report == Report::kLines && !config_.binary) {
    json_->Line(true, line, EndsWithLf(in_, line), out_);
    MaybeDrain();
    return;
  }
  switch (config_.report) {
    case Report::kQuiet:
      if (stop_ != nullptr) stop_->store(true, std::memory_order_relaxed);
      done_ = true;
      return;
    case Report::kFilesWith:
    case Report::kFilesWithout:
      done_ = true;
      return;
    case Report::kCount:
      return;
    case Report::kLines:
      break;
  }
  if (config_.binary) {
    note_ = name_ + ": binary file matches";
    done_ = true;
    return;
  }
  WriteLine(line, ':');
}

void Printer::Context(const FoundLine& line) {
  if (done_ || config_.binary || config_.report != Report::kLines) return;
  if (json_ != nullptr) {
    json_->Line(false, line, EndsWithLf(in_, line), out_);
    MaybeDrain();
    return;
  }
  WriteLine(line, '-');
}

void Printer::ContextBreak() {
  if (done_ || config_.binary || config_.report != Report::kLines || json_ != nullptr) return;
  if (config_.color) {
    Colored(config_.colors.separator, "--");
  } else {
    out_ += "--";
  }
  out_ += '\n';
}

// Coloured as grep colours it: the matches of a line that has them in the match colour of its
// kind, and with a line colour the text around them in it too, except a CR that ends the line.
std::size_t Printer::ColumnOf(const FoundLine& line, std::size_t at) {
  const std::size_t size = out_.size();
  WriteText(line.text, at);
  const std::size_t column = out_.size() - size + 1;
  out_.resize(size);
  return column;
}

void Printer::WriteLine(const FoundLine& line, char separator) {
  if (config_.vimgrep) {
    for (const LineSpan& s : line.parts) {
      WritePrefix(line.number, separator, UINT64_MAX, ColumnOf(line, s.start));
      WriteText(line.text, line.length);
      out_ += '\n';
    }
    MaybeDrain();
    return;
  }
  const Colors& colors = config_.colors;
  const bool selected = separator == ':';
  // Lines that have matches: those selected, or under -v those of the context.
  const bool matching = selected != config_.invert;
  const std::string& match_color = selected ? colors.selected_match : colors.context_match;
  if (config_.only_matching) {
    if (!matching) return;
    for (const LineSpan& s : line.parts) {
      WritePrefix(line.number, separator, line.offset + s.start);
      if (config_.color) colors.Start(match_color, out_);
      WriteText(line.text + s.start, s.end - s.start);
      if (config_.color) colors.End(match_color, out_);
      out_ += '\n';
    }
    MaybeDrain();
    return;
  }
  WritePrefix(line.number, separator, line.offset,
              config_.column && !line.parts.empty() ? ColumnOf(line, line.parts[0].start) : 0);
  std::size_t at = 0;
  if (config_.color) {
    const std::string& line_color =
        selected != (config_.invert && colors.reverse) ? colors.selected_line : colors.context_line;
    if (matching && !match_color.empty()) {
      for (const LineSpan& s : line.parts) {
        colors.Start(line_color, out_);
        WriteText(line.text + at, s.start - at);
        colors.Start(match_color, out_);
        WriteText(line.text + s.start, s.end - s.start);
        colors.End(match_color, out_);
        at = s.end;
      }
    }
    const std::size_t end =
        line.length > at && line.text[line.length - 1] == '\r' ? line.length - 1 : line.length;
    if (!line_color.empty() && end > at) {
      colors.Start(line_color, out_);
      WriteText(line.text + at, end - at);
      colors.End(line_color, out_);
      at = end;
    }
  }
  WriteText(line.text + at, line.length - at);
  out_ += '\n';
  MaybeDrain();
}

void Printer::WritePrefix(std::int64_t number, char separator, std::uint64_t offset,
                          std::size_t column) {
  const std::string sep(1, separator);
  auto field = [&](const std::string& color, const std::string& text) {
    if (config_.color) {
      Colored(color, text);
      Colored(config_.colors.separator, sep);
    } else {
      out_ += text;
      out_ += separator;
    }
  };
  if (config_.with_name || config_.vimgrep) {
    WriteName();
    if (config_.null_after_name) {
      out_ += '\0';
    } else if (config_.color) {
      Colored(config_.colors.separator, sep);
    } else {
      out_ += separator;
    }
  }
  if (config_.line_numbers || config_.vimgrep || config_.column) {
    field(config_.colors.line_number, std::to_string(number));
  }
  if (column > 0) field(config_.colors.line_number, std::to_string(column));
  if (config_.byte_offset && offset != UINT64_MAX) {
    field(config_.colors.byte_offset, std::to_string(offset));
  }
}

void Printer::WriteText(const char* text, std::size_t length) {
  if (config_.utf8) {
    AppendUtf8(config_.encoding, text, length, out_);
  } else {
    out_.append(text, length);
  }
}

void Printer::WriteName() {
  if (config_.color) {
    Colored(config_.colors.file_name, name_);
  } else {
    out_ += name_;
  }
}

void Printer::Colored(const std::string& sgr, std::string_view text) {
  config_.colors.Start(sgr, out_);
  out_ += text;
  config_.colors.End(sgr, out_);
}

void Printer::MaybeDrain() {
  if ((out_.size() >= kDrainBytes || config_.line_buffered) && drain_) drain_();
}

void Printer::Finish() {
  if (json_ != nullptr) json_->End(in_ != nullptr ? in_->position() : 0, out_);
  switch (config_.report) {
    case Report::kCount:
      if (config_.with_name) {
        WriteName();
        if (config_.null_after_name) {
          out_ += '\0';
        } else if (config_.color) {
          Colored(config_.colors.separator, ":");
        } else {
          out_ += ':';
        }
      }
      out_ += std::to_string(selected_) + "\n";
      break;
    case Report::kFilesWith:
    case Report::kFilesWithout:
      if ((selected_ > 0) == (config_.report == Report::kFilesWith)) {
        WriteName();
        out_ += config_.null_after_name ? '\0' : '\n';
      }
      break;
    default:
      break;
  }
  if (drain_) drain_();
}

}  // namespace kensaku::cli
