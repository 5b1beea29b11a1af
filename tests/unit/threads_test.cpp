// Searches of every form at once from several threads, each with its own folding and output form,
// over the same files, some through queries that all threads share: each must give what the same
// search gives when it runs alone. The threads go first, so that they also make the fold tables
// of their flags at the same time. Run under ThreadSanitizer as well (the linux-tsan preset).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "match/line_tests.h"
#include "match/pattern_list.h"
#include "search/drivers.h"
#include "search/searcher.h"
#include "sjis_gen.h"
#include "temp_dir.h"

namespace kensaku {
namespace {

// Every line a selection reports, with its number, its parts and the context around it.
class Recorder final : public SearchSink {
 public:
  void Matched(const FoundLine& line) override {
    out += std::to_string(line.number) + ":" + std::string(line.text, line.length);
    for (const LineSpan& part : line.parts) {
      out += " [" + std::to_string(part.start) + "," + std::to_string(part.end) + ")";
    }
    out += "\n";
  }
  void Context(const FoundLine& line) override {
    out += std::to_string(line.number) + "-" + std::string(line.text, line.length) + "\n";
  }
  void ContextBreak() override { out += "--\n"; }
  void Finish(const SearchEnd& end) override {
    out += "end " + std::to_string(end.bytes_searched) + " " + std::to_string(end.selected) +
           (end.last_line_lf ? "\n" : " open\n");
  }
  std::string out;
};

enum class Form { kToFile, kToResult, kSelection, kSharedSelection, kLines };

struct Job {
  Form form;
  SearchKind kind;
  ExportSettings settings;  // the fold flags of every form; the output form of the exports'
  Selection selection;
  std::string list;  // CR LF between entries
  std::size_t file;
  std::size_t shared;  // kSharedSelection: which shared query
};

class ThreadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_gen::Generator gen(1717);
    std::vector<std::string> pieces = testing_gen::SubjectPieces();
    for (const char* word : {"kensaku", "\x8C\x9F\x8D\xF5", "\x83\x74\x83\x40\x83\x43\x83\x8B",
                             "\x82\xD3\x82\x9F\x82\xA2\x82\xE9"}) {
      pieces.push_back(word);
    }
    for (std::size_t f = 0; f < 3; ++f) {
      std::string text;
      while (text.size() < 60000) text += gen.Text(pieces, 24) + (gen.Int(0, 9) ? "\n" : "\r\n");
      files_.push_back(dir_ / ("in" + std::to_string(f)));
      lines_.push_back(text);
      WriteFile(files_.back(), text);
    }
    for (int j = 0; j < 60; ++j) {
      Job job;
      job.form = static_cast<Form>(j % 5);
      job.kind = static_cast<SearchKind>(gen.Int(0, 2));
      job.settings = {gen.Pick(testing_gen::FlagChoices()), gen.Int(0, 1), gen.Int(0, 1)};
      job.selection.invert = gen.Int(0, 3) == 0;
      job.selection.max_count = gen.Int(0, 3) == 0 ? gen.Int(0, 50) : -1;
      job.selection.before = gen.Int(0, 2);
      job.selection.after = gen.Int(0, 2);
      job.selection.parts = gen.Int(0, 1) == 1;
      job.selection.numbered = gen.Int(0, 1) == 1;
      for (int e = gen.Int(1, j % 3 == 0 ? 40 : 3); e > 0; --e) {
        job.list += gen.Pick(pieces) + gen.Pick(pieces) + "\r\n";
      }
      job.file = static_cast<std::size_t>(gen.Int(0, 2));
      job.shared = static_cast<std::size_t>(gen.Int(0, 3));
      jobs_.push_back(job);
    }
    // Queries compiled once, which every thread searches with at the same time.
    for (std::size_t q = 0; q < 4; ++q) {
      QueryOptions options;
      options.kind = static_cast<SearchKind>(q % 3);
      options.match = MatchOptions(testing_gen::FlagChoices()[q * 3]);
      const ListText split(jobs_[q].list.c_str(), options.match.fold_flags);
      shared_.push_back(std::make_unique<Query>(std::span(split.begin(), split.end()), options));
    }
  }

