#include "stats.h"

#include <cstdio>

namespace kensaku::cli {
namespace {

struct ReasonName {
  const char* one;
  const char* many;
  const char* key;  // in JSON
};

constexpr ReasonName kReasons[kSkipReasons] = {
    {"binary", "binary", "binary"},
    {"unreadable", "unreadable", "unreadable"},
    {"excluded", "excluded", "excluded"},
    {"not a regular file", "not regular files", "not_regular"},
    {"symbolic link", "symbolic links", "symlink"},
};

std::string Seconds(std::uint64_t nanos) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", static_cast<double>(nanos) / 1e9);
  return text;
}

}  // namespace

std::uint64_t SearchStats::ElapsedNanos() const {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
          .count());
}

std::uint64_t Skipped::Total() const {
  std::uint64_t total = 0;
  for (const std::uint64_t n : counts) total += n;
  return total;
}

void SkipCounter::Add(const Skipped& skipped) {
  for (int i = 0; i < kSkipReasons; ++i) Add(static_cast<Skip>(i), skipped.counts[i]);
}

Skipped SkipCounter::Counts() const {
  Skipped skipped;
  for (int i = 0; i < kSkipReasons; ++i) skipped.counts[i] = counts_[i].load();
  return skipped;
}

std::string SkippedLine(const Skipped& skipped) {
  std::string line = std::to_string(skipped.Total()) + " files skipped";
  const char* separator = ": ";
  for (int i = 0; i < kSkipReasons; ++i) {
    const std::uint64_t n = skipped.counts[i];
    if (n == 0) continue;
    line += separator + std::to_string(n) + " " + (n == 1 ? kReasons[i].one : kReasons[i].many);
    separator = ", ";
  }
  return line;
}

std::string SkippedJson(const Skipped& skipped) {
  std::string json = "{";
  for (int i = 0; i < kSkipReasons; ++i) {
    if (i > 0) json += ',';
    json += std::string("\"") + kReasons[i].key + "\":" + std::to_string(skipped.counts[i]);
  }
  return json + "}";
}

std::string StatsText(const SearchStats& stats, const Skipped& skipped,
                      std::uint64_t bytes_printed) {
  const std::uint64_t elapsed = stats.ElapsedNanos();
  std::string text = "\n";
  auto line = [&text](const std::string& value, const char* words) {
    text += value;
    text += words;
    text += '\n';
  };
  line(std::to_string(stats.matches.load()), " matches");
  line(std::to_string(stats.matched_lines.load()), " matched lines");
  line(std::to_string(stats.searches_with_match.load()), " files contained matches");
  line(std::to_string(stats.searches.load()), " files searched");
  line(SkippedLine(skipped), "");
  line(std::to_string(bytes_printed), " bytes printed");
  line(std::to_string(stats.bytes_searched.load()), " bytes searched");
  line(Seconds(stats.nanos.load()), " seconds spent searching");
  line(Seconds(elapsed), " seconds");
  return text;
}

}  // namespace kensaku::cli
