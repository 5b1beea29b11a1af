// The byte streams of the file searches: an input file read in large blocks whose lines are found
// with the library's FindByte and handed out in place (cut at 4095 bytes as the exports read them,
// or whole), and a bounded output that appends to a file or fills a
// fixed buffer. Both keep the stream states the searches test (end of file, fail, bad). An input
// in UTF-16 or ISO-2022-JP is turned into UTF-8 as it is read. An input may also be read from
// the caller's reader (memory, or bytes the caller feeds in pieces), which may have nothing yet:
// the input then waits, and goes on from where it stood when the reader has more. The rest of a
// large regular file is mapped rather than read, once its encoding is known (see MappedBytes).
#ifndef KENSAKU_SRC_SEARCH_STREAMS_H_
#define KENSAKU_SRC_SEARCH_STREAMS_H_

#include <cstddef>
#include <cstdint>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "frame/limits.h"
#include "mbchar/encoding.h"
#include "search/file_source.h"

namespace kensaku {

enum StreamState : unsigned {
  kStreamGood = 0,
  kStreamEof = 1,
  kStreamFail = 2,
  kStreamBad = 4,
  kStreamWait = 8,  // the reader has no more bytes yet, and the next line is not whole
};

// Bytes from somewhere other than a file.
class ByteReader {
 public:
  static constexpr std::ptrdiff_t kNotYet = -2;
  virtual ~ByteReader() = default;
  // Up to n bytes: how many, 0 at the end, -1 on an error, or kNotYet when there are none for
  // now but more may come.
  virtual std::ptrdiff_t Read(char* to, std::size_t n) = 0;
};

// Bytes from memory the caller keeps.
class MemoryReader final : public ByteReader {
 public:
  MemoryReader(const char* data, std::size_t size) : data_(data), size_(size) {}
  std::ptrdiff_t Read(char* to, std::size_t n) override;

 private:
  const char* data_;
  std::size_t size_, at_ = 0;
};

// Bytes the caller feeds in pieces (copied), then says there are no more.
class FedReader final : public ByteReader {
 public:
  std::ptrdiff_t Read(char* to, std::size_t n) override;
  void Feed(const char* data, std::size_t n);
  void End() { ended_ = true; }
  bool ended() const { return ended_; }

 private:
  std::string fed_;
  std::size_t at_ = 0;
  bool ended_ = false;
};

// The read buffer of an input file. One that reads many files in turn may keep one and lend it
// to each, rather than have each file make its own.
class ReadBuffer {
 public:
  static constexpr std::size_t kBlock = 1 << 18;  // the most a read asks for
  // The least an input's Window() holds, unless the input ends first: enough for several
  // longest lines, and little to move to the front of the buffer each time it is topped up.
  static constexpr std::size_t kWindow = 1 << 15;

  ReadBuffer();
  char* data() const { return data_; }
  bool ok() const { return data_ != nullptr; }

 private:
  std::unique_ptr<char[]> bytes_;
  char* data_ = nullptr;
};

class InputFile {
 public:
  // Opens for binary reading; a null name or a file that cannot be opened or read leaves the
  // stream failed. With a buffer, reads into it (which must outlive the file) rather than its
  // own.
  explicit InputFile(const char* name, ReadBuffer* buffer = nullptr)
      : InputFile(FileName{name, -1, nullptr, false}, buffer) {}
  explicit InputFile(const FileName& file, ReadBuffer* buffer = nullptr);
  // Reads from the reader, which must outlive the input.
  explicit InputFile(ByteReader& reader, ReadBuffer* buffer = nullptr);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  unsigned state() const { return state_; }
  // No state at all, the end of the input included.
  bool good() const { return state_ == kStreamGood; }
  // Nothing more can be read now: failed, or waiting for the reader.
  bool failed() const { return (state_ & (kStreamFail | kStreamBad | kStreamWait)) != 0; }
  bool waiting() const { return (state_ & kStreamWait) != 0; }
  // After waiting, when the reader may have more: reading goes on.
  void Resume() {
    state_ &= ~kStreamWait;
    starved_ = false;
  }

  // Reads up to the next LF (consumed, not stored) or 4095 bytes, whichever comes first (the whole
  // line after ReadWholeLines). The line
  // is NUL-terminated and valid until the next read. The end of input sets kStreamEof, and also
  // kStreamFail when no byte was read. Returns null when nothing was read. With `text_length`,
  // also where a NUL first ends the line for matching (length when none does). A reader that has
  // no more bytes yet before the line's end sets kStreamWait and reads nothing.
  const char* ReadLine(std::size_t& length, std::size_t* text_length = nullptr);

