// The file-search exports on the corpus of bench/corpus.sh, literals and the list of 60, beside
// the tool's runs in bench/peers.sh: the same engine. The files written hold every hit line with
// its number (a third of the corpus for the list), and that writing is part of the time.
//
//   kensaku_corpus_bench [benchmark flags]   (KENSAKU_CORPUS: the corpus folder,
//                                             /tmp/kensaku-corpus by default)
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "kensaku.h"

namespace {

std::string Folder() {
  const char* dir = std::getenv("KENSAKU_CORPUS");
  return dir != nullptr ? dir : "/tmp/kensaku-corpus";
}

std::string Corpus() { return Folder() + "/corpus-sjis.txt"; }

// The 60 entries of bench/list-60.txt in CP932 (written by corpus.sh), as one list text.
std::string List60() {
  std::ifstream in(Folder() + "/list-60-sjis.txt", std::ios::binary);
  std::string list, line;
  while (std::getline(in, line)) list += line + "\r\n";
  return list;
}

// "Linux" and "shite iru" in CP932; "bsearch", on 69 lines, for the result buffer.
const char kAscii[] = "Linux";
const char kHiragana[] = "\x82\xb5\x82\xc4\x82\xa2\x82\xe9";
const char kRare[] = "bsearch";

template <typename Search>
void Run(benchmark::State& state, Search search) {
  const std::string input = Corpus();
  if (!std::filesystem::exists(input)) {
    state.SkipWithError("no corpus: run bench/corpus.sh");
    return;
  }
  xSet(0);
  OutputMode(1);
  LineMode(1);
  long long result = 0;
  for (auto _ : state) {
    result = search(input.c_str());
    benchmark::DoNotOptimize(result);
  }
  state.counters["result"] = static_cast<double>(result);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(input)));
}

std::string OutputFile() {
  return (std::filesystem::temp_directory_path() / "kensaku-corpus.out").string();
}

template <int (*Export)(const char*, const char*, const char*)>
int ToFile(const char* input, const char* list) {
  const std::string out = OutputFile();
  std::filesystem::remove(out);
  return Export(input, out.c_str(), list);
}

long long ResultBytes(const char* r) {
  return r != nullptr ? static_cast<long long>(std::strlen(r)) : -1;
}

void FileLinexIncMult_Corpus_Ascii(benchmark::State& s) {
  Run(s, [](const char* in) { return ToFile<FileLinexIncMult>(in, kAscii); });
}
void FileLinexIncMult_Corpus_Hiragana(benchmark::State& s) {
  Run(s, [](const char* in) { return ToFile<FileLinexIncMult>(in, kHiragana); });
}
void FileLinexIncMult_Corpus_List60(benchmark::State& s) {
  const std::string list = List60();
  Run(s, [&](const char* in) { return ToFile<FileLinexIncMult>(in, list.c_str()); });
}
void FileLinexMatchMult_Corpus_List60(benchmark::State& s) {
  const std::string list = List60();
  Run(s, [&](const char* in) { return ToFile<FileLinexMatchMult>(in, list.c_str()); });
}
void FileLinexMatchsMult_Corpus_List60(benchmark::State& s) {
  const std::string list = List60();
  Run(s, [&](const char* in) { return ToFile<FileLinexMatchsMult>(in, list.c_str()); });
}
// The result buffer holds 32766 bytes, so these stop early on common text: a rare literal.
void xIncMult_Corpus_Rare(benchmark::State& s) {
  Run(s, [](const char* in) { return ResultBytes(xIncMult(in, kRare)); });
}
void xMatchsMult_Corpus_Rare(benchmark::State& s) {
  Run(s, [](const char* in) { return ResultBytes(xMatchsMult(in, kRare)); });
}

BENCHMARK(FileLinexIncMult_Corpus_Ascii)->Unit(benchmark::kMillisecond);
BENCHMARK(FileLinexIncMult_Corpus_Hiragana)->Unit(benchmark::kMillisecond);
BENCHMARK(FileLinexIncMult_Corpus_List60)->Unit(benchmark::kMillisecond);
BENCHMARK(FileLinexMatchMult_Corpus_List60)->Unit(benchmark::kMillisecond);
BENCHMARK(FileLinexMatchsMult_Corpus_List60)->Unit(benchmark::kMillisecond);
BENCHMARK(xIncMult_Corpus_Rare)->Unit(benchmark::kMillisecond);
BENCHMARK(xMatchsMult_Corpus_Rare)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
