#include "search.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform.h"

namespace kensaku::cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kBinaryProbe = 32768;
// Output is handed to the system in blocks of about this size.
constexpr std::size_t kWriteBlock = 1 << 18;
// Workers wait while this much output of files not yet written is held.
constexpr std::uint64_t kMaxHeld = 64u << 20;

// KENSAKU_HOLD_BYTES, for the tests, sets another bound: 1 makes the writer take files itself.
std::uint64_t HeldBound() {
  const char* bound = std::getenv("KENSAKU_HOLD_BYTES");
  return bound != nullptr && *bound != '\0' ? std::strtoull(bound, nullptr, 10) : kMaxHeld;
}

// Passes all on to the printer, keeping where the last selected line ends.
class LastSelected : public SearchSink {
 public:
  explicit LastSelected(SearchSink& to) : to_(to) {}
  std::uint64_t end = 0;

  bool ok() const override { return to_.ok(); }
  bool paused() const override { return to_.paused(); }
  void Matched(const FoundLine& line) override {
    end = line.offset + line.length + (line.lf ? 1 : 0);
    to_.Matched(line);
  }
  void Context(const FoundLine& line) override { to_.Context(line); }
  void ContextBreak() override { to_.ContextBreak(); }
  void Finish(const SearchEnd& end) override { to_.Finish(end); }

 private:
  SearchSink& to_;
};

// One target of the search and what came of it. A directory's entries become nodes of their own
// when it is listed; the output is written in the order of the nodes, depth first.
struct Node {
  enum State { kQueued, kTaken, kDone };

  Target target;
  Node* parent = nullptr;
  std::string canonical;  // a directory's, when links are followed
  std::atomic<int> state{kQueued};
  // A directory's handle, kept open while its entries are opened relative to it (-1: none), and
  // how many of them have not been opened yet.
  std::intptr_t handle = -1;
  std::atomic<std::size_t> unopened{0};

  // Written by the one who took the node, read by the writer once it is done (or, for the output
  // of a file the writer waits for, under the board's lock as it grows).
  std::vector<std::unique_ptr<Node>> children;
  std::string out;
  // Set when the writer searches the node itself: output goes straight to it.
  const std::function<void(std::string&)>* write = nullptr;
  std::uint64_t held = 0;  // what was left in out when the node was done
  std::string err;
  bool selected = false;
  bool error = false;
};

class Board {
 public:
  Board(const SearchPlan& plan, const Queries& queries, RunOutput& output)
      : plan_(plan), queries_(queries), output_(output), max_held_(HeldBound()) {
    // An input that is the output file would be read back as it grows: grep skips it when lines
    // are written, unless -m stops at the first.
    const std::int64_t most = plan.selection.max_count;
    check_output_ = plan.print.report == Report::kLines && (most < 0 || most > 1) &&
                    RegularFileId(StandardOutputHandle(), output_file_);
  }

  std::vector<std::unique_ptr<Node>>& roots() { return roots_; }
  std::atomic<bool>& stop() { return stop_; }
  std::uint64_t bytes_done() const { return bytes_done_.load(std::memory_order_relaxed); }
  std::size_t files_done() const { return files_done_.load(std::memory_order_relaxed); }
  std::size_t files_found() const { return files_found_.load(std::memory_order_relaxed); }
  SkipCounter& skipped() { return skipped_; }

  // Queues the operands and starts the workers; with none, the writer searches each itself.
  void Start(int threads) {
    for (auto& node : roots_) {
      if (node->target.kind == Target::Kind::kFile) ++files_found_;
    }
    {
      const std::lock_guard<std::mutex> lock(queue_mutex_);
      for (auto& node : roots_) queue_.push_back(node.get());
      pending_ = roots_.size();
    }
    threads_ = static_cast<std::size_t>(threads);
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
  }

  void Join() {
    {
      const std::lock_guard<std::mutex> lock(queue_mutex_);
      closed_ = true;
    }
    work_ready_.notify_all();
    room_.notify_all();
    for (std::thread& t : workers_) t.join();
  }

