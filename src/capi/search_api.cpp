// The reentrant interface of kensaku_search.h over the searcher: handles, argument checks and
// conversions only. A query is an EncodingQueries and a selection, never changed once made; a
// search owns its input, its Searcher and the batch its sink fills, and runs in steps
// (Searcher::Continue) until a batch is ready. Every body runs inside Guarded, so that no
// exception reaches the caller: a failed allocation is KENSAKU_E_MEMORY, and whatever was made
// before it is freed.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "kensaku_search.h"
#include "match/pattern_error.h"
#include "match/regex_syntax.h"
#include "mbchar/encoding.h"
#include "mbchar/internal_text.h"
#include "search/dictionary_file.h"
#include "search/line_matcher.h"
#include "search/query.h"
#include "search/searcher.h"
#include "search/streams.h"

using kensaku::Encoding;

struct kensaku_dictionary {
  std::shared_ptr<const kensaku::RomajiDictionary> words;
};

struct kensaku_query {
  kensaku::EncodingQueries queries;
  kensaku::Selection selection;  // its bound too, which kensaku_query_match applies as well
  int encoding = KENSAKU_ENCODING_AUTO;
};

namespace {

// A batch is handed out at whichever of these comes first.
constexpr std::size_t kBatchHits = 4096;
constexpr std::size_t kBatchBytes = 1 << 20;
constexpr std::uint64_t kBatchReadAhead = 4 << 20;  // read past the batch's first hit

void SetError(kensaku_error* error, int code, const std::string& message, std::size_t pattern = 0,
              std::size_t position = 0) {
  if (error == nullptr) return;
  error->code = code;
  error->pattern = pattern;
  error->position = position;
  std::snprintf(error->message, sizeof error->message, "%s", message.c_str());
}

void ClearError(kensaku_error* error) { SetError(error, 0, ""); }

// Runs a body of the interface; any exception becomes a code (and the error filled), `failed`
// the result.
template <typename Result, typename Body>
Result Guarded(kensaku_error* error, Result failed, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    SetError(error, KENSAKU_E_MEMORY, "out of memory");
  } catch (const std::exception& e) {
    SetError(error, KENSAKU_E_STATE, e.what());
  } catch (...) {
    SetError(error, KENSAKU_E_STATE, "unexpected failure");
  }
  return failed;
}

// The same for a body whose result is a code: the code of the failure.
template <typename Body>
int GuardedCode(Body&& body) noexcept {
  kensaku_error error{};
  const int code = Guarded(&error, 0, body);
  return error.code != 0 ? error.code : code;
}

bool EncodingOf(int code, Encoding& e) {
  static constexpr Encoding kByCode[] = {Encoding::kCp932,   Encoding::kCp932,
                                         Encoding::kUtf8,    Encoding::kEucJp,
                                         Encoding::kUtf16Le, Encoding::kUtf16Be,
                                         Encoding::kIso2022Jp};
  if (code < 0 || code > KENSAKU_ENCODING_ISO2022JP) return false;
  e = kByCode[code];
  return true;
}

int CodeOf(Encoding e) { return static_cast<int>(e) + 1; }

bool CheckOptions(const kensaku_query_options& o, kensaku_error* error) {
  Encoding e;
  if (o.kind < KENSAKU_KIND_PATTERN || o.kind > KENSAKU_KIND_ROMAJI_CONJUNCTIVE) {
    SetError(error, KENSAKU_E_ARGUMENT, "unknown kind " + std::to_string(o.kind));
  } else if ((o.fold & ~0xFFu) != 0) {
    SetError(error, KENSAKU_E_ARGUMENT, "unknown fold flags " + std::to_string(o.fold));
  } else if (!EncodingOf(o.encoding, e)) {
    SetError(error, KENSAKU_E_ARGUMENT, "unknown encoding " + std::to_string(o.encoding));
  } else if (o.pattern_encoding != KENSAKU_ENCODING_UTF8 &&
             o.pattern_encoding != KENSAKU_ENCODING_SJIS) {
    SetError(error, KENSAKU_E_ARGUMENT, "patterns are UTF-8 or Shift_JIS");
  } else {
    return true;
  }
  return false;
}