  // Lines are never cut: each is read whole, however long, in a buffer that grows to hold it.
  // Set before any line is read.
  void ReadWholeLines() { cut_at_ = 0; }

  // Bytes consumed so far.
  std::uint64_t position() const { return consumed_ + begin_; }

  // True when every byte of the input has been consumed (or it cannot be read further).
  bool Exhausted();

  // Reads nothing at or after byte `end` of the file: the rest reads as the end of the input.
  void StopAt(std::uint64_t end);

  // The open file, for its identity.
  const FileSource& source() const { return source_; }

  // The encoding of the lines read: code page 932 unless set. Set before any line is read (a
  // look at the window is fine). UTF-8 and EUC-JP lines are read in their own bytes, a UTF-8
  // byte-order mark left out; UTF-16 and ISO-2022-JP are read as the UTF-8 they turn into (see
  // Utf8Transcoder), and UTF-8 is then the encoding.
  Encoding encoding() const { return encoding_; }
  void SetEncoding(Encoding e);
  // Its lines are UTF-8 turned from the input's own bytes (UTF-16, ISO-2022-JP).
  bool transcoded() const { return transcoding_ != nullptr; }
  // Where byte `at` of the input as read (a character boundary of the bytes not yet consumed, or
  // of the line last read) is in the input's own bytes: where its character begins, or with
  // line_start, where the escapes before it begin.
  std::uint64_t SourceOffset(std::uint64_t at, bool line_start = false) const;

  // The bytes not yet read, as many as the buffer holds (at the end of the file, all of them).
  std::pair<const char*, std::size_t> Window() {
    if (!failed()) Fill(ReadBuffer::kWindow);
    // A mapped file in windows the size of a read: each is looked through more than once, while
    // it is still in the cache.
    if (mapped_ != nullptr && end_ - begin_ > ReadBuffer::kBlock) {
      return {buffer_ + begin_, ReadBuffer::kBlock};
    }
    return {buffer_ + begin_, end_ - begin_};
  }

  // Passes over the first n bytes of the window, which end in a LF; returns how many lines
  // ReadLine would have delivered for them (a line of L bytes is L / 4095 + 1 of them, unless
  // lines are read whole).
  std::int32_t SkipLines(std::size_t n);
  // The same without counting them; returns 1.
  std::int32_t PassOver(std::size_t n) {
    begin_ += n;
    MappedCut();
    return 1;
  }

  // Its bytes are mapped rather than read.
  bool mapped() const { return mapped_ != nullptr; }
  // The file was cut short while it was mapped and read (the input has failed).
  bool cut_short() const { return mapped_ != nullptr && mapped_->cut(); }

 private:
  // Makes at least n bytes available from begin_, or everything up to the end of the file.
  // Asked for every line, and most often there already are.
  void Fill(std::size_t n) {
    if (end_ - begin_ < n && !at_end_) Refill(n);
  }
  // Maps the rest of a large regular file in place of reading it, once its encoding is known;
  // false when it stays read.
  bool MapRest();
  // A mapped file cut short under the search: the input fails, so that nothing read past its
  // new end is handed out.
  bool MappedCut() {
    if (mapped_ == nullptr || !mapped_->cut()) return false;
    state_ |= kStreamFail | kStreamBad;
    errno = EIO;
    return true;
  }
  // A line handed out whole: in place, NUL-terminated, or from a mapped file (which is never
  // written) as a copy.
  const char* Hand(char* line, std::size_t& length) {
    if (mapped_ != nullptr) return HandMapped(line, length);
    line[length] = '\0';
    return line;
  }
  const char* HandMapped(const char* line, std::size_t& length);
  // At the end of a mapped file: one that is shorter now was cut short under the search.
  void CheckMappedEnd();
  void Start(ReadBuffer* buffer);
  void Refill(std::size_t n);
  // Reading hands over each line as it comes: whole lines from a pipe or a terminal.
  bool Eager() const { return cut_at_ == 0 && reader_ == nullptr && !source_.short_read_ends(); }
  // Room for at least n bytes from begin_, in a larger buffer of the input's own if need be.
  bool Grow(std::size_t n);
  // consumed_ moves on past the first begin_ bytes of the buffer.
  void Consume();
  // Up to n more bytes of the input, as the file holds them or as they are turned into UTF-8.
  std::ptrdiff_t Pull(char* to, std::size_t n);
  std::ptrdiff_t ReadSource(char* to, std::size_t n) {
    return reader_ != nullptr ? reader_->Read(to, n) : source_.Read(to, n);
  }
  const char* ReadWholeLine(std::size_t& length, std::size_t* text_length);
  const char* LastLine(char* line, std::size_t available, std::size_t& length);

