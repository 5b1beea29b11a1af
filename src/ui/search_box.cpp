#include "ui/search_box.h"

#include <cstring>

#include "frame/settings.h"
#include "mbchar/fold.h"
#include "search/drivers.h"

namespace kensaku::ui {
namespace {

SearchParamsBlock g_block = [] {
  SearchParamsBlock b;
  std::memset(&b, 0, sizeof b);
  b.tag = kSearchParamsTag;
  return b;
}();

// A byte copy into a field: zeros after a shorter text, a longer one cut; the last byte stays 0.
template <std::size_t N>
void CopyField(char (&field)[N], const char* text) {
  std::memset(field, 0, N);
  if (text != nullptr) std::strncpy(field, text, N - 1);
}

int Sign16(int value) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(value)); }

// The box applies its parameters to the exports' settings, and its searches take them from there.
ExportSettings SettingsNow() { return {FoldFlagsInForce(), GetOutputMode(), GetLineMode()}; }

}  // namespace

SearchParamsBlock* const SearchParams = &g_block;
int SearchMode = 0;
int QuitOnDestroy = 0;
char BoxFileName[kFileNameSize];
char BoxPatterns[kPatternsSize];

int ApplySearchParams(SearchParamsBlock& block, SearchBoxControls& box) {
  if (block.tag != kSearchParamsTag) return 0;
  SetOutputMode(block.outputMode);
  // The whole word: folding ignores the search-type bits.
  SetFoldFlags(Sign16(block.flags));
  // A block that names no search type asks for the pattern search.
  if ((block.flags & kNormalSearchBit) == 0) block.flags |= kPatternSearchBit;
  const int flags = block.flags;
  box.SetChecked(kCaseTick, (flags & FoldToLower) == 0);
  box.SetChecked(kWidthTick, (flags & FoldToHalfWidth) == 0);
  if (flags & kNormalSearchBit) {
    SearchMode = 0;
    box.SetChecked(kNormalSearch, true);
    box.SetChecked(kPatternSearch, false);
  }
  if (flags & kPatternSearchBit) {
    SearchMode = 1;
    box.SetChecked(kNormalSearch, false);
    box.SetChecked(kPatternSearch, true);
  }
  // The normal search always reports whole lines.
  if (SearchMode == 0) SetOutputMode(1);
  const bool whole_lines = GetOutputMode() != 0;
  box.SetChecked(kWholeLines, whole_lines);
  box.SetChecked(kCutOut, !whole_lines);
  box.Enable(kCutOut, SearchMode != 0);
  box.SetField(kFileField, kFileNameSize - 1, block.fileName);
  box.SetField(kPatternField, kPatternsSize - 1, block.patterns);
  return 1;
}

int ApplyFileName(const SearchParamsBlock& block, SearchBoxControls& box) {
  if (block.tag != kSearchParamsTag) return 0;
  box.SetField(kFileField, kFileNameSize - 1, block.fileName);
  return 1;
}

void RunBoxSearch(SearchBoxControls& box) {
  box.ReadField(kFileField, BoxFileName, sizeof BoxFileName);
  box.ReadField(kPatternField, BoxPatterns, sizeof BoxPatterns);
  if (BoxFileName[0] == '\0' || BoxPatterns[0] == '\0') return;
  InputFile in(BoxFileName);
  ScanState state;
  if (!in.good()) return;
  const char* result;
  if (SearchMode == 1) {
    // Neither output button selected reads as "matched parts".
    SetOutputMode(box.Checked(kWholeLines) ? 1 : 0);
    result = StreamMatchsMult(state, in, BoxPatterns, SettingsNow(), ResultBuffer());
  } else {
    result = StreamIncMult(state, in, BoxPatterns, SettingsNow(), ResultBuffer());
  }
  if (result != nullptr && result[0] != '\0') box.ShowHits(BoxFileName, result);
}

void OnBoxCommand(int id, SearchBoxControls& box) {
  switch (id) {
    case kCaseTick:
      if (box.Checked(kCaseTick)) {
        ResetFoldFlags(FoldToLower);
      } else {
        OrFoldFlags(FoldToLower);
      }
      break;
    case kWidthTick:
      if (box.Checked(kWidthTick)) {
        ResetFoldFlags(FoldToHalfWidth);
      } else {
        OrFoldFlags(FoldToHalfWidth);
      }
      break;
    case kNormalSearch:
      SearchMode = box.Checked(kNormalSearch) ? 0 : 1;
      if (SearchMode == 0) {
        box.SetChecked(kCutOut, false);
        box.SetChecked(kWholeLines, true);
        box.Enable(kCutOut, false);
      }
      break;
    case kPatternSearch:
      SearchMode = box.Checked(kPatternSearch) ? 1 : 0;
      if (SearchMode == 1) box.Enable(kCutOut, true);
      break;
    case kStartButton:
      // The box handles nothing else while it searches; it cannot be closed meanwhile.
      box.Enable(kCloseButton, false);
      // This runs inside the box's window procedure: nothing may unwind through the system.
      try {
        RunBoxSearch(box);
      } catch (...) {
      }
      box.Enable(kCloseButton, true);
      break;
    case kCmdApplyParams:
      ApplySearchParams(*SearchParams, box);
      break;
    case kCmdApplyFileName:
      ApplyFileName(*SearchParams, box);
      break;
    default:
      break;  // the fields, the frames, IDOK and IDCANCEL
  }
}

bool FillSearchParams(SearchParamsBlock& block, const char* file, const char* patterns, int mode,
                      int flags) {
  if (block.tag != kSearchParamsTag) return false;
  std::memset(&block, 0, sizeof block);
  block.tag = kSearchParamsTag;
  block.outputMode = static_cast<std::int16_t>(static_cast<std::uint16_t>(mode));
  block.flags = static_cast<std::uint16_t>(flags);
  CopyField(block.fileName, file);
  CopyField(block.patterns, patterns);
  return true;
}

void FillSearchFileName(SearchParamsBlock& block, const char* file) {
  if (block.tag == kSearchParamsTag) CopyField(block.fileName, file);
}

}  // namespace kensaku::ui
