// The C interface when memory runs out: for every n, the n-th allocation of a search of each kind
// fails (once, or from then on), and every call must answer with an error code or succeed, never
// end the process, free everything it made, and leave the library as good as before. The
// allocation functions are replaced by fail_alloc.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "kensaku_search.h"
#include "temp_dir.h"

extern "C" {
void kensaku_test_fail_allocation(long n, int from_then_on);
long kensaku_test_failed_allocations(void);
long kensaku_test_live_allocations(void);
}

namespace kensaku {
namespace {

// What a run of a scenario gave: a hash of each hit (or each answer), and how it ended. Kept in
// fixed storage, so that recording allocates nothing.
struct Outcome {
  static constexpr std::size_t kMax = 64;
  int code = 0;  // 0, or the error code that ended the run
  std::size_t count = 0;
  std::uint64_t hits[kMax] = {};

  void Add(std::uint64_t h) {
    if (count < kMax) hits[count] = h;
    ++count;
  }
};

std::uint64_t Hash(std::uint64_t h, const void* data, std::size_t n) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001B3u;
  return h;
}

template <typename T>
std::uint64_t HashOf(std::uint64_t h, const T& value) {
  return Hash(h, &value, sizeof value);
}

void AddHit(Outcome& out, const kensaku_hit& hit) {
  std::uint64_t h = 0xCBF29CE484222325u;
  h = HashOf(h, hit.number);
  h = HashOf(h, hit.offset);
  h = Hash(h, hit.line, hit.length);
  h = Hash(h, hit.spans, 2 * hit.span_count * sizeof *hit.spans);
  out.Add(h);
}

void AddBatch(Outcome& out, const kensaku_batch& batch) {
  for (std::size_t i = 0; i < batch.count; ++i) {
    const std::uint64_t from = i == 0 ? 0 : batch.line_ends[i - 1];
    const std::uint64_t pairs = i == 0 ? 0 : batch.span_ends[i - 1];
    AddHit(out, {batch.numbers[i], batch.offsets[i], batch.lines + from,
                 static_cast<std::size_t>(batch.line_ends[i] - from), batch.spans + 2 * pairs,
                 static_cast<std::size_t>(batch.span_ends[i] - pairs)});
  }
}

struct Texts {
  std::string utf8 =
      "検索する\nabbbc と ac\n寿司🍣の店\nけんさく ケンサク\n" + std::string(300, 'x') + "abc\n";
  // ケンサク, 検索 and ASCII, in code page 932.
  std::string sjis = "\x83\x50\x83\x93\x83\x54\x83\x4E\nplain\n\x8C\x9F\x8D\xF5 \x83\x50\n";
  // 検索 in EUC-JP, and a broken byte.
  std::string eucjp = "a \xB8\xA1\xBA\xF7 b\n\xB8\xA1 only\nno\n\xFF \xBA\xF7\xB8\xA1\xBA\xF7\n";
  std::string utf16;
  std::string path;
  std::string dictionary;  // けんさく /検索/, in EUC-JP

