// What a run adds up for --stats and the JSON summary: the files searched and what came of them,
// and the names passed over without being searched, one count for each reason. Nothing a run
// passes over goes uncounted, whether or not a message told of it.
#ifndef KENSAKU_TOOLS_CLI_STATS_H_
#define KENSAKU_TOOLS_CLI_STATS_H_

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace kensaku::cli {

// Every file's search added up, by the sinks of files searched at once.
struct SearchStats {
  std::atomic<std::uint64_t> searches{0}, searches_with_match{0}, bytes_searched{0},
      bytes_printed{0}, matched_lines{0}, matches{0}, nanos{0};
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();

  std::uint64_t ElapsedNanos() const;  // since start
};

// Why a name was passed over.
enum class Skip {
  kBinary,      // -I
  kUnreadable,  // missing, no permission, an I/O error, a directory that cannot be listed
  kExcluded,    // --include, --exclude, --exclude-dir, or the output file itself
  kNotRegular,  // a device, pipe or socket met in a tree; a directory without -r
  kLink,        // a symbolic link met in a tree without -R, or one that leads back up it (-R)
};
constexpr int kSkipReasons = 5;

struct Skipped {
  std::array<std::uint64_t, kSkipReasons> counts{};

  void Add(Skip why, std::uint64_t n = 1) { counts[static_cast<int>(why)] += n; }
  std::uint64_t Of(Skip why) const { return counts[static_cast<int>(why)]; }
  std::uint64_t Total() const;
};

// The same counted by workers at once.
class SkipCounter {
 public:
  void Add(Skip why, std::uint64_t n = 1) {
    if (n > 0) counts_[static_cast<int>(why)].fetch_add(n, std::memory_order_relaxed);
  }
  void Add(const Skipped& skipped);
  Skipped Counts() const;

 private:
  std::array<std::atomic<std::uint64_t>, kSkipReasons> counts_{};
};

// "3 files skipped: 2 binary, 1 unreadable", the reasons with a count only; "0 files skipped".
std::string SkippedLine(const Skipped& skipped);

// {"binary":N,"unreadable":N,"excluded":N,"not_regular":N,"symlink":N}: every reason.
std::string SkippedJson(const Skipped& skipped);

// What --stats writes after the results, with ripgrep's words, and the line of skipped names
// after the files searched. bytes_printed is what went to standard output before it.
std::string StatsText(const SearchStats& stats, const Skipped& skipped,
                      std::uint64_t bytes_printed);

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_STATS_H_
