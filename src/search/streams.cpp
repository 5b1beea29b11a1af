#include "search/streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>

#include "frame/find_byte.h"
#include "search/file_identity.h"
#include "search/line_count.h"

namespace kensaku {
namespace {

constexpr std::size_t kReadBlock = ReadBuffer::kBlock;
constexpr std::size_t kWriteBlock = 1 << 16;

}  // namespace

// The bytes start half a page in: a read copies from the start of a page of the system's
// cache, and a copy whose source and destination sit at nearly the same place in their pages
// runs at a third of its speed (4 KiB aliasing), which a tree of small files pays on every file.
ReadBuffer::ReadBuffer() : bytes_(new (std::nothrow) char[kBlock + kMaxLineBytes + 2 + 4096]) {
  if (bytes_ == nullptr) return;
  const auto at = reinterpret_cast<std::uintptr_t>(bytes_.get());
  data_ = bytes_.get() + ((2048 - (at & 4095)) & 4095);
}

std::ptrdiff_t MemoryReader::Read(char* to, std::size_t n) {
  const std::size_t part = std::min(n, size_ - at_);
  std::memcpy(to, data_ + at_, part);
  at_ += part;
  return static_cast<std::ptrdiff_t>(part);
}

std::ptrdiff_t FedReader::Read(char* to, std::size_t n) {
  if (at_ == fed_.size()) return ended_ ? 0 : kNotYet;
  const std::size_t part = std::min(n, fed_.size() - at_);
  std::memcpy(to, fed_.data() + at_, part);
  at_ += part;
  return static_cast<std::ptrdiff_t>(part);
}

void FedReader::Feed(const char* data, std::size_t n) {
  if (at_ == fed_.size()) {
    fed_.clear();
    at_ = 0;
  }
  fed_.append(data, n);
}

std::optional<Encoding> DecideEncoding(InputFile& in, const Encoding* asked,
                                       bool more_may_come) {
  Encoding e;
  if (asked != nullptr) {
    e = *asked;
    // A UTF-8 byte-order mark cut short by the end of what has come is told by what follows.
    if (more_may_come && e == Encoding::kUtf8) {
      const auto [head, n] = in.Window();
      if (n < 3 && std::string_view(head, n) == std::string_view("\xEF\xBB\xBF", n)) {
        return std::nullopt;
      }
    }
  } else {
    const auto [head, n] = in.Window();
    if (more_may_come && n < ReadBuffer::kWindow) return std::nullopt;
    e = DetectEncoding(head, n, !more_may_come && n < ReadBuffer::kWindow);
  }
  in.SetEncoding(e);
  return e;
}

InputFile::InputFile(const FileName& file, ReadBuffer* buffer) {
  if (file.name == nullptr || !source_.Open(file)) {
    state_ = kStreamFail;
    return;
  }
  Start(buffer);
}

InputFile::InputFile(ByteReader& reader, ReadBuffer* buffer) : reader_(&reader) { Start(buffer); }

void InputFile::Start(ReadBuffer* buffer) {
  if (buffer == nullptr) {
    own_ = std::make_unique<ReadBuffer>();
    buffer = own_.get();
  }
  buffer_ = buffer->data();
  if (buffer_ == nullptr) {
    state_ = kStreamBad;
    errno = ENOMEM;  // what a failed read of the input says
    return;
  }
  // Read ahead now, so that a name that opens but cannot be read (a directory) fails here; from a
  // pipe or a terminal, only what has come.
  Fill(reader_ != nullptr || source_.short_read_ends() ? kMaxLineBytes + 1 : 1);
}

InputFile::~InputFile() = default;

// Below this much left to read, a file is read: a mapping costs more than it saves.
constexpr std::uint64_t kMapAtLeast = std::uint64_t{1} << 20;

bool InputFile::MapRest() {
  const FileMapping mapping = GetFileMapping();
  const std::uint64_t read = consumed_ + end_;
  if (mapping == FileMapping::kNever || mapped_ != nullptr || !encoding_told_ || read == 0 ||
      failed() || reader_ != nullptr || transcoding_ != nullptr || !source_.short_read_ends() ||
      !source_.opened_here() || grown_ != nullptr ||
      (at_end_ && mapping != FileMapping::kAlways)) {  // read whole: most files of a tree
    return false;
  }
  // Asked again at every refill, the answer would cost a system call each time and not change:
  // what is left to read only shrinks, and a file changing as it is read stays read.
  if (map_asked_) return false;
  map_asked_ = true;
  // Every regular file when asked to (tests then meet mapped input of any size), or what
  // remains of a large one.
  const std::uint64_t size = std::min(FileLength(source_), stop_at_);
  if (size == UINT64_MAX || size < read || (size == read && mapping != FileMapping::kAlways) ||
      (mapping != FileMapping::kAlways && size - read < kMapAtLeast) ||
      (mapping == FileMapping::kMeasured && !MappingPays(source_))) {
    return false;
  }
  std::unique_ptr<MappedBytes> mapped(new (std::nothrow) MappedBytes);
  // What was read and is still to be used must be what the mapping holds (lines handed out
  // have a NUL for their LF): a file changing now stays read.
  if (mapped == nullptr || !mapped->Map(source_, size) ||
      std::memcmp(mapped->data() + consumed_ + begin_, buffer_ + begin_, end_ - begin_) != 0 ||
      mapped->cut()) {
    return false;
  }
  mapped_ = std::move(mapped);
  begin_ += static_cast<std::size_t>(consumed_);
  consumed_ = 0;
  buffer_ = const_cast<char*>(mapped_->data());  // never written: see Hand
  end_ = capacity_ = mapped_->size();
  at_end_ = true;
  return true;
}

void InputFile::CheckMappedEnd() {
  if (mapped_ != nullptr && !MappedCut() && FileLength(source_) < mapped_->size()) {
    state_ |= kStreamFail | kStreamBad;
    errno = EIO;
  }
}

const char* InputFile::HandMapped(const char* line, std::size_t& length) {
  char* copy = cut_;
  if (length > kMaxLineBytes) {
    try {
      copy_.assign(line, length);
    } catch (const std::bad_alloc&) {
      state_ |= kStreamBad | kStreamFail;
      errno = ENOMEM;  // what a failed read of the input says
      length = 0;
      return nullptr;
    }
    copy = copy_.data();
  } else {
    std::memcpy(cut_, line, length);
    cut_[length] = '\0';
  }
  if (!MappedCut()) return copy;
  length = 0;
  return nullptr;
}

void InputFile::Refill(std::size_t n) {
  if (MapRest()) return;
  // From a pipe or a terminal, lines already whole are searched before waiting for more.
  if (Eager() && FindByte(buffer_ + begin_, '\n', end_ - begin_) != nullptr) return;
  if (begin_ != 0) {
    const std::size_t from = begin_;
    Consume();  // while the bytes let go of are still there to count
    std::memmove(buffer_, buffer_ + from, end_);
  }
  if (n > capacity_ && !Grow(n)) return;
  while (end_ < n && !at_end_) {
    std::size_t want = capacity_ - end_;
    const std::uint64_t read = consumed_ + end_;
    if (read >= stop_at_) {
      at_end_ = true;
      break;
    }
    if (stop_at_ - read < want) want = static_cast<std::size_t>(stop_at_ - read);
    const std::ptrdiff_t got = Pull(buffer_ + end_, want);
    if (got == ByteReader::kNotYet) {
      starved_ = true;
      break;
    }
    if (got <= 0) {
      at_end_ = true;
      if (got < 0) state_ |= kStreamFail | kStreamBad;
      break;
    }
    end_ += static_cast<std::size_t>(got);
    // A regular file ends where a read falls short: no read more is needed to see it.
    if (static_cast<std::size_t>(got) < want && source_.short_read_ends() && !transcoding_) {
      at_end_ = true;
    }
    // A pipe or a terminal hands over what has come, so that a line written into it is searched
    // at once rather than once a block is full; whole lines are read on until their LF.
    if (Eager()) break;
  }
}

bool InputFile::Grow(std::size_t n) {
  const std::size_t size = std::max(n, 2 * capacity_);
  std::unique_ptr<char[]> grown(new (std::nothrow) char[size + 2]);
  if (grown == nullptr) {
    state_ |= kStreamBad;
    errno = ENOMEM;  // what a failed read of the input says
    return false;
  }
  std::memcpy(grown.get(), buffer_ + begin_, end_ - begin_);
  Consume();
  grown_ = std::move(grown);
  buffer_ = grown_.get();
  capacity_ = size;
  return true;
}

void InputFile::Consume() {
  if (transcoding_ && begin_ > 0) {
    // The bytes let go of are counted once, into a mark where the rest begins.
    const std::uint64_t at = consumed_ + begin_;
    transcoding_->transcoder.Forget(at - transcoding_->from,
                                    SourceOffset(at) - transcoding_->from);
  }
  consumed_ += begin_;
  end_ -= begin_;
  begin_ = 0;
}

std::uint64_t InputFile::SourceOffset(std::uint64_t at, bool line_start) const {
  if (!transcoding_) return at;
  const std::uint64_t from = transcoding_->from;
  return from +
         transcoding_->transcoder.SourceOffset(at - from, buffer_, consumed_ - from, line_start);
}

std::ptrdiff_t InputFile::Pull(char* to, std::size_t n) {
  if (!transcoding_) return ReadSource(to, n);
  Transcoding& t = *transcoding_;
  while (t.taken == t.converted.size() && !t.raw_done) {
    t.converted.clear();
    t.taken = 0;
    const std::ptrdiff_t got = ReadSource(t.raw.get(), kReadBlock);
    if (got == ByteReader::kNotYet) return got;
    if (got < 0) return -1;
    t.raw_done = got == 0;
    t.transcoder.Convert(t.raw.get(), static_cast<std::size_t>(got), t.raw_done, t.converted);
  }
  const std::size_t part = std::min(n, t.converted.size() - t.taken);
  std::memcpy(to, t.converted.data() + t.taken, part);
  t.taken += part;
  return static_cast<std::ptrdiff_t>(part);
}

void InputFile::SetEncoding(Encoding e) {
  const bool first = !encoding_told_;
  encoding_told_ = true;
  if (failed()) return;
  if (e == encoding_) {
    if (first) MapRest();
    return;
  }
  if (ReadsAsUtf8(e)) {
    // Read, not mapped: its bytes are turned into others as they come.
    if (mapped_ != nullptr) {
      state_ |= kStreamFail | kStreamBad;
      errno = EINVAL;
      return;
    }
    // What was read ahead is turned into UTF-8 first.
    transcoding_ = std::make_unique<Transcoding>(e);
    transcoding_->from = consumed_ + begin_;
    transcoding_->raw.reset(new (std::nothrow) char[kReadBlock]);
    if (transcoding_->raw == nullptr) {
      state_ |= kStreamBad;
      errno = ENOMEM;  // what a failed read of the input says
      return;
    }
    transcoding_->raw_done = at_end_;
    transcoding_->transcoder.Convert(buffer_ + begin_, end_ - begin_, at_end_,
                                     transcoding_->converted);
    end_ = begin_;
    at_end_ = false;
    encoding_ = Encoding::kUtf8;
    Fill(kMaxLineBytes + 1);
    return;
  }
  encoding_ = e;
  if (e == Encoding::kUtf8 && consumed_ + begin_ == 0) {
    Fill(3);
    begin_ += ByteOrderMarkLength(e, buffer_ + begin_, end_ - begin_);
  }
  if (first) MapRest();
}

bool InputFile::Exhausted() {
  if (!failed()) Fill(1);
  if (begin_ == end_) CheckMappedEnd();
  return failed() || begin_ == end_;
}

void InputFile::StopAt(std::uint64_t end) {
  stop_at_ = end;
  // What was read ahead past it is dropped.
  if (consumed_ + end_ > end) {
    end_ = consumed_ + begin_ > end ? begin_ : static_cast<std::size_t>(end - consumed_);
    at_end_ = true;
  }
}

const char* InputFile::ReadLine(std::size_t& length, std::size_t* text_length) {
  length = 0;
  if (text_length != nullptr) *text_length = 0;
  if (failed()) return nullptr;
  Fill(kMaxLineBytes + 1);
  if (failed()) return nullptr;
  if (cut_at_ == 0) return ReadWholeLine(length, text_length);
  char* line = buffer_ + begin_;
  const std::size_t available = end_ - begin_;
  const std::size_t window = available < kMaxLineBytes ? available : kMaxLineBytes;
  const LineEnd end = FindLineEnd(line, window);
  if (text_length != nullptr) *text_length = end.nul;
  if (end.lf < window) {
    length = end.lf;
    begin_ += length + 1;
    return Hand(line, length);
  }
  if (window == kMaxLineBytes) {
    // Cut after 4095 bytes without looking further: the rest is the next line.
    length = kMaxLineBytes;
    begin_ += kMaxLineBytes;
    if (mapped_ != nullptr) return Hand(line, length);
    std::memcpy(cut_, line, kMaxLineBytes);
    cut_[kMaxLineBytes] = '\0';
    return cut_;
  }
  return LastLine(line, available, length);
}

const char* InputFile::ReadWholeLine(std::size_t& length, std::size_t* text_length) {
  std::size_t from = 0;  // bytes of the line already looked through
  std::size_t nul = SIZE_MAX;
  for (;;) {
    const std::size_t available = end_ - begin_;
    const LineEnd end = FindLineEnd(buffer_ + begin_ + from, available - from);
    if (nul == SIZE_MAX && end.nul < end.lf) nul = from + end.nul;
    if (end.lf < available - from || at_end_ || starved_ || failed()) {
      if (failed()) return nullptr;
      const bool whole = end.lf < available - from;
      length = whole ? from + end.lf : available;
      if (text_length != nullptr) *text_length = nul < length ? nul : length;
      char* line = buffer_ + begin_;
      if (!whole) return LastLine(line, available, length);
      begin_ += length + 1;
      return Hand(line, length);
    }
    from = available;
    Fill(available + kReadBlock);
  }
}

// No LF before the bytes run out: the end of the input, or of what the reader has for now.
const char* InputFile::LastLine(char* line, std::size_t available, std::size_t& length) {
  length = 0;
  if (starved_ && !at_end_) {
    state_ |= kStreamWait;  // the line is read whole when the reader has more
    return nullptr;
  }
  state_ |= kStreamEof;
  CheckMappedEnd();
  if (available == 0 || failed()) {
    state_ |= kStreamFail;
    return nullptr;
  }
  length = available;
  begin_ = end_;
  return Hand(line, length);  // a read buffer has room past the data
}

std::int32_t InputFile::SkipLines(std::size_t n) {
  // Callers pass whole lines only; anything after the last LF stays to be read.
  const LineCount count = CountLines(buffer_ + begin_, n, cut_at_);
  begin_ += count.bytes;
  MappedCut();
  return static_cast<std::int32_t>(count.lines);
}

std::unique_ptr<Output> Output::AppendToFile(const char* name) {
  std::unique_ptr<Output> out(new Output());
  if (!out->file_.Open(name)) {
    out->state_ = kStreamFail;
    return out;
  }
  out->own_buffer_.reset(new char[kWriteBlock]);
  out->buffer_ = out->own_buffer_.get();
  out->capacity_ = kWriteBlock;
  return out;
}

Output::Output(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}

Output::~Output() { Close(); }

void Output::Drain() {
  if (!file_.is_open() || used_ == 0) return;
  if (state_ == kStreamGood && !file_.Write(buffer_, used_)) state_ = kStreamBad;
  used_ = 0;
}

void Output::WriteAll(const char* bytes, std::size_t n) {
  if (state_ != kStreamGood) return;
  while (n > 0) {
    if (used_ == capacity_) {
      if (!file_.is_open()) {
        state_ = kStreamBad;  // a fixed buffer is full: the rest is dropped
        return;
      }
      Drain();
      if (state_ != kStreamGood) return;
    }
    const std::size_t room = capacity_ - used_;
    const std::size_t part = n < room ? n : room;
    std::memcpy(buffer_ + used_, bytes, part);
    used_ += part;
    bytes += part;
    n -= part;
  }
}

// A file's bytes go to the system as they are drained: nothing is held below this buffer.
void Output::Flush() { Drain(); }

bool Output::Close() {
  if (!file_.is_open()) return state_ == kStreamGood;
  Flush();
  if (!file_.Close()) state_ |= kStreamBad;
  return state_ == kStreamGood;
}

}  // namespace kensaku