  Texts() {
    utf16 = "\xFF\xFE";
    for (char32_t c : std::u32string(U"abc\n\u30AAx\nzz abc\n")) {
      utf16 += static_cast<char>(c & 0xFF);
      utf16 += static_cast<char>(c >> 8);
    }
  }
};

Texts* texts = nullptr;

kensaku_query* NewQuery(Outcome& out, int kind, unsigned fold, const char* const* patterns,
                        std::size_t count) {
  kensaku_query_options options;
  kensaku_query_options_init(&options);
  options.kind = kind;
  options.fold = fold;
  kensaku_error error;
  kensaku_query* query = kensaku_query_new(patterns, nullptr, count, &options, &error);
  if (query == nullptr) out.code = error.code != 0 ? error.code : 1;  // 1: no code given
  return query;
}

// Pulls every batch of a search, feeding `pieces` first when it is a stream.
void Drain(Outcome& out, kensaku_search* search, const std::string* fed = nullptr) {
  kensaku_batch batch;
  std::size_t given = 0;
  for (;;) {
    const int status = kensaku_search_next(search, &batch);
    if (status == KENSAKU_HITS) {
      AddBatch(out, batch);
    } else if (status == KENSAKU_MORE_INPUT && fed != nullptr) {
      // Three pieces, cut inside characters.
      if (given >= fed->size()) {
        if (kensaku_search_end_input(search) != 0) out.code = 2;
        continue;
      }
      const std::size_t n = std::min<std::size_t>(fed->size() - given, fed->size() / 3 + 1);
      const int fed_status = kensaku_search_feed(search, fed->data() + given, n);
      if (fed_status != 0) {
        out.code = fed_status;
        return;
      }
      given += n;
    } else {
      if (status != KENSAKU_DONE) out.code = status;
      return;
    }
  }
}

// A search just made (null: its error says why) drained and freed.
void DrainAndFree(Outcome& out, kensaku_search* search, const kensaku_error& error,
                  const std::string* fed = nullptr) {
  if (search == nullptr) {
    out.code = error.code;
    return;
  }
  Drain(out, search, fed);
  kensaku_search_free(search);
}

using Scenario = void (*)(Outcome&);

void BufferOfPatterns(Outcome& out) {
  const char* patterns[] = {"検.", "ab*c", "\xF0\x9F\x8D\xA3", "^け"};
  kensaku_query* query =
      NewQuery(out, KENSAKU_KIND_PATTERN, KENSAKU_FOLD_KANA_TO_KATAKANA, patterns, 4);
  if (query == nullptr) return;
  kensaku_error error;
  DrainAndFree(out, kensaku_search_buffer(query, texts->utf8.data(), texts->utf8.size(), &error),
               error);
  kensaku_query_free(query);
}

void FileOfLiterals(Outcome& out) {
  const char* patterns[] = {"けんさく", "検索", "PLAIN"};
  kensaku_query* query =
      NewQuery(out, KENSAKU_KIND_LITERAL,
               KENSAKU_FOLD_KANA_TO_HIRAGANA | KENSAKU_FOLD_TO_UPPER | KENSAKU_FOLD_TO_FULL_WIDTH,
               patterns, 3);
  if (query == nullptr) return;
  kensaku_error error;
  DrainAndFree(out, kensaku_search_file(query, texts->path.c_str(), &error), error);
  kensaku_query_free(query);
}

void StreamOfTerms(Outcome& out) {
  const char* patterns[] = {"検&索", "a&b"};
  kensaku_query* query = NewQuery(out, KENSAKU_KIND_CONJUNCTIVE, 0, patterns, 2);
  if (query == nullptr) return;
  kensaku_error error;
  DrainAndFree(out, kensaku_search_stream(query, &error), error, &texts->eucjp);
  kensaku_query_free(query);
}

int OnHit(void* context, const kensaku_hit* hit) {
  AddHit(*static_cast<Outcome*>(context), *hit);
  return 0;
}

void CallbackOverUtf16(Outcome& out) {
  const char* patterns[] = {"abc", "\xE3\x81\x8A"};  // お, which the kana fold makes オ
  kensaku_query* query =
      NewQuery(out, KENSAKU_KIND_LITERAL, KENSAKU_FOLD_KANA_TO_KATAKANA, patterns, 2);
  if (query == nullptr) return;
  kensaku_error error;
  kensaku_search* search =
      kensaku_search_buffer(query, texts->utf16.data(), texts->utf16.size(), &error);
  if (search == nullptr) {
    out.code = error.code;
  } else {
    const int status = kensaku_search_run(search, OnHit, &out);
    if (status != KENSAKU_DONE) out.code = status;
    kensaku_search_free(search);
  }
  kensaku_query_free(query);
}

void SingleTexts(Outcome& out) {
  const char* patterns[] = {"検索", "ab*c"};
  kensaku_query* query = NewQuery(out, KENSAKU_KIND_PATTERN, 0, patterns, 2);
  if (query == nullptr) return;
  const std::string* lines[] = {&texts->utf8, &texts->sjis, &texts->eucjp, &texts->utf16};
  for (const std::string* line : lines) {
    std::uint64_t spans[16];
    std::size_t count = 0;
    const int hit = kensaku_query_match(query, line->data(), line->size(), KENSAKU_ENCODING_AUTO,
                                        spans, 8, &count);
    if (hit < 0) {
      out.code = hit;
      break;
    }
    out.Add(Hash(HashOf(0, hit), spans, 2 * count * sizeof *spans));
  }
  kensaku_query_free(query);
  if (out.code != 0) return;
  // A romaji word through a dictionary the caller opens.
  kensaku_error error;
  kensaku_dictionary* dictionary = kensaku_dictionary_open(texts->dictionary.c_str(), &error);
  if (dictionary == nullptr) {
    out.code = error.code;
    return;
  }
  kensaku_query_options options;
  kensaku_query_options_init(&options);
  options.kind = KENSAKU_KIND_ROMAJI;
  const char* word = "kensaku";
  query = kensaku_query_new_with(&word, nullptr, 1, &options, KENSAKU_BOUND_NONE, dictionary,
                                 &error);
  kensaku_dictionary_free(dictionary);
  if (query == nullptr) {
    out.code = error.code;
    return;
  }
  const int hit = kensaku_query_match(query, texts->utf8.data(), 12, KENSAKU_ENCODING_UTF8,
                                      nullptr, 0, nullptr);  // 検索する
  kensaku_query_free(query);
  if (hit < 0) {
    out.code = hit;
    return;
  }
  out.Add(HashOf(1, hit));
  char folded[64];
  const std::int64_t n = kensaku_fold_utf8(
      "けんさくＡ", 15, KENSAKU_FOLD_KANA_TO_KATAKANA | KENSAKU_FOLD_TO_HALF_WIDTH, folded,
      sizeof folded);
  if (n < 0) {
    out.code = static_cast<int>(n);
    return;
  }
  out.Add(Hash(0, folded, static_cast<std::size_t>(n)));
  char utf8[64];
  const std::int64_t m = kensaku_to_utf8(KENSAKU_ENCODING_AUTO, texts->utf16.data(),
                                         texts->utf16.size(), utf8, sizeof utf8);
  if (m < 0) {
    out.code = static_cast<int>(m);
    return;
  }
  out.Add(Hash(0, utf8, static_cast<std::size_t>(std::min<std::int64_t>(m, 63))));
}

class AllocationFailure : public ::testing::TestWithParam<Scenario> {
 protected:
  static void SetUpTestSuite() {
    texts = new Texts;
    texts->path = dir_ / "input.txt";
    WriteFile(texts->path, texts->sjis);
    texts->dictionary = dir_ / "words.dict";
    WriteFile(texts->dictionary, "\xA4\xB1\xA4\xF3\xA4\xB5\xA4\xAF /\xB8\xA1\xBA\xF7/\n");
  }
  static void TearDownTestSuite() {
    delete texts;
    texts = nullptr;
  }
  static inline TempDir dir_;
};

TEST_P(AllocationFailure, EveryCallAnswersFreesAllAndTheLibraryGoesOn) {
  const Scenario scenario = GetParam();
  Outcome want;
  scenario(want);  // also makes the tables that live as long as the process
  ASSERT_EQ(want.code, 0);
  ASSERT_GT(want.count, 0u);
  ASSERT_LE(want.count, Outcome::kMax);
  for (int from_then_on = 0; from_then_on <= 1; ++from_then_on) {
    bool reached = true;
    long n = 1;
    for (; reached && n < 100000; ++n) {
      const long live = kensaku_test_live_allocations();
      Outcome got;
      kensaku_test_fail_allocation(n, from_then_on);
      scenario(got);
      reached = kensaku_test_failed_allocations() > 0;
      kensaku_test_fail_allocation(0, 0);
      const long left = kensaku_test_live_allocations() - live;
      const std::string at = "allocation " + std::to_string(n) + (from_then_on ? " on" : "");
      ASSERT_EQ(left, 0) << at << ": blocks left allocated";
      if (!reached || got.code == 0) {
        // Nothing failed, or the library did without the memory: the same answers.
        ASSERT_EQ(got.code, 0) << at;
        ASSERT_EQ(got.count, want.count) << at;
      } else {
        ASSERT_EQ(got.code, KENSAKU_E_MEMORY) << at;
        ASSERT_LE(got.count, want.count) << at;
      }
      // What was answered before the failure is what a whole run answers.
      for (std::size_t i = 0; i < std::min(got.count, Outcome::kMax); ++i) {
        ASSERT_EQ(got.hits[i], want.hits[i]) << at << ", answer " << i;
      }
    }
    ASSERT_FALSE(reached) << "no run without a failure";
    ASSERT_GT(n, 3) << "the scenario allocates";
    Outcome again;
    scenario(again);
    ASSERT_EQ(again.code, 0);
    ASSERT_EQ(again.count, want.count);
    for (std::size_t i = 0; i < want.count; ++i) ASSERT_EQ(again.hits[i], want.hits[i]);
  }
}

std::string ScenarioName(const ::testing::TestParamInfo<Scenario>& info) {
  static const char* const kNames[] = {"Buffer", "File", "Stream", "Callback", "SingleTexts"};
  return kNames[info.index];
}

INSTANTIATE_TEST_SUITE_P(EveryKind, AllocationFailure,
                         ::testing::Values(BufferOfPatterns, FileOfLiterals, StreamOfTerms,
                                           CallbackOverUtf16, SingleTexts),
                         ScenarioName);

}  // namespace
}  // namespace kensaku
