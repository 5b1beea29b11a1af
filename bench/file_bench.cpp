// Whole-file throughput of the search exports on a generated Shift_JIS file of at least 100 MB.
//
//   kensaku_file_bench [file] [megabytes]
//
// The file is made once (kept for later runs); each search runs three times and the best time
// is reported in MB/s.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "kensaku.h"
#include "sjis_corpus.h"

namespace {

// One line in 5000 holds the rare word, one in 20 the common one.
const char kRare[] = "\x8C\x9F\x8D\xF5\x83\x47\x83\x93\x83\x57\x83\x93";  // kensaku enjin
const char kCommon[] = "\x83\x74\x83\x40\x83\x43\x83\x8B";                // fairu

void MakeFile(const std::string& path, std::size_t megabytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::mt19937 rng(2026);
  std::size_t written = 0;
  const std::size_t target = megabytes << 20;
  std::string line;
  while (written < target) {
    line.clear();
    const std::size_t length = 20 + rng() % 100;
    // Words are inserted whole, so the file stays well-formed Shift_JIS and byte-wise tools
    // find the same lines.
    if (rng() % 20 == 0) line += kCommon;
    while (line.size() < length) {
      line += kensaku::bench::RandomWord(rng);
      if (rng() % 250000 == 0) line += kRare;
    }
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), f);
    written += line.size();
  }
  std::fclose(f);
}

template <typename Run>
void Measure(const char* name, double megabytes, Run run) {
  double best = 1e30;
  long long result = 0;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    result = run();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (took.count() < best) best = took.count();
  }
  std::printf("%-44s %8.3f s %9.1f MB/s   (result %lld)\n", name, best, megabytes / best, result);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "/tmp/kensaku-bench-sjis.txt";
  const std::size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100;
  if (!std::filesystem::exists(path) || std::filesystem::file_size(path) < (megabytes << 20)) {
    MakeFile(path, megabytes);
  }
  const double mb = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
  const std::string out = path + ".out";
  std::printf("input %s: %.1f MB\n", path.c_str(), mb);

  xSet(0);
  OutputMode(1);
  LineMode(1);
  Measure("FileLinexIncMult, rare literal", mb, [&] {
    std::filesystem::remove(out);
    return FileLinexIncMult(path.c_str(), out.c_str(), kRare);
  });
  Measure("FileLinexIncMult, common literal (5% hits)", mb, [&] {
    std::filesystem::remove(out);
    return FileLinexIncMult(path.c_str(), out.c_str(), kCommon);
  });
  Measure("FileLinexMatchMult, rare pattern", mb, [&] {
    std::filesystem::remove(out);
    return FileLinexMatchMult(path.c_str(), out.c_str(), "\x8C\x9F\x8D\xF5\x83\x47.\x83\x93");
  });
  Measure("FileLinexMatchMult, 3 patterns", mb, [&] {
    std::filesystem::remove(out);
    return FileLinexMatchMult(path.c_str(), out.c_str(), "zzz\r\n[x-y]q\r\n\x8C\x9F\x8D\xF5\x83\x47");
  });
  Measure("xMatchsMult, rare conjunctive", mb, [&] {
    const char* r = xMatchsMult(path.c_str(), "\x8C\x9F\x8D\xF5&\x83\x57\x83\x93");
    return r != nullptr ? static_cast<long long>(std::strlen(r)) : -1;
  });
  xSet(0x2C);  // half width, lower case, upper case wins
  Measure("FileLinexIncMult, rare literal, folded", mb, [&] {
    std::filesystem::remove(out);
    return FileLinexIncMult(path.c_str(), out.c_str(), kRare);
  });
  Measure("xMatchsMult, rare conjunctive, folded", mb, [&] {
    const char* r = xMatchsMult(path.c_str(), "\x8C\x9F\x8D\xF5&\x83\x57\x83\x93");
    return r != nullptr ? static_cast<long long>(std::strlen(r)) : -1;
  });
  xSet(0);
  std::filesystem::remove(out);
  return 0;
}