  // Waits until the node is done, handing over the output it has so far to write(text); or, when
  // the workers wait for room and the node is still queued, takes it itself, so that they never
  // wait for each other. The writer is not woken for every node a worker finishes, only when the
  // awaited file's output grows, when the last node is done, or when workers wait for room: it
  // looks again every few milliseconds, and runs every(milliseconds waited) as it waits.
  template <typename Write, typename Every>
  void AwaitNode(Node& node, Write&& write, Every&& every) {
    const Clock::time_point start = Clock::now();
    for (;;) {
      if (node.state.load() == Node::kDone) break;
      if ((threads_ == 0 || waiting_for_room_.load() > 0) && TakeFromQueue(node)) {
        if (own_ == nullptr) own_ = std::make_unique<Tools>(queries_, plan_.selection);
        const std::function<void(std::string&)> direct = [&write](std::string& text) {
          write(text);
        };
        node.write = &direct;
        Process(node, *own_);
        node.write = nullptr;
        break;
      }
      std::string text;
      {
        std::unique_lock<std::mutex> lock(stream_mutex_);
        awaited_.store(&node);
        node_changed_.wait_for(lock, std::chrono::milliseconds(5), [&] {
          return !node.out.empty() || node.state.load() == Node::kDone ||
                 waiting_for_room_.load() > 0;
        });
        awaited_.store(nullptr);
        if (node.state.load() != Node::kDone) text.swap(node.out);
      }
      if (!text.empty()) write(text);
      every(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    }
  }

  // The writer has written a node's output: its room goes back to the workers.
  void Written(const Node& node) {
    const std::uint64_t held = held_.fetch_sub(node.held) - node.held;
    if (held < max_held_ && waiting_for_room_.load() > 0) {
      const std::lock_guard<std::mutex> lock(queue_mutex_);
      room_.notify_all();
    }
  }

 private:
  // Takes nodes from the front of the queue, a few at a time, until there are none left and none
  // being worked on that could add more.
  // What a thread keeps from one file to the next.
  struct Tools {
    Tools(const Queries& queries, const Selection& selection) : searcher(queries, selection) {}
    ReadBuffer buffer;
    Searcher searcher;
  };

  void Work() {
    Tools tools(queries_, plan_.selection);
    std::vector<Node*> batch;
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(queue_mutex_);
        if (held_.load() >= max_held_) {
          ++waiting_for_room_;
          WakeWriter();
          room_.wait(lock, [&] { return closed_ || held_.load() < max_held_; });
          --waiting_for_room_;
        }
        work_ready_.wait(lock, [&] { return closed_ || !queue_.empty() || pending_ == 0; });
        if (queue_.empty()) return;  // and nothing being worked on can add more
        // A few at a time, fewer as the queue runs short, so that every worker has some.
        const std::size_t share = queue_.size() / (2 * threads_);
        const std::size_t take = std::clamp<std::size_t>(share, 1, 16);
        batch.assign(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(take));
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(take));
        for (Node* node : batch) node->state.store(Node::kTaken);
      }
      for (Node* node : batch) Process(*node, tools);
    }
  }

  // Takes a node that is still queued out of the queue, for the writer.
  bool TakeFromQueue(Node& node) {
    const std::lock_guard<std::mutex> lock(queue_mutex_);
    if (node.state.load() != Node::kQueued) return false;
    queue_.erase(std::find(queue_.begin(), queue_.end(), &node));
    node.state.store(Node::kTaken);
    return true;
  }

  void WakeWriter() {
    if (awaited_.load() == nullptr) return;
    const std::lock_guard<std::mutex> lock(stream_mutex_);
    node_changed_.notify_all();
  }

  void Process(Node& node, Tools& tools) {
    switch (node.target.kind) {
      case Target::Kind::kNote:
        node.err = node.target.error;
        node.error = true;
        skipped_.Add(node.target.skip);
        break;
      case Target::Kind::kDirectory:
        if (!stop_.load(std::memory_order_relaxed)) List(node);
        break;
      case Target::Kind::kFile:
        if (!stop_.load(std::memory_order_relaxed)) SearchFile(node, tools);
        files_done_.fetch_add(1, std::memory_order_relaxed);
        break;
    }
    // The last of a directory's entries lets it be closed.
    if (node.parent != nullptr && node.parent->handle >= 0 && --node.parent->unopened == 0) {
      CloseDirectory(node.parent->handle);
    }
    {
      const std::lock_guard<std::mutex> lock(stream_mutex_);
      node.held = node.out.size();
      held_ += node.held;
      node.state.store(Node::kDone);
    }
    // One node fewer to wait for; the last one lets the idle workers go, and the writer end.
    if (pending_.fetch_sub(1) == 1) {
      {
        const std::lock_guard<std::mutex> lock(queue_mutex_);
        work_ready_.notify_all();
      }
      WakeWriter();
    }
  }

  // The entries become nodes, queued at the front in their order: the walk goes depth first, as
  // the output does.
  void List(Node& node) {
    std::vector<std::string> above;
    for (const Node* n = node.parent; n != nullptr; n = n->parent) above.push_back(n->canonical);
    std::vector<Target> entries;
    Skipped skipped;
    ListDirectory(node.target, node.parent != nullptr ? node.parent->handle : -1,
                  plan_.follow_links, plan_.names, above, entries, node.canonical, node.handle,
                  skipped);
    skipped_.Add(skipped);
    std::size_t files = 0;
    for (Target& entry : entries) {
      files += entry.kind == Target::Kind::kFile;
      auto child = std::make_unique<Node>();
      child->target = std::move(entry);
      child->parent = &node;
      node.children.push_back(std::move(child));
    }
    files_found_ += files;
    node.unopened = node.children.size();
    if (node.children.empty()) {
      CloseDirectory(node.handle);
      node.handle = -1;
      return;
    }
    const std::lock_guard<std::mutex> lock(queue_mutex_);
    for (auto it = node.children.rbegin(); it != node.children.rend(); ++it) {
      queue_.push_front(it->get());
    }
    pending_ += node.children.size();
    work_ready_.notify_all();
  }

  // Where the first NUL is, or UINT64_MAX.
  static std::uint64_t LooksBinary(InputFile& in) {
    const auto [text, n] = in.Window();
    const void* nul = std::memchr(text, '\0', n < kBinaryProbe ? n : kBinaryProbe);
    return nul != nullptr ? static_cast<const char*>(nul) - text : UINT64_MAX;
  }

  void SearchFile(Node& node, Tools& tools) {
    const Target& target = node.target;
    errno = 0;
    // A file met in a walked directory is opened relative to it, and known regular from the
    // listing.
    FileName name;
    name.name = target.name.empty() ? target.path.c_str() : target.name.c_str();
    name.path = target.path.c_str();
    name.directory = node.parent != nullptr ? node.parent->handle : -1;
    name.regular = node.parent != nullptr;
    if (target.standard_input) name.handle = StandardInputHandle();
    InputFile in(name, &tools.buffer);
    in.ReadWholeLines();  // a line of any length is one line here; the exports keep their cut
    if (in.failed()) {
      node.err = target.shown + ": " + std::strerror(errno != 0 ? errno : EIO);
      node.error = true;
      skipped_.Add(Skip::kUnreadable);
      return;
    }
    FileId id;
    if (check_output_ && RegularFileId(in.source().handle(), id) && id == output_file_) {
      node.err = target.shown + ": input file is also the output";
      node.error = true;
      skipped_.Add(Skip::kExcluded);
      return;
    }
    const Encoding encoding = *DecideEncoding(in, plan_.encoding_auto ? nullptr : &plan_.encoding);
    PrintConfig config = plan_.print;
    config.encoding = in.encoding();
    config.file_encoding = encoding;
    // Looked for in the text as read: UTF-16 holds NUL bytes, and is read as UTF-8.
    config.binary_offset = plan_.binary != Binary::kText ? LooksBinary(in) : UINT64_MAX;
    config.binary = config.binary_offset != UINT64_MAX;
    if (config.binary && plan_.binary == Binary::kWithoutMatch) {
      skipped_.Add(Skip::kBinary);
    } else {
      // Output that grows large goes to the node as it comes, so that the writer can hand over
      // the first file's as it is found.
      struct Drain {
        Board* board;
        Node* node;
        std::string out;
        void operator()() {
          if (node->write != nullptr) {
            if (!out.empty()) (*node->write)(out);
            out.clear();
            return;
          }
          const std::lock_guard<std::mutex> lock(board->stream_mutex_);
          if (node->out.empty()) {
            node->out.swap(out);
          } else {
            node->out += out;
          }
          out.clear();
          if (board->awaited_.load() == node) board->node_changed_.notify_all();
        }
      } drain{this, &node, std::string()};
      {
        ReadMeter meter(in, bytes_done_);
        // One pointer: the call needs no memory of its own. The meter, looked at for every
        // line read, only feeds the progress line.
        const std::unique_ptr<FileSink> sink = output_.SinkFor(
            config, target.shown, drain.out, [d = &drain] { (*d)(); }, &stop_,
            plan_.progress ? &meter : nullptr);
        // Standard input that -m stops early is left right after the last selected line, for
        // whoever reads it next (`{ kensaku -m1 x; cat; } < f`), as grep leaves it. Offsets of
        // text read as transcoded UTF-8 are not the file's.
        const bool leave =
            target.standard_input && plan_.selection.max_count > 0 && encoding == in.encoding();
        LastSelected last(*sink);
        tools.searcher.Search(in, leave ? static_cast<SearchSink&>(last) : *sink);
        if (leave && sink->selected() >= plan_.selection.max_count) in.source().LeaveAt(last.end);
        node.selected = sink->selected() > 0;
        if (!sink->note().empty()) node.err = sink->note();
      }
      // Searched as far as it could be read: counted as searched and as unreadable.
      if ((in.state() & kStreamBad) != 0) {
        node.err = target.shown + (in.cut_short() ? ": file shrank while read" : ": read error");
        node.error = true;
        skipped_.Add(Skip::kUnreadable);
      }
    }
  }

  const SearchPlan& plan_;
  const Queries& queries_;
  RunOutput& output_;
  const std::uint64_t max_held_;
  bool check_output_ = false;
  FileId output_file_;  // standard output's, when check_output_
  std::vector<std::unique_ptr<Node>> roots_;
  std::vector<std::thread> workers_;
  std::unique_ptr<Tools> own_;  // the writer's, for the nodes it takes itself

  std::mutex queue_mutex_;
  std::condition_variable work_ready_, room_;
  std::deque<Node*> queue_;
  std::atomic<std::size_t> pending_{0};  // nodes queued or being worked on
  std::size_t threads_ = 1;
  bool closed_ = false;
  std::atomic<int> waiting_for_room_{0};
  std::atomic<std::uint64_t> held_{0};  // output of done nodes not yet written

  std::mutex stream_mutex_;
  std::condition_variable node_changed_;
  std::atomic<const Node*> awaited_{nullptr};  // the node the writer waits for

  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> bytes_done_{0};
  std::atomic<std::size_t> files_done_{0};
  std::atomic<std::size_t> files_found_{0};
  SkipCounter skipped_;
};

