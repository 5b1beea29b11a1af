#include "search.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace kensaku::cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kBinaryProbe = 32768;

struct Job {
  const Target* target;
  std::string ready;  // written by the job, not yet by the main thread
  std::string err;
  bool done = false;
  bool selected = false;
  bool error = false;
};

// Shared by the workers and the writer, under one lock.
struct Board {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::unique_ptr<Job>> jobs;
  std::size_t next = 0;  // the next job to start
  std::size_t head = 0;  // the job being written
  std::atomic<bool> stop{false};
  std::atomic<std::uint64_t> bytes_done{0};
  std::atomic<std::size_t> files_done{0};
};

bool LooksBinary(InputFile& in) {
  const auto [text, n] = in.Window();
  return std::memchr(text, '\0', n < kBinaryProbe ? n : kBinaryProbe) != nullptr;
}

void RunJob(const SearchPlan& plan, const Query& query, Board& board, Job& job) {
  const Target& target = *job.target;
  std::string out, err;
  bool selected = false, error = false;
  if (!target.error.empty()) {
    err = target.error;
    error = true;
  } else {
    errno = 0;
    InputFile in(target.path.c_str());
    if (in.failed()) {
      err = target.shown + ": " + std::strerror(errno != 0 ? errno : EIO);
      error = true;
    } else {
      PrintConfig config = plan.print;
      config.binary = plan.binary != Binary::kText && LooksBinary(in);
      if (!(config.binary && plan.binary == Binary::kWithoutMatch)) {
        auto drain = [&] {
          std::lock_guard<std::mutex> lock(board.mutex);
          job.ready += out;
          board.changed.notify_all();
          out.clear();
        };
        ReadMeter meter(in, board.bytes_done);
        Printer printer(config, target.shown, out, drain, &board.stop, &meter);
        Search(query, in, printer, plan.selection);
        if ((in.state() & kStreamBad) != 0) {
          err = target.shown + ": read error";
          error = true;
        }
        selected = printer.selected() > 0;
        if (!printer.note().empty()) err = printer.note();
      }
    }
  }
  std::lock_guard<std::mutex> lock(board.mutex);
  job.ready += out;
  job.err = err;
  job.selected = selected;
  job.error = error;
  job.done = true;
  ++board.files_done;
  board.changed.notify_all();
}

void Worker(const SearchPlan& plan, const Query& query, Board& board) {
  // Not too far ahead of the writer, so that waiting output stays bounded in number of files.
  const std::size_t ahead = static_cast<std::size_t>(plan.threads) * 4 + 8;
  for (;;) {
    Job* job = nullptr;
    {
      std::unique_lock<std::mutex> lock(board.mutex);
      board.changed.wait(
          lock, [&] { return board.next >= board.jobs.size() || board.next < board.head + ahead; });
      if (board.next >= board.jobs.size()) return;
      job = board.jobs[board.next++].get();
    }
    if (board.stop.load()) {
      std::lock_guard<std::mutex> lock(board.mutex);
      job->done = true;
      ++board.files_done;
      board.changed.notify_all();
      continue;
    }
    RunJob(plan, query, board, *job);
  }
}

class Progress {
 public:
  Progress(const SearchPlan& plan, const std::vector<Target>& targets, Board& board)
      : enabled_(plan.progress),
        delay_(plan.progress_delay_ms),
        board_(board),
        files_(targets.size()),
        start_(Clock::now()) {
    for (const Target& t : targets) total_ += t.size;
  }
  void Draw() {
    if (!enabled_) return;
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    if (seconds * 1000 < delay_) return;
    const double mb = static_cast<double>(board_.bytes_done.load()) / 1e6;
    char line[160];
    if (total_ > 0) {
      std::snprintf(line, sizeof line, "\r%.1f of %.1f MB, %.1f MB/s, %zu of %zu files\33[K", mb,
                    static_cast<double>(total_) / 1e6, seconds > 0 ? mb / seconds : 0.0,
                    board_.files_done.load(), files_);
    } else {
      std::snprintf(line, sizeof line, "\r%.1f MB, %.1f MB/s, %zu of %zu files\33[K", mb,
                    seconds > 0 ? mb / seconds : 0.0, board_.files_done.load(), files_);
    }
    std::fputs(line, stderr);
    std::fflush(stderr);
    shown_ = true;
  }
  void Erase() {
    if (!shown_) return;
    std::fputs("\r\33[K", stderr);
    std::fflush(stderr);
    shown_ = false;
  }

 private:
  bool enabled_;
  int delay_;
  Board& board_;
  std::size_t files_;
  std::uint64_t total_ = 0;
  Clock::time_point start_;
  bool shown_ = false;
};

}  // namespace

SearchResult SearchAll(const SearchPlan& plan, const Query& query,
                       const std::vector<Target>& targets) {
  Board board;
  for (const Target& t : targets) {
    board.jobs.push_back(std::make_unique<Job>());
    board.jobs.back()->target = &t;
  }
  const std::size_t threads = std::max<std::size_t>(
      1, std::min<std::size_t>(static_cast<std::size_t>(plan.threads), targets.size()));
  std::vector<std::thread> workers;
  for (std::size_t i = 0; i < threads; ++i) {
    workers.emplace_back(Worker, std::cref(plan), std::cref(query), std::ref(board));
  }
  Progress progress(plan, targets, board);
  SearchResult result;
  bool write_failed = false;
  // Context groups of different files are parted by "--" too, as within one file.
  const PrintConfig& print = plan.print;
  const bool parted = plan.selection.after > 0 || plan.selection.before > 0;
  const std::string separator = print.color ? "\33[36m\33[K--\33[m\33[K\n" : "--\n";
  bool printed = false;
  for (std::size_t i = 0; i < board.jobs.size(); ++i) {
    Job& job = *board.jobs[i];
    bool first = true;
    for (;;) {
      std::string text;
      bool done = false;
      {
        std::unique_lock<std::mutex> lock(board.mutex);
        board.changed.wait_for(lock, std::chrono::milliseconds(100),
                               [&] { return !job.ready.empty() || job.done; });
        text.swap(job.ready);
        done = job.done;
      }
      if (!text.empty()) {
        progress.Erase();
        if (parted && first && printed) text.insert(0, separator);
        first = false;
        printed = true;
        if (!write_failed && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
          write_failed = true;
          board.stop = true;
        }
      }
      if (done) break;
      std::fflush(stdout);
      progress.Draw();
    }
    if (!job.err.empty() && !(plan.no_messages && job.error)) {
      progress.Erase();
      std::fflush(stdout);
      std::fprintf(stderr, "kensaku: %s\n", job.err.c_str());
    }
    result.selected = result.selected || job.selected;
    result.error = result.error || job.error;
    {
      std::lock_guard<std::mutex> lock(board.mutex);
      board.head = i + 1;
      board.changed.notify_all();
    }
    progress.Draw();
  }
  for (std::thread& t : workers) t.join();
  progress.Erase();
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || write_failed) {
    std::fputs("kensaku: cannot write the output\n", stderr);
    result.error = true;
  }
  return result;
}

}  // namespace kensaku::cli
