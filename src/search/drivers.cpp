#include "search/drivers.h"

#include <span>

#include "match/pattern_list.h"
#include "search/file_identity.h"
#include "search/hit_writer.h"
#include "search/searcher.h"

namespace kensaku {
namespace {

const char* StreamIntoResult(SearchKind kind, ScanState& state, InputFile& in, const char* list,
                             const ExportSettings& settings, char* result) {
  state.span = MatchSpan{};
  if (!in.good()) return nullptr;
  result[0] = '\0';
  result[kResultCapacity] = '\0';
  Output out(result, kResultCapacity);
  const ListText entries(list, settings.fold_flags);
  if (!entries.ok()) return nullptr;
  const Query query(std::span(entries.begin(), entries.end()), ExportOptions(kind, settings));
  HitWriter writer(out, query.form());
  SearchList(query, in, writer, state);
  out.Put('\0');  // dropped when the output is full: the guard byte terminates the text then
  return result;
}

}  // namespace

QueryOptions ExportOptions(SearchKind kind, const ExportSettings& settings) {
  QueryOptions options;
  options.kind = kind;
  options.match = MatchOptions(settings.fold_flags);
  options.form = OutputForm{settings.output_mode != 0, settings.line_mode != 0};
  return options;
}

const char* StreamMatchsMult(ScanState& state, InputFile& in, const char* list,
                             const ExportSettings& settings, char* result) {
  return StreamIntoResult(SearchKind::kMatchs, state, in, list, settings, result);
}

const char* StreamIncMult(ScanState& state, InputFile& in, const char* list,
                          const ExportSettings& settings, char* result) {
  return StreamIntoResult(SearchKind::kInc, state, in, list, settings, result);
}

const char* SearchFileMatchs(const char* input, const char* list, const ExportSettings& settings,
                             char* result) {
  ScanState state;
  InputFile in(input);
  return StreamMatchsMult(state, in, list, settings, result);
}

const char* SearchFileInc(const char* input, const char* list, const ExportSettings& settings,
                          char* result) {
  ScanState state;
  InputFile in(input);
  return StreamIncMult(state, in, list, settings, result);
}

std::int32_t SearchFileToFile(SearchKind kind, const char* input, const char* output,
                              const char* list, const ExportSettings& settings,
                              void (*before_scan)()) {
  InputFile in(input);
  if (in.failed()) return 0;
  const std::unique_ptr<Output> out = Output::AppendToFile(output);
  if (out->failed()) return 0;
  const ListText entries(list, settings.fold_flags);
  ScanState state;
  if (!entries.ok()) return 0;
  // An output that is the input itself would be read back as it grows: read only what was there.
  if (SameFile(in.source(), out->file())) in.StopAt(FileLength(in.source()));
  if (before_scan != nullptr) before_scan();
  const Query query(std::span(entries.begin(), entries.end()), ExportOptions(kind, settings));
  HitWriter writer(*out, query.form());
  const std::int32_t count = SearchList(query, in, writer, state);
  // Hits that could not all be written: a search stopped by the failure counts what it did; one
  // that ran to the end, its failure seen only as the last bytes went out, counts for nothing.
  if (!out->Close() && in.Exhausted()) return 0;
  return count;
}

}  // namespace kensaku
