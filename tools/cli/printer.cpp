#include "printer.h"

#include <utility>

#include "mbchar/encoding.h"

namespace kensaku::cli {
namespace {

// grep's default colours (GREP_COLORS ms, fn, ln, se), each closed with "\33[m\33[K".
constexpr const char* kMatchColor = "01;31";
constexpr const char* kNameColor = "35";
constexpr const char* kNumberColor = "32";
constexpr const char* kSeparatorColor = "36";

constexpr std::size_t kDrainBytes = 1 << 16;

}  // namespace

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
    Colored(kSeparatorColor, "--");
  } else {
    out_ += "--";
  }
  out_ += '\n';
}

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
  if (config_.only_matching) {
    for (const LineSpan& s : line.parts) {
      WritePrefix(line.number, separator, line.offset + s.start);
      if (config_.color) out_ += std::string("\33[") + kMatchColor + "m\33[K";
      WriteText(line.text + s.start, s.end - s.start);
      if (config_.color) out_ += "\33[m\33[K";
      out_ += '\n';
    }
    MaybeDrain();
    return;
  }
  WritePrefix(line.number, separator, line.offset,
              config_.column && !line.parts.empty() ? ColumnOf(line, line.parts[0].start) : 0);
  std::size_t at = 0;
  if (config_.color) {
    for (const LineSpan& s : line.parts) {
      WriteText(line.text + at, s.start - at);
      out_ += std::string("\33[") + kMatchColor + "m\33[K";
      WriteText(line.text + s.start, s.end - s.start);
      out_ += "\33[m\33[K";
      at = s.end;
    }
  }
  WriteText(line.text + at, line.length - at);
  out_ += '\n';
  MaybeDrain();
}

void Printer::WritePrefix(std::int64_t number, char separator, std::uint64_t offset,
                          std::size_t column) {
  const std::string sep(1, separator);
  auto field = [&](const char* color, const std::string& text) {
    if (config_.color) {
      Colored(color, text);
      Colored(kSeparatorColor, sep);
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
      Colored(kSeparatorColor, sep);
    } else {
      out_ += separator;
    }
  }
  if (config_.line_numbers || config_.vimgrep || config_.column) {
    field(kNumberColor, std::to_string(number));
  }
  if (column > 0) field(kNumberColor, std::to_string(column));
  if (config_.byte_offset && offset != UINT64_MAX) field(kNumberColor, std::to_string(offset));
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
    Colored(kNameColor, name_);
  } else {
    out_ += name_;
  }
}

void Printer::Colored(const char* sgr, const std::string& text) {
  out_ += "\33[";
  out_ += sgr;
  out_ += "m\33[K";
  out_ += text;
  out_ += "\33[m\33[K";
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
          Colored(kSeparatorColor, ":");
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