  // The job's result as one text: its output and its count.
  std::string Run(const Job& job, const std::string& tag) const {
    const std::string& input = files_[job.file];
    switch (job.form) {
      case Form::kToFile: {
        const std::string out = dir_ / ("out-" + tag);
        const std::int32_t count =
            SearchFileToFile(job.kind, input.c_str(), out.c_str(), job.list.c_str(), job.settings);
        std::string text = ReadFile(out);
        std::remove(out.c_str());
        return std::to_string(count) + "\n" + text;
      }
      case Form::kToResult: {
        std::vector<char> result(kResultCapacity + 1);
        const char* text =
            job.kind == SearchKind::kInc
                ? SearchFileInc(input.c_str(), job.list.c_str(), job.settings, result.data())
                : SearchFileMatchs(input.c_str(), job.list.c_str(), job.settings, result.data());
        return text == nullptr ? std::string("null") : std::string(text);
      }
      case Form::kSelection:
      case Form::kSharedSelection: {
        std::unique_ptr<Query> own;
        const Query* query = nullptr;
        if (job.form == Form::kSharedSelection) {
          query = shared_[job.shared].get();
        } else {
          const ListText split(job.list.c_str(), job.settings.fold_flags);
          own = std::make_unique<Query>(std::span(split.begin(), split.end()),
                                        ExportOptions(job.kind, job.settings));
          query = own.get();
        }
        InputFile in(input.c_str());
        Recorder sink;
        const std::int64_t selected = Search(*query, in, sink, job.selection);
        return std::to_string(selected) + "\n" + sink.out;
      }
      case Form::kLines: {
        // Each call compiles its list again: a few hundred lines are plenty.
        std::string results;
        const std::string text = lines_[job.file].substr(0, 8000);
        for (std::size_t at = 0; at < text.size();) {
          std::size_t end = text.find('\n', at);
          if (end == std::string::npos) end = text.size();
          const std::string line = text.substr(at, end - at);
          const int flags = job.settings.fold_flags;
          results +=
              std::to_string(LineMatchesList(line.c_str(), job.list.c_str(), flags)) +
              std::to_string(LineMatchesConjunctiveList(line.c_str(), job.list.c_str(), flags)) +
              std::to_string(LineInclusionOfList(line.c_str(), job.list.c_str(), flags));
          at = end + 1;
        }
        return results;
      }
    }
    return "";
  }

  TempDir dir_;
  std::vector<std::string> files_;
  std::vector<std::string> lines_;  // the files' texts
  std::vector<Job> jobs_;
  std::vector<std::unique_ptr<Query>> shared_;
};

TEST_F(ThreadsTest, SearchesAtOnceGiveWhatEachGivesAlone) {
  constexpr int kThreads = 4;
  // Each thread runs every job, starting at a job of its own, so that different searches and
  // the same ones meet at once.
  std::vector<std::vector<std::string>> together(kThreads, std::vector<std::string>(jobs_.size()));
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ++ready;
      while (ready.load() < kThreads) std::this_thread::yield();
      for (std::size_t k = 0; k < jobs_.size(); ++k) {
        const std::size_t j = (k + static_cast<std::size_t>(t) * 17) % jobs_.size();
        together[t][j] = Run(jobs_[j], std::to_string(t) + "-" + std::to_string(j));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  int selected_somewhere = 0;
  for (std::size_t j = 0; j < jobs_.size(); ++j) {
    const std::string alone = Run(jobs_[j], "alone-" + std::to_string(j));
    selected_somewhere += alone.find(":") != std::string::npos;
    for (int t = 0; t < kThreads; ++t) {
      ASSERT_EQ(together[t][j], alone) << "job " << j << " thread " << t;
    }
  }
  EXPECT_GT(selected_somewhere, 20);  // most searches find something to compare
}

}  // namespace
}  // namespace kensaku
