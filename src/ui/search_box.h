// The search box's logic, apart from its window: the SearchParams block through which a host
// fills the box, what applying it does to the settings and the controls, the option commands,
// and the search the start button runs. The controls are reached through SearchBoxControls,
// which the Windows build implements with dialog-item messages.
#ifndef KENSAKU_SRC_UI_SEARCH_BOX_H_
#define KENSAKU_SRC_UI_SEARCH_BOX_H_

#include <cstddef>
#include <cstdint>

namespace kensaku::ui {

inline constexpr std::uint32_t kSearchParamsTag = 0x51494441;
inline constexpr std::size_t kFileNameSize = 512;
inline constexpr std::size_t kPatternsSize = 2048;

// Bits of SearchParamsBlock::flags above the fold flags: the search type to choose.
inline constexpr int kNormalSearchBit = 0x100;
inline constexpr int kPatternSearchBit = 0x200;

struct SearchParamsBlock {
  std::uint32_t tag;
  std::int16_t outputMode;
  std::uint16_t flags;
  char fileName[kFileNameSize];
  char patterns[kPatternsSize];
};

// The process-wide block, zero-filled and tagged before the host's first call.
extern SearchParamsBlock* const SearchParams;
// 0: normal (inclusion) search; 1: pattern-language search. Outlives the box.
extern int SearchMode;
// Set when the box was opened by QInputMain: its destruction ends the host's message loop.
extern int QuitOnDestroy;
// The field texts as read when a search starts.
extern char BoxFileName[kFileNameSize];
extern char BoxPatterns[kPatternsSize];

// The box's control ids, and the private commands the exports send it.
enum BoxId : int {
  kFileField = 101,
  kPatternField = 102,
  kOutputFrame = 103,
  kWholeLines = 104,
  kCutOut = 105,
  kTypeFrame = 106,
  kCaseTick = 107,
  kWidthTick = 108,
  kNormalSearch = 109,
  kPatternSearch = 110,
  kCloseButton = 201,
  kStartButton = 202,
  kCmdApplyParams = 301,
  kCmdApplyFileName = 302,
};

class SearchBoxControls {
 public:
  virtual ~SearchBoxControls() = default;
  virtual bool Checked(int id) = 0;
  virtual void SetChecked(int id, bool on) = 0;
  virtual void Enable(int id, bool on) = 0;
  // Limits the field to limit bytes, then sets its text.
  virtual void SetField(int id, int limit, const char* text) = 0;
  // Copies at most size - 1 bytes of the field's text into buffer, terminated.
  virtual void ReadField(int id, char* buffer, std::size_t size) = 0;
  // Opens a viewer captioned title with the hits.
  virtual void ShowHits(const char* title, const char* text) = 0;
};

// Sets OutputMode and FoldFlags from the block, chooses the search type and sets the buttons and
// both fields. 0, changing nothing, when the block's tag is broken.
int ApplySearchParams(SearchParamsBlock& block, SearchBoxControls& box);
// Puts the block's file name into the file-name field; 0 when the tag is broken.
int ApplyFileName(const SearchParamsBlock& block, SearchBoxControls& box);
// Reads both fields and searches the named file into the result buffer; non-empty hits go to a
// viewer. Silent when a field is empty, the file cannot be read or nothing is found.
void RunBoxSearch(SearchBoxControls& box);
// A WM_COMMAND of the box other than its close button, by command id.
void OnBoxCommand(int id, SearchBoxControls& box);

// What QFindData writes: false, leaving the block alone, when its tag is broken. The 16-bit
// arguments are taken from the low halves of mode and flags; null texts leave their field empty.
bool FillSearchParams(SearchParamsBlock& block, const char* file, const char* patterns, int mode,
                      int flags);
// What QFileName writes: the file name alone, when the tag is intact.
void FillSearchFileName(SearchParamsBlock& block, const char* file);

}  // namespace kensaku::ui

#endif  // KENSAKU_SRC_UI_SEARCH_BOX_H_