class Progress {
 public:
  Progress(const SearchPlan& plan, std::uint64_t total, const Board& board)
      : enabled_(plan.progress),
        delay_(plan.progress_delay_ms),
        board_(board),
        total_(total),
        start_(Clock::now()) {}
  void Draw() {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - start_).count();
    if (seconds * 1000 < delay_ || now - drawn_ < std::chrono::milliseconds(100)) return;
    drawn_ = now;
    const double mb = static_cast<double>(board_.bytes_done()) / 1e6;
    char line[160];
    if (total_ > 0) {
      std::snprintf(line, sizeof line, "\r%.1f of %.1f MB, %.1f MB/s, %zu of %zu files\33[K", mb,
                    static_cast<double>(total_) / 1e6, seconds > 0 ? mb / seconds : 0.0,
                    board_.files_done(), board_.files_found());
    } else {
      std::snprintf(line, sizeof line, "\r%.1f MB, %.1f MB/s, %zu of %zu files\33[K", mb,
                    seconds > 0 ? mb / seconds : 0.0, board_.files_done(), board_.files_found());
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
  const Board& board_;
  std::uint64_t total_;
  Clock::time_point start_;
  Clock::time_point drawn_{};
  bool shown_ = false;
};

// Standard output, gathered into large blocks.
class Writer {
 public:
  Writer(Progress& progress, bool line_buffered)
      : progress_(progress), line_buffered_(line_buffered) {}
  bool failed() const { return failed_; }
  std::uint64_t added() const { return added_; }  // bytes handed to Add
  void Add(const std::string& text) {
    added_ += text.size();
    pending_ += text;
    if (pending_.size() >= kWriteBlock || line_buffered_) Flush();
  }
  // Before a message on standard error, and before waiting, so that what is found shows.
  void Flush() {
    if (pending_.empty()) {
      if (std::fflush(stdout) != 0) failed_ = true;
      return;
    }
    progress_.Erase();
    if (!failed_ && (std::fwrite(pending_.data(), 1, pending_.size(), stdout) != pending_.size() ||
                     std::fflush(stdout) != 0)) {
      failed_ = true;
    }
    pending_.clear();
  }