// The romaji dictionary ($KENSAKU_ROMAJI_DICT, else skkdic's), read once for every query of a
// process that asks for the same file; null when there is none (kana only).
std::shared_ptr<const kensaku::RomajiDictionary> DefaultDictionary() {
  static std::mutex mutex;
  static std::string path;
  static std::shared_ptr<const kensaku::RomajiDictionary> dictionary;
  const std::string wanted = kensaku::RomajiDictionary::DefaultPath();
  const std::lock_guard<std::mutex> lock(mutex);
  if (wanted != path || dictionary == nullptr) {
    std::string problem;
    dictionary = kensaku::OpenRomajiDictionary(wanted, problem);
    path = wanted;
  }
  return dictionary;
}

// Each pattern in the internal form; false with the pattern and byte at fault.
bool Entries(const char* const* patterns, const std::size_t* lengths, std::size_t count,
             bool utf8, kensaku::Reading reading, kensaku::ExtraChars& extras,
             std::vector<std::string>& entries, kensaku_error* error) {
  for (std::size_t i = 0; i < count; ++i) {
    if (patterns[i] == nullptr) {
      SetError(error, KENSAKU_E_ARGUMENT, "pattern " + std::to_string(i) + " is null");
      return false;
    }
    const std::string text(patterns[i], lengths != nullptr ? lengths[i] : std::strlen(patterns[i]));
    auto fault = [&](std::size_t at, const std::string& what) {
      SetError(error, KENSAKU_E_PATTERN,
               "pattern " + std::to_string(i) + ", byte " + std::to_string(at) + ": " + what, i,
               at);
      return false;
    };
    // No line holds either: such a pattern could never match, which is a mistake to report.
    const std::size_t lf = text.find('\n'), nul = text.find('\0');
    if (lf != std::string::npos) return fault(lf, "a line break, which no line holds");
    if (nul != std::string::npos) return fault(nul, "a NUL, which ends a line for matching");
    std::string entry = text;
    if (utf8) {
      const std::size_t broken = kensaku::FirstBrokenUtf8(text.data(), text.size());
      if (broken < text.size()) return fault(broken, "not UTF-8");
      std::string problem;
      if (!kensaku::InternalFromUtf8(text, extras, entry, problem, reading)) {
        return fault(0, problem);
      }
    }
    entries.push_back(std::move(entry));
  }
  return true;
}

// The hits of one batch, in the columns of kensaku_batch.
class BatchSink final : public kensaku::SearchSink {
 public:
  void Watch(const kensaku::InputFile* in) { in_ = in; }
  bool ok() const override {
    return numbers_.empty() || (numbers_.size() < kBatchHits && lines_.size() < kBatchBytes &&
                                in_->position() - first_at_ < kBatchReadAhead);
  }
  bool paused() const override { return true; }
  // A hit is added whole or not at all: a batch handed out after a failed allocation holds the
  // hits before it.
  void Matched(const kensaku::FoundLine& line) override {
    const std::size_t hits = numbers_.size(), bytes = lines_.size(), spans = spans_.size();
    if (hits == 0) first_at_ = line.offset;
    try {
      numbers_.push_back(line.number);
      offsets_.push_back(line.source_offset);
      lines_.append(line.text, line.length);
      line_ends_.push_back(lines_.size());
      for (const kensaku::LineSpan& part : line.parts) {
        spans_.push_back(part.start);
        spans_.push_back(part.end);
      }
      span_ends_.push_back(spans_.size() / 2);
    } catch (...) {
      numbers_.resize(hits);
      offsets_.resize(hits);
      lines_.resize(bytes);
      line_ends_.resize(hits);
      spans_.resize(spans);
      span_ends_.resize(hits);
      throw;
    }
  }
  void Clear() {
    numbers_.clear();
    offsets_.clear();
    lines_.clear();
    line_ends_.clear();
    spans_.clear();
    span_ends_.clear();
  }
  std::size_t size() const { return numbers_.size(); }
  void Fill(kensaku_batch& batch) const {
    batch.count = numbers_.size();
    batch.numbers = numbers_.data();
    batch.offsets = offsets_.data();
    batch.lines = lines_.data();
    batch.line_ends = line_ends_.data();
    batch.spans = spans_.data();
    batch.span_ends = span_ends_.data();
  }

