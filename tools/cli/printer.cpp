#include "printer.h"

#include <utility>

#include "json_lines.h"
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

FileSink::FileSink(const PrintConfig& config, const std::string& name, std::string& out,
                   std::function<void()> drain, std::atomic<bool>* stop, ReadMeter* meter)
    : config_(config),
      name_(name),
      out_(out),
      stop_(stop),
      drain_(std::move(drain)),
      meter_(meter) {}

bool FileSink::ok() const {
  if (meter_ != nullptr) meter_->Tick();
  return !done_ && (stop_ == nullptr || !stop_->load(std::memory_order_relaxed));
}

void FileSink::CountInto(SearchStats* stats) {
  stats_ = stats;
  start_ = std::chrono::steady_clock::now();
}

void FileSink::Count(const SearchEnd& end) {
  if (stats_ == nullptr) return;
  ++stats_->searches;
  stats_->searches_with_match += selected_ > 0;
  stats_->bytes_searched += end.bytes_searched;
  stats_->matched_lines += static_cast<std::uint64_t>(selected_);
  stats_->matches += matches_;
  const auto spent = std::chrono::steady_clock::now() - start_;
  stats_->nanos += static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(spent).count());
}

void FileSink::BinaryMatches() {
  note_ = name_ + ": binary file matches";
  done_ = true;
}

void FileSink::MaybeDrain() {
  if (out_.size() >= kDrainBytes || config_.line_buffered) Drain();
}

void FileSink::Drain() {
  if (drain_) drain_();
}

namespace {

// Text of one encoding appended in code page 932 or EUC-JP. A character the output cannot hold,
// or a broken sequence, becomes '?', as converters write it.
void AppendIn(Encoding output, Encoding encoding, const char* text, std::size_t n,
              std::string& out) {
  for (std::size_t at = 0; at < n;) {
    const TextChar c = ReadTextChar(encoding, text + at, n - at);
    at += c.length;
    if (c.unicode == 0) {
      out += c.broken ? '?' : '\0';
      continue;
    }
    const Code code = Cp932OfUnicode(c.unicode);
    if (output == Encoding::kCp932 && code != 0) {
      if (code > 0xFF) out += static_cast<char>(code >> 8);
      out += static_cast<char>(code & 0xFF);
      continue;
    }
    if (code != 0) {
      const std::span<const std::string> forms = FormsOfCp932(output, code);
      out += forms.empty() ? std::string("?") : forms.front();
      continue;
    }
    const std::vector<std::string> forms = FormsOfUnicode(output, c.unicode);
    out += forms.empty() ? std::string("?") : forms.front();
  }
}

// Selected lines and their context as grep writes them.
class LinesSink final : public FileSink {
 public:
  using FileSink::FileSink;

  void Matched(const FoundLine& line) override {
    if (done_) return;
    ++selected_;
    matches_ += line.parts.size();
    if (config_.binary) {
      BinaryMatches();
      return;
    }
    BreakGap(line.number);
    WriteLine(line, ':');
  }

  void Context(const FoundLine& line) override {
    if (done_ || config_.binary) return;
    BreakGap(line.number);
    WriteLine(line, '-');
  }

  void ContextBreak() override {
    if (done_ || config_.binary) return;
    if (config_.color) {
      Colored(config_.colors.separator, "--");
    } else {
      out_ += "--";
    }
    out_ += '\n';
  }

  void Finish(const SearchEnd& end) override {
    Count(end);
    Drain();
  }

 private:
  void BreakGap(std::int64_t number) {
    if (config_.gap_breaks && last_ != 0 && number > last_ + 1) ContextBreak();
    last_ = number;
  }

  void WriteLine(const FoundLine& line, char separator);
  void WritePrefix(std::int64_t number, char separator, std::uint64_t offset = UINT64_MAX,
                   std::size_t column = 0);
  // 1-based, in the bytes written, of the text before byte `at` of the line.
  std::size_t ColumnOf(const FoundLine& line, std::size_t at);
  void WriteText(const char* text, std::size_t length);
  void Colored(const std::string& sgr, std::string_view text);

