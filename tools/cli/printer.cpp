#include "printer.h"

#include <utility>

#include "encoding.h"

namespace kensaku::cli {
namespace {

// grep's default colours (GREP_COLORS ms, fn, ln, se), each closed with "\33[m\33[K".
constexpr const char* kMatchColor = "01;31";
constexpr const char* kNameColor = "35";
constexpr const char* kNumberColor = "32";
constexpr const char* kSeparatorColor = "36";

constexpr std::size_t kDrainBytes = 1 << 16;

}  // namespace

Printer::Printer(const PrintConfig& config, const std::string& name, const PatternGroups& patterns,
                 std::string& out, std::function<void()> drain, std::atomic<bool>* stop)
    : config_(config),
      name_(name),
      patterns_(patterns),
      out_(out),
      drain_(std::move(drain)),
      stop_(stop),
      done_(config.max_count == 0) {}

bool Printer::ok() const {
  return !done_ && (stop_ == nullptr || !stop_->load(std::memory_order_relaxed));
}

void Printer::Hit(const ScanState& state) {
  if (state.lines == last_hit_) return;
  last_hit_ = state.lines;
  Selected(state.lines, state.line, state.length);
}

void Printer::Line(std::int32_t number, const char* text, std::size_t length, bool selected) {
  if (done_) return;
  if (selected && !reached_max()) {
    Selected(number, text, length);
    return;
  }
  if (config_.report != Report::kLines) return;
  if (after_left_ > 0) {
    WriteLine(number, text, length, '-', false);
    if (--after_left_ == 0 && reached_max()) done_ = true;
    return;
  }
  if (reached_max()) {
    done_ = true;
    return;
  }
  if (config_.before > 0) {
    before_.push_back({number, std::string(text, length)});
    if (before_.size() > static_cast<std::size_t>(config_.before)) before_.pop_front();
  }
}

void Printer::Selected(std::int32_t number, const char* text, std::size_t length) {
  if (done_) return;
  ++selected_;
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
      if (reached_max()) done_ = true;
      return;
    case Report::kLines:
      break;
  }
  if (config_.binary) {
    note_ = name_ + ": binary file matches";
    done_ = true;
    return;
  }
  const bool context = config_.after > 0 || config_.before > 0;
  const std::int32_t first = before_.empty() ? number : before_.front().number;
  if (context && last_printed_ != 0 && first > last_printed_ + 1) {
    if (config_.color) {
      Colored(kSeparatorColor, "--");
    } else {
      out_ += "--";
    }
    out_ += '\n';
  }
  for (const Held& held : before_) {
    WriteLine(held.number, held.text.data(), held.text.size(), '-', false);
  }
  before_.clear();
  WriteLine(number, text, length, ':', true);
  after_left_ = config_.after;
  if (reached_max() && after_left_ == 0) done_ = true;
}

void Printer::WriteLine(std::int32_t number, const char* text, std::size_t length, char separator,
                        bool selected) {
  last_printed_ = number;
  const bool matches = selected && !config_.invert;
  if (config_.only_matching) {
    if (!matches) return;
    patterns_.Matches(text, length, spans_);
    for (const Span& s : spans_) {
      WritePrefix(number, separator);
      if (config_.color) out_ += std::string("\33[") + kMatchColor + "m\33[K";
      WriteText(text + s.start, s.end - s.start);
      if (config_.color) out_ += "\33[m\33[K";
      out_ += '\n';
    }
    MaybeDrain();
    return;
  }
  WritePrefix(number, separator);
  if (config_.color && matches) {
    patterns_.Matches(text, length, spans_);
    std::size_t at = 0;
    for (const Span& s : spans_) {
      WriteText(text + at, s.start - at);
      out_ += std::string("\33[") + kMatchColor + "m\33[K";
      WriteText(text + s.start, s.end - s.start);
      out_ += "\33[m\33[K";
      at = s.end;
    }
    WriteText(text + at, length - at);
  } else {
    WriteText(text, length);
  }
  out_ += '\n';
  MaybeDrain();
}

void Printer::WritePrefix(std::int32_t number, char separator) {
  const std::string sep(1, separator);
  if (config_.with_name) {
    WriteName();
    if (config_.color) {
      Colored(kSeparatorColor, sep);
    } else {
      out_ += separator;
    }
  }
  if (config_.line_numbers) {
    if (config_.color) {
      Colored(kNumberColor, std::to_string(number));
      Colored(kSeparatorColor, sep);
    } else {
      out_ += std::to_string(number);
      out_ += separator;
    }
  }
}

void Printer::WriteText(const char* text, std::size_t length) {
  if (config_.utf8) {
    AppendUtf8(text, length, out_);
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
  if (out_.size() >= kDrainBytes && drain_) drain_();
}

std::int64_t Printer::Finish() {
  switch (config_.report) {
    case Report::kCount:
      if (config_.with_name) {
        WriteName();
        if (config_.color) {
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
        out_ += '\n';
      }
      break;
    default:
      break;
  }
  if (drain_) drain_();
  return selected_;
}

}  // namespace kensaku::cli