 private:
  const kensaku::InputFile* in_ = nullptr;
  std::uint64_t first_at_ = 0;  // where the batch's first hit is in the input as read
  std::vector<std::int64_t> numbers_;
  std::vector<std::uint64_t> offsets_;
  std::string lines_;
  std::vector<std::uint64_t> line_ends_;
  std::vector<std::uint64_t> spans_;
  std::vector<std::uint64_t> span_ends_;
};

}  // namespace

struct kensaku_search {
  const kensaku_query* query = nullptr;
  std::unique_ptr<kensaku::ByteReader> reader;  // memory or fed bytes; null for a file
  kensaku::FedReader* fed = nullptr;            // the reader, when fed
  std::unique_ptr<kensaku::InputFile> in;
  std::unique_ptr<kensaku::Searcher> searcher;
  BatchSink sink;
  Encoding encoding = Encoding::kCp932;
  bool started = false;
  bool ended = false;  // the searcher has ended; the last batch may still be out
  kensaku_error error{};

  // Tells the encoding and starts the searcher, once a fed search has enough bytes to tell it
  // from. False while it waits for them.
  bool Start() {
    Encoding asked;
    const bool named = query->encoding != KENSAKU_ENCODING_AUTO;
    if (named) EncodingOf(query->encoding, asked);
    const std::optional<Encoding> e =
        kensaku::DecideEncoding(*in, named ? &asked : nullptr, fed != nullptr && !fed->ended());
    if (!e) return false;
    encoding = *e;
    in->ReadWholeLines();
    searcher = std::make_unique<kensaku::Searcher>(query->queries, query->selection);
    sink.Watch(in.get());
    searcher->Start(*in, sink);
    started = true;
    return true;
  }
};

namespace {

// A search of the input the reader (or, without one, the file) gives; null with the reason when
// it cannot be read.
kensaku_search* NewSearch(const kensaku_query* query, const char* path,
                          std::unique_ptr<kensaku::ByteReader> reader, kensaku::FedReader* fed,
                          const char* name, kensaku_error* error) {
  if (query == nullptr) {
    SetError(error, KENSAKU_E_ARGUMENT, "no query");
    return nullptr;
  }
  auto search = std::make_unique<kensaku_search>();
  search->query = query;
  errno = 0;
  if (reader != nullptr) {
    search->fed = fed;
    search->reader = std::move(reader);
    search->in = std::make_unique<kensaku::InputFile>(*search->reader);
  } else {
    search->in = std::make_unique<kensaku::InputFile>(path);
  }
  if (search->in->state() != kensaku::kStreamGood) {
    const int code = errno == ENOMEM                              ? KENSAKU_E_MEMORY
                     : search->in->state() & kensaku::kStreamBad ? KENSAKU_E_READ
                                                                 : KENSAKU_E_OPEN;
    SetError(error, code, std::string(name) + ": " + std::strerror(errno != 0 ? errno : EIO));
    return nullptr;
  }
  return search.release();
}

std::int64_t CopyOut(const std::string& text, char* out, std::size_t capacity) {
  if (out != nullptr && capacity > 0) {
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
  }
  return static_cast<std::int64_t>(text.size());
}

}  // namespace