 private:
  Progress& progress_;
  const bool line_buffered_;
  std::string pending_;
  std::uint64_t added_ = 0;
  bool failed_ = false;
};

}  // namespace

SearchResult SearchAll(const SearchPlan& plan, const Queries& queries,
                       const std::vector<Target>& operands, const Skipped& skipped) {
  RunOutput output(plan.print);
  Board board(plan, queries, output);
  std::uint64_t total = 0;
  for (const Target& t : operands) {
    auto node = std::make_unique<Node>();
    node->target = t;
    total += t.size;
    board.roots().push_back(std::move(node));
  }
  Progress progress(plan, total, board);
  Writer writer(progress, plan.print.line_buffered);
  board.skipped().Add(skipped);
  // One regular file is searched where it is written: a thread would only cost its start. A pipe
  // keeps its worker, so that its lines show as they come.
  const bool one_file = operands.size() == 1 && operands[0].regular && !plan.progress;
  board.Start(one_file ? 0 : std::max(1, plan.threads));

  bool printed = false;
  SearchResult result;
  // Depth first over the nodes, each written once it is done.
  struct Level {
    std::vector<std::unique_ptr<Node>>* nodes;
    std::size_t next;
  };
  std::vector<Level> levels = {{&board.roots(), 0}};
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.next == level.nodes->size()) {
      // Every node of the level and below it is written, and nothing refers to them any more.
      if (levels.size() > 1) std::vector<std::unique_ptr<Node>>().swap(*level.nodes);
      levels.pop_back();
      continue;
    }
    Node& node = *(*level.nodes)[level.next++];
    bool first = true;
    auto write = [&](std::string& text) {
      if (first && printed) text.insert(0, output.between());
      first = false;
      printed = true;
      writer.Add(text);
    };
    if (node.state.load() != Node::kDone) {
      bool flushed = false;
      board.AwaitNode(node, write, [&](long long waited_ms) {
        // Output found so far shows when the next takes a while.
        if (!flushed && waited_ms >= 20) {
          writer.Flush();
          flushed = true;
        }
        progress.Draw();
      });
    }
    if (!node.out.empty()) write(node.out);
    board.Written(node);
    if (!node.err.empty() && !(plan.no_messages && node.error)) {
      writer.Flush();
      progress.Erase();
      std::fprintf(stderr, "kensaku: %s\n", node.err.c_str());
    }
    result.selected = result.selected || node.selected;
    result.error = result.error || node.error;
    node.out = std::string();
    if (writer.failed()) board.stop() = true;
    if (!node.children.empty()) levels.push_back({&node.children, 0});
    progress.Draw();
  }
  // Every node is done: the counts are whole.
  writer.Add(output.Closing(board.skipped().Counts(), writer.added()));
  writer.Flush();
  board.Join();
  progress.Erase();
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || writer.failed()) {
    std::fputs("kensaku: cannot write the output\n", stderr);
    result.error = true;
  }
  return result;
}

}  // namespace kensaku::cli