  // The file read through a transcoder.
  struct Transcoding {
    explicit Transcoding(Encoding e) : transcoder(e) {}
    Utf8Transcoder transcoder;
    std::unique_ptr<char[]> raw;
    std::string converted;
    std::size_t taken = 0;  // of converted
    bool raw_done = false;
    std::uint64_t from = 0;  // where the input stood, as read and as it is, when it began
  };

  FileSource source_;
  std::unique_ptr<MappedBytes> mapped_;
  bool map_asked_ = false;  // whether to map the rest is decided once a file
  std::string copy_;  // a whole line of a mapped file, longer than cut_ holds
  bool encoding_told_ = false;
  ByteReader* reader_ = nullptr;
  Encoding encoding_ = Encoding::kCp932;
  std::unique_ptr<Transcoding> transcoding_;
  std::unique_ptr<ReadBuffer> own_;  // when no buffer is lent
  std::unique_ptr<char[]> grown_;    // when a whole line needs more room than a ReadBuffer
  char* buffer_ = nullptr;
  std::size_t capacity_ = ReadBuffer::kBlock + kMaxLineBytes;  // bytes buffer_ holds, and 2 more
  std::size_t begin_ = 0, end_ = 0;
  std::uint64_t consumed_ = 0;  // bytes moved out of the buffer before begin_
  bool at_end_ = false;
  bool starved_ = false;  // the reader had nothing yet
  std::size_t cut_at_ = kMaxLineBytes;  // 0: lines are read whole
  std::uint64_t stop_at_ = UINT64_MAX;
  unsigned state_ = kStreamGood;
  char cut_[kMaxLineBytes + 1];  // a line cut at 4095 bytes, whose next byte must stay
};

// Decides an input's encoding, once, before its first line is read: the one asked for, or the one
// its first window tells (a window cut short holds the whole input). False, with nothing decided,
// while a reader that may give more (more_may_come) has too few bytes yet to tell (of UTF-8 asked
// for, whether a byte-order mark begins it). Returns the encoding the input is in
// (InputFile::encoding is then UTF-8 for UTF-16 and ISO-2022-JP).
std::optional<Encoding> DecideEncoding(InputFile& in, const Encoding* asked,
                                       bool more_may_come = false);

class Output {
 public:
  // Appends to a file, created if missing and never truncated; a file that cannot be opened
  // leaves the stream failed.
  static std::unique_ptr<Output> AppendToFile(const char* name);
  // Writes into buffer[0, capacity); what does not fit is dropped and the stream goes bad.
  Output(char* buffer, std::size_t capacity);
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  bool good() const { return state_ == kStreamGood; }
  bool failed() const { return state_ != kStreamGood; }
  std::size_t size() const { return used_; }  // bytes held in a fixed buffer

  // Short pieces (line numbers, line ends, most matched parts) are copied here, in words: a call
  // to the C runtime's memcpy costs more than they do.
  void Write(const char* bytes, std::size_t n) {
    if (n > 16 || n > capacity_ - used_ || state_ != kStreamGood) return WriteAll(bytes, n);
    char* to = buffer_ + used_;
    used_ += n;
    if (n >= 8) {
      CopyWord<std::uint64_t>(to, bytes);
      CopyWord<std::uint64_t>(to + n - 8, bytes + n - 8);
    } else if (n >= 4) {
      CopyWord<std::uint32_t>(to, bytes);
      CopyWord<std::uint32_t>(to + n - 4, bytes + n - 4);
    } else if (n > 0) {
      to[0] = bytes[0];
      to[n / 2] = bytes[n / 2];
      to[n - 1] = bytes[n - 1];
    }
  }
  void Put(char c) { Write(&c, 1); }
  void Flush();
  // Flushes and closes a file; false when anything failed.
  bool Close();

  // The file written to, for its identity; not open for a buffer.
  const FileSink& file() const { return file_; }

 private:
  Output() = default;
  void WriteAll(const char* bytes, std::size_t n);
  void Drain();
  template <typename Word>
  static void CopyWord(char* to, const char* from) {
    Word w;
    std::memcpy(&w, from, sizeof w);
    std::memcpy(to, &w, sizeof w);
  }

  FileSink file_;
  std::unique_ptr<char[]> own_buffer_;
  char* buffer_ = nullptr;
  std::size_t capacity_ = 0, used_ = 0;
  unsigned state_ = kStreamGood;
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_STREAMS_H_