  std::int64_t last_ = 0;  // the number of the line written last
};

std::size_t LinesSink::ColumnOf(const FoundLine& line, std::size_t at) {
  const std::size_t size = out_.size();
  WriteText(line.text, at);
  const std::size_t column = out_.size() - size + 1;
  out_.resize(size);
  return column;
}

// Coloured as grep colours it: the matches of a line that has them in the match colour of its
// kind, and with a line colour the text around them in it too, except a CR that ends the line.
void LinesSink::WriteLine(const FoundLine& line, char separator) {
  if (config_.vimgrep) {
    // With -o, each match alone.
    for (const LineSpan& s : line.parts) {
      WritePrefix(line.number, separator, UINT64_MAX, ColumnOf(line, s.start));
      if (config_.only_matching) {
        WriteText(line.text + s.start, s.end - s.start);
      } else {
        WriteText(line.text, line.length);
      }
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
    for (std::size_t i = 0; i < line.parts.size(); ++i) {
      const LineSpan& s = line.parts[i];
      WritePrefix(line.number, separator, line.source_offset + line.source_parts[i].start,
                  config_.column ? ColumnOf(line, s.start) : 0);
      if (config_.color) colors.Start(match_color, out_);
      WriteText(line.text + s.start, s.end - s.start);
      if (config_.color) colors.End(match_color, out_);
      out_ += '\n';
    }
    MaybeDrain();
    return;
  }
  WritePrefix(line.number, separator, line.source_offset,
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

void LinesSink::WritePrefix(std::int64_t number, char separator, std::uint64_t offset,
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
    if (config_.color) {
      Colored(config_.colors.file_name, name_);
    } else {
      out_ += name_;
    }
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

void LinesSink::WriteText(const char* text, std::size_t length) {
  if (!config_.output || *config_.output == config_.encoding) {
    out_.append(text, length);
  } else if (*config_.output == Encoding::kUtf8) {
    AppendUtf8(config_.encoding, text, length, out_);
  } else {
    AppendIn(*config_.output, config_.encoding, text, length, out_);
  }
}

void LinesSink::Colored(const std::string& sgr, std::string_view text) {
  config_.colors.Start(sgr, out_);
  out_ += text;
  config_.colors.End(sgr, out_);
}

// -c, -l, -L and -q: a file's count or name at its end, or nothing at all. The search ends at the
// first selected line where that decides it.
class SummarySink final : public FileSink {
 public:
  using FileSink::FileSink;

  void Matched(const FoundLine& line) override {
    if (done_) return;
    ++selected_;
    matches_ += line.parts.size();
    if (config_.report == Report::kQuiet && stop_ != nullptr) {
      stop_->store(true, std::memory_order_relaxed);
    }
    done_ = config_.report != Report::kCount;
  }

  void Finish(const SearchEnd& search_end) override {
    Count(search_end);
    const Colors& colors = config_.colors;
    const char end = config_.null_after_name ? '\0' : '\n';
    switch (config_.report) {
      case Report::kCount:
        if (config_.with_name) {
          out_ += config_.color ? colors.Paint(colors.file_name, name_) : name_;
          if (config_.null_after_name) {
            out_ += '\0';
          } else {
            out_ += config_.color ? colors.Paint(colors.separator, ":") : ":";
          }
        }
        out_ += std::to_string(selected_) + "\n";
        break;
      case Report::kFilesWith:
      case Report::kFilesWithout:
        if ((selected_ > 0) == (config_.report == Report::kFilesWith)) {
          out_ += config_.color ? colors.Paint(colors.file_name, name_) : name_;
          out_ += end;
        }
        break;
      default:
        break;
    }
    Drain();
  }
};

}  // namespace

RunOutput::RunOutput(const PrintConfig& config)
    : json_(config.json ? std::make_unique<JsonRun>() : nullptr),
      stats_(config.stats && !config.json ? std::make_unique<SearchStats>() : nullptr) {
  // Context groups of different files are parted by "--" too, as within one file.
  if (config.context && !config.json) {
    between_ = (config.color ? config.colors.Paint(config.colors.separator, "--") : "--") + "\n";
  }
}

RunOutput::~RunOutput() = default;

std::unique_ptr<FileSink> RunOutput::SinkFor(const PrintConfig& file, const std::string& name,
                                             std::string& out, std::function<void()> drain,
                                             std::atomic<bool>* stop, ReadMeter* meter) {
  if (json_ != nullptr) return NewJsonSink(*json_, file, name, out, std::move(drain), stop, meter);
  std::unique_ptr<FileSink> sink;
  if (file.report == Report::kLines) {
    sink = std::make_unique<LinesSink>(file, name, out, std::move(drain), stop, meter);
  } else {
    sink = std::make_unique<SummarySink>(file, name, out, std::move(drain), stop, meter);
  }
  if (stats_ != nullptr) sink->CountInto(stats_.get());
  return sink;
}

std::string RunOutput::Closing(const Skipped& skipped, std::uint64_t bytes_printed) const {
  if (json_ != nullptr) return json_->Summary(skipped);
  if (stats_ != nullptr) return StatsText(*stats_, skipped, bytes_printed);
  return "";
}

}  // namespace kensaku::cli
