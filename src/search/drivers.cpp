#include "search/drivers.h"

#include "match/pattern_list.h"
#include "search/file_identity.h"
#include "search/hit_writer.h"
#include "search/searcher.h"

namespace kensaku {
namespace {

char ResultBuffer[kResultCapacity + 1];

const char* StreamIntoResult(SearchKind kind, ScanState& state, InputFile& in, const char* list) {
  state.span = MatchSpan{};
  if (!in.clear()) return nullptr;
  ResultBuffer[0] = '\0';
  ResultBuffer[kResultCapacity] = '\0';
  Output out(ResultBuffer, kResultCapacity);
  const ListText entries(list);
  if (!entries.ok()) return nullptr;
  HitWriter writer(out);
  Search(CompiledList(kind, entries.entries()), in, writer, state);
  out.Put('\0');  // dropped when the output is full: the guard byte terminates the text then
  return ResultBuffer;
}

}  // namespace

const char* ResultText() { return ResultBuffer; }

const char* StreamMatchsMult(ScanState& state, InputFile& in, const char* list) {
  return StreamIntoResult(SearchKind::kMatchs, state, in, list);
}

const char* StreamIncMult(ScanState& state, InputFile& in, const char* list) {
  return StreamIntoResult(SearchKind::kInc, state, in, list);
}

const char* SearchFileMatchs(const char* input, const char* list) {
  ScanState state;
  InputFile in(input);
  return StreamMatchsMult(state, in, list);
}

const char* SearchFileInc(const char* input, const char* list) {
  ScanState state;
  InputFile in(input);
  return StreamIncMult(state, in, list);
}

std::int32_t SearchFileToFile(SearchKind kind, const char* input, const char* output,
                              const char* list, void (*before_scan)()) {
  InputFile in(input);
  if (in.failed()) return 0;
  const std::unique_ptr<Output> out = Output::AppendToFile(output);
  if (out->failed()) return 0;
  const ListText entries(list);
  ScanState state;
  if (!entries.ok()) return 0;
  // An output that is the input itself would be read back as it grows: read only what was there.
  if (SameFile(in.file(), out->file())) in.StopAt(FileLength(in.file()));
  if (before_scan != nullptr) before_scan();
  HitWriter writer(*out);
  const std::int32_t count = Search(CompiledList(kind, entries.entries()), in, writer, state);
  // Hits that could not all be written: a search stopped by the failure counts what it did; one
  // that ran to the end, its failure seen only as the last bytes went out, counts for nothing.
  if (!out->Close() && in.Exhausted()) return 0;
  return count;
}

}  // namespace kensaku