extern "C" {

const char* kensaku_version(void) { return KENSAKU_VERSION; }

void kensaku_query_options_init(kensaku_query_options* options) {
  if (options == nullptr) return;
  *options = kensaku_query_options{};
  options->kind = KENSAKU_KIND_PATTERN;
  options->max_count = -1;
  options->encoding = KENSAKU_ENCODING_AUTO;
  options->pattern_encoding = KENSAKU_ENCODING_UTF8;
  options->spans = 1;
}

kensaku_query* kensaku_query_new(const char* const* patterns, const std::size_t* lengths,
                                 std::size_t count, const kensaku_query_options* options,
                                 kensaku_error* error) {
  return kensaku_query_new_bounded(patterns, lengths, count, options, KENSAKU_BOUND_NONE, error);
}

kensaku_query* kensaku_query_new_bounded(const char* const* patterns, const std::size_t* lengths,
                                         std::size_t count, const kensaku_query_options* options,
                                         int bound, kensaku_error* error) {
  ClearError(error);
  // The file is read only for a romaji query.
  const bool romaji = options != nullptr && (options->kind == KENSAKU_KIND_ROMAJI ||
                                             options->kind == KENSAKU_KIND_ROMAJI_CONJUNCTIVE);
  kensaku_dictionary dictionary;
  if (romaji) {
    const bool read = Guarded(error, false, [&] {
      dictionary.words = DefaultDictionary();
      return true;
    });
    if (!read) return nullptr;
  }
  return kensaku_query_new_with(patterns, lengths, count, options, bound, &dictionary, error);
}

kensaku_dictionary* kensaku_dictionary_open(const char* path, kensaku_error* error) {
  ClearError(error);
  if (path == nullptr) {
    SetError(error, KENSAKU_E_ARGUMENT, "no dictionary file");
    return nullptr;
  }
  return Guarded(error, static_cast<kensaku_dictionary*>(nullptr), [&]() -> kensaku_dictionary* {
    auto dictionary = std::make_unique<kensaku_dictionary>();
    std::string problem;
    errno = 0;
    dictionary->words = kensaku::OpenRomajiDictionary(path, problem);
    if (dictionary->words == nullptr) {
      // A file read whole that holds no entries has no errno of its own.
      const int why = problem == "holds no entries" ? 0 : errno;
      SetError(error, why == ENOMEM ? KENSAKU_E_MEMORY : KENSAKU_E_OPEN,
               std::string(path) + ": " + (why != 0 ? std::strerror(why) : problem));
      return nullptr;
    }
    return dictionary.release();
  });
}

void kensaku_dictionary_free(kensaku_dictionary* dictionary) { delete dictionary; }

kensaku_query* kensaku_query_new_with(const char* const* patterns, const std::size_t* lengths,
                                      std::size_t count, const kensaku_query_options* options,
                                      int bound, const kensaku_dictionary* dictionary,
                                      kensaku_error* error) {
  ClearError(error);
  static constexpr kensaku::Bound kBounds[] = {kensaku::Bound::kNone, kensaku::Bound::kWord,
                                               kensaku::Bound::kLine};
  if (bound < KENSAKU_BOUND_NONE || bound > KENSAKU_BOUND_LINE) {
    SetError(error, KENSAKU_E_ARGUMENT, "unknown bound " + std::to_string(bound));
    return nullptr;
  }
  kensaku_query_options o;
  kensaku_query_options_init(&o);
  if (options != nullptr) o = *options;
  if (!CheckOptions(o, error)) return nullptr;
  if (patterns == nullptr && count > 0) {
    SetError(error, KENSAKU_E_ARGUMENT, "no patterns");
    return nullptr;
  }
  return Guarded(error, static_cast<kensaku_query*>(nullptr), [&]() -> kensaku_query* {
    auto extras = std::make_shared<kensaku::ExtraChars>();
    std::vector<std::string> entries;
    int fold = static_cast<int>(o.fold) | kensaku::FoldAsRead;
    if (o.kind == KENSAKU_KIND_REGEX && patterns != nullptr) {
      for (std::size_t i = 0; i < count; ++i) {
        if (patterns[i] != nullptr &&
            kensaku::RegexFoldsCase({patterns[i], lengths != nullptr ? lengths[i]
                                                                     : std::strlen(patterns[i])})) {
          fold |= kensaku::FoldReadCase;
        }
      }
    }
    if (!Entries(patterns, lengths, count, o.pattern_encoding == KENSAKU_ENCODING_UTF8,
                 kensaku::ReadingOf(fold), *extras, entries, error)) {
      return nullptr;
    }
    if (o.kind == KENSAKU_KIND_REGEX && o.pattern_encoding == KENSAKU_ENCODING_UTF8) {
      for (std::size_t i = 0; i < count; ++i) {
        kensaku::AddEscapedChars(
            {patterns[i], lengths != nullptr ? lengths[i] : std::strlen(patterns[i])},
            kensaku::ReadingOf(fold), *extras);
      }
    }
    kensaku::QueryOptions q;
    static constexpr kensaku::SearchKind kKinds[] = {
        kensaku::SearchKind::kMatch, kensaku::SearchKind::kMatchs, kensaku::SearchKind::kInc,
        kensaku::SearchKind::kRegex, kensaku::SearchKind::kInc, kensaku::SearchKind::kMatchs};
    q.kind = kKinds[o.kind];
    q.romaji = o.kind == KENSAKU_KIND_ROMAJI || o.kind == KENSAKU_KIND_ROMAJI_CONJUNCTIVE;
    if (q.romaji && dictionary != nullptr) q.dictionary = dictionary->words;
    q.match = kensaku::MatchOptions(fold);
    if (!extras->empty()) q.extras = extras;
    auto query = std::make_unique<kensaku_query>();
    try {
      query->queries = kensaku::CompileForEncodings(entries, q, kBounds[bound]);
    } catch (const kensaku::PatternError& e) {
      const std::size_t i = e.pattern();
      std::size_t at = e.position();
      if (o.pattern_encoding == KENSAKU_ENCODING_UTF8 && i < entries.size()) {
        kensaku::InternalAsUtf8(entries[i], *extras, e.position(), &at);
      }
      SetError(error, KENSAKU_E_PATTERN,
               "pattern " + std::to_string(i) + ", byte " + std::to_string(at) + ": " + e.what(), i,
               at);
      return nullptr;
    }
    query->selection.bound = kBounds[bound];
    query->selection.invert = (o.invert != 0) != query->queries.every_line;
    query->selection.max_count = o.max_count < 0 ? -1 : o.max_count;
    query->selection.parts = o.spans != 0;
    query->encoding = o.encoding;
    return query.release();
  });
}

void kensaku_query_free(kensaku_query* query) { delete query; }

int kensaku_query_match(const kensaku_query* query, const char* line, std::size_t length,
                        int encoding, std::uint64_t* spans, std::size_t max_spans,
                        std::size_t* span_count) {
  Encoding e;
  if (query == nullptr || (line == nullptr && length > 0) || !EncodingOf(encoding, e)) {
    return KENSAKU_E_ARGUMENT;
  }
  if (span_count != nullptr) *span_count = 0;
  if (query->queries.every_line) return 1;
  if (line == nullptr) line = "";
  if (encoding == KENSAKU_ENCODING_AUTO) e = kensaku::DetectEncoding(line, length, true);
  return GuardedCode([&] {
    // The line as a search reads it: NUL-terminated, UTF-16 and ISO-2022-JP as UTF-8.
    std::string text;
    if (kensaku::ReadsAsUtf8(e)) {
      kensaku::AppendTextAsUtf8(e, line, length, text);
      e = Encoding::kUtf8;
    } else {
      text.assign(line, length);
    }
    kensaku::LineMatcher matcher(query->queries, query->selection.bound);
    matcher.Start(e);
    const kensaku::MatchLine l{text.c_str(), text.size(),
                               kensaku::TextLength(text.c_str(), text.size())};
    const bool hit = matcher.Selects(l);
    if (hit && spans != nullptr) {
      const std::vector<kensaku::LineSpan>& parts = matcher.PartsOfLast();
      const std::size_t n = std::min(parts.size(), max_spans);
      for (std::size_t i = 0; i < n; ++i) {
        spans[2 * i] = parts[i].start;
        spans[2 * i + 1] = parts[i].end;
      }
      if (span_count != nullptr) *span_count = n;
    }
    return hit ? 1 : 0;
  });
}

kensaku_search* kensaku_search_file(const kensaku_query* query, const char* path,
                                    kensaku_error* error) {
  ClearError(error);
  if (path == nullptr) {
    SetError(error, KENSAKU_E_ARGUMENT, "no path");
    return nullptr;
  }
  return Guarded(error, static_cast<kensaku_search*>(nullptr),
                 [&] { return NewSearch(query, path, nullptr, nullptr, path, error); });
}

kensaku_search* kensaku_search_buffer(const kensaku_query* query, const void* data,
                                      std::size_t size, kensaku_error* error) {
  ClearError(error);
  if (data == nullptr && size > 0) {
    SetError(error, KENSAKU_E_ARGUMENT, "no data");
    return nullptr;
  }
  return Guarded(error, static_cast<kensaku_search*>(nullptr), [&] {
    auto reader = std::make_unique<kensaku::MemoryReader>(static_cast<const char*>(data), size);
    return NewSearch(query, nullptr, std::move(reader), nullptr, "memory", error);
  });
}

kensaku_search* kensaku_search_stream(const kensaku_query* query, kensaku_error* error) {
  ClearError(error);
  return Guarded(error, static_cast<kensaku_search*>(nullptr), [&] {
    auto fed = std::make_unique<kensaku::FedReader>();
    kensaku::FedReader* feeding = fed.get();
    return NewSearch(query, nullptr, std::move(fed), feeding, "stream", error);
  });
}

int kensaku_search_feed(kensaku_search* search, const void* data, std::size_t size) {
  if (search == nullptr || (data == nullptr && size > 0)) return KENSAKU_E_ARGUMENT;
  if (search->fed == nullptr || search->fed->ended()) return KENSAKU_E_STATE;
  return GuardedCode([&] {
    search->fed->Feed(static_cast<const char*>(data), size);
    return 0;
  });
}

int kensaku_search_end_input(kensaku_search* search) {
  if (search == nullptr) return KENSAKU_E_ARGUMENT;
  if (search->fed == nullptr) return KENSAKU_E_STATE;
  search->fed->End();
  return 0;
}

int kensaku_search_next(kensaku_search* search, kensaku_batch* batch) {
  if (search == nullptr || batch == nullptr) return KENSAKU_E_ARGUMENT;
  *batch = kensaku_batch{};
  search->sink.Clear();
  if (search->ended) return search->error.code != 0 ? search->error.code : KENSAKU_DONE;
  kensaku_error failure{};
  const int status = Guarded(&failure, 0, [&] {
    if (!search->started && !search->Start()) return KENSAKU_MORE_INPUT;
    if (search->searcher->Continue()) {
      search->ended = true;
      if (search->in->state() & kensaku::kStreamBad) {
        SetError(&search->error, errno == ENOMEM ? KENSAKU_E_MEMORY : KENSAKU_E_READ,
                 std::string("reading failed: ") + std::strerror(errno != 0 ? errno : EIO));
      }
    }
    return 0;
  });
  if (failure.code != 0) {
    // The search cannot go on from where it failed; the hits before it are still handed out.
    search->error = failure;
    search->ended = true;
  }
  if (status == KENSAKU_MORE_INPUT) return status;
  if (search->sink.size() > 0) {
    search->sink.Fill(*batch);
    return KENSAKU_HITS;
  }
  if (search->ended) return search->error.code != 0 ? search->error.code : KENSAKU_DONE;
  return KENSAKU_MORE_INPUT;  // the input waits for its reader
}

int kensaku_search_run(kensaku_search* search, kensaku_hit_callback hit, void* context) {
  if (search == nullptr || hit == nullptr) return KENSAKU_E_ARGUMENT;
  kensaku_batch batch;
  int status;
  while ((status = kensaku_search_next(search, &batch)) == KENSAKU_HITS) {
    for (std::size_t i = 0; i < batch.count; ++i) {
      const std::uint64_t from = i == 0 ? 0 : batch.line_ends[i - 1];
      const std::uint64_t pairs = i == 0 ? 0 : batch.span_ends[i - 1];
      const kensaku_hit h{batch.numbers[i],
                          batch.offsets[i],
                          batch.lines + from,
                          static_cast<std::size_t>(batch.line_ends[i] - from),
                          batch.spans + 2 * pairs,
                          static_cast<std::size_t>(batch.span_ends[i] - pairs)};
      if (hit(context, &h) != 0) {
        search->ended = true;
        return KENSAKU_DONE;
      }
    }
  }
  return status;
}

int kensaku_search_encoding(const kensaku_search* search) {
  return search != nullptr && search->started ? CodeOf(search->encoding) : KENSAKU_ENCODING_AUTO;
}

std::int64_t kensaku_search_lines(const kensaku_search* search) {
  return search != nullptr && search->searcher != nullptr ? search->searcher->lines() : 0;
}

void kensaku_search_error(const kensaku_search* search, kensaku_error* error) {
  if (error == nullptr) return;
  if (search == nullptr) {
    SetError(error, KENSAKU_E_ARGUMENT, "no search");
  } else {
    *error = search->error;
  }
}

void kensaku_search_free(kensaku_search* search) { delete search; }

int kensaku_detect_encoding(const void* data, std::size_t size, int complete) {
  if (data == nullptr && size > 0) return KENSAKU_E_ARGUMENT;
  return CodeOf(kensaku::DetectEncoding(static_cast<const char*>(data), size, complete != 0));
}

int kensaku_encoding_code(const char* name) {
  Encoding e;
  if (name == nullptr) return KENSAKU_E_ARGUMENT;
  if (std::strcmp(name, "auto") == 0) return KENSAKU_ENCODING_AUTO;
  return kensaku::EncodingNamed(name, e) ? CodeOf(e) : KENSAKU_E_ARGUMENT;
}

const char* kensaku_encoding_name(int code) {
  Encoding e;
  if (code == KENSAKU_ENCODING_AUTO) return "auto";
  return code > 0 && EncodingOf(code, e) ? kensaku::EncodingName(e) : nullptr;
}

std::int64_t kensaku_fold_utf8(const char* text, std::size_t length, unsigned fold, char* out,
                               std::size_t capacity) {
  if ((text == nullptr && length > 0) || (fold & ~0xFFu) != 0) return KENSAKU_E_ARGUMENT;
  kensaku_error error{};
  const std::int64_t n = Guarded(&error, std::int64_t{0}, [&] {
    return CopyOut(kensaku::FoldUtf8({text, length}, static_cast<int>(fold) | kensaku::FoldAsRead),
                   out, capacity);
  });
  return error.code != 0 ? error.code : n;
}

std::int64_t kensaku_to_utf8(int encoding, const char* text, std::size_t length, char* out,
                             std::size_t capacity) {
  Encoding e;
  if ((text == nullptr && length > 0) || !EncodingOf(encoding, e)) return KENSAKU_E_ARGUMENT;
  if (encoding == KENSAKU_ENCODING_AUTO) e = kensaku::DetectEncoding(text, length, true);
  kensaku_error error{};
  const std::int64_t n = Guarded(&error, std::int64_t{0}, [&] {
    std::string utf8;
    kensaku::AppendTextAsValidUtf8(e, text, length, utf8);
    return CopyOut(utf8, out, capacity);
  });
  return error.code != 0 ? error.code : n;
}

}  // extern "C"
