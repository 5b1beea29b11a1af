// The search box's logic against a recording set of controls: what applying a SearchParams
// block sets, the option commands, and the search of the start button on real files.
#include "ui/search_box.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "mbchar/fold.h"
#include "temp_dir.h"

namespace kensaku::ui {
namespace {

class FakeBox : public SearchBoxControls {
 public:
  bool Checked(int id) override { return checked[id]; }
  void SetChecked(int id, bool on) override { checked[id] = on; }
  void Enable(int id, bool on) override { enabled[id] = on; }
  void SetField(int id, int limit, const char* text) override {
    limits[id] = limit;
    fields[id] = text;
  }
  void ReadField(int id, char* buffer, std::size_t size) override {
    std::memset(buffer, 0, size);
    std::strncpy(buffer, fields[id].c_str(), size - 1);
  }
  void ShowHits(const char* title, const char* text) override {
    shown.push_back({title, text});
    if (!enabled.count(kCloseButton) || enabled[kCloseButton]) close_enabled_while_shown = true;
  }

  std::map<int, bool> checked, enabled;
  std::map<int, int> limits;
  std::map<int, std::string> fields;
  std::vector<std::pair<std::string, std::string>> shown;
  bool close_enabled_while_shown = false;
};

class SearchBoxLogic : public ::testing::Test {
 protected:
  void SetUp() override {
    SetFoldFlags(0);
    SetOutputMode(0);
    SearchMode = 0;
  }
  void TearDown() override {
    SetFoldFlags(0);
    SetOutputMode(0);
    SearchMode = 0;
    FillSearchParams(*SearchParams, nullptr, nullptr, 0, 0);
  }

  SearchParamsBlock Block(int mode, int flags, const char* file = "in.txt",
                          const char* patterns = "p") {
    SearchParamsBlock b;
    b.tag = kSearchParamsTag;
    EXPECT_TRUE(FillSearchParams(b, file, patterns, mode, flags));
    return b;
  }

  FakeBox box;
};

// ---- SearchParams as loaded

TEST_F(SearchBoxLogic, BlockIsTaggedAndEmptyAtLoad) {
  EXPECT_EQ(SearchParams->tag, kSearchParamsTag);
  EXPECT_EQ(SearchParams->fileName[0], '\0');
  EXPECT_EQ(SearchParams->patterns[0], '\0');
}

// ---- ApplySearchParams

TEST_F(SearchBoxLogic, NormalSearchBlock) {
  SearchParamsBlock b = Block(0, 0x108);
  ASSERT_EQ(ApplySearchParams(b, box), 1);
  EXPECT_FALSE(box.checked[kCaseTick]);  // 0x08 set: case ignored
  EXPECT_TRUE(box.checked[kWidthTick]);
  EXPECT_TRUE(box.checked[kNormalSearch]);
  EXPECT_FALSE(box.checked[kPatternSearch]);
  EXPECT_TRUE(box.checked[kWholeLines]);
  EXPECT_FALSE(box.checked[kCutOut]);
  EXPECT_FALSE(box.enabled[kCutOut]);
  EXPECT_EQ(SearchMode, 0);
  EXPECT_EQ(GetOutputMode(), 1);  // the normal search always reports whole lines
  EXPECT_EQ(GetFoldFlags(), 0x108);
  EXPECT_EQ(b.flags, 0x108);
  EXPECT_EQ(box.fields[kFileField], "in.txt");
  EXPECT_EQ(box.fields[kPatternField], "p");
  EXPECT_EQ(box.limits[kFileField], 511);
  EXPECT_EQ(box.limits[kPatternField], 2047);
}

TEST_F(SearchBoxLogic, NoSearchTypeAsksForThePatternSearch) {
  SearchParamsBlock b = Block(0, 0);
  ASSERT_EQ(ApplySearchParams(b, box), 1);
  EXPECT_EQ(b.flags, 0x200);
  EXPECT_EQ(GetFoldFlags(), 0);  // the added bit stays out of FoldFlags
  EXPECT_TRUE(box.checked[kCaseTick]);
  EXPECT_TRUE(box.checked[kWidthTick]);
  EXPECT_FALSE(box.checked[kNormalSearch]);
  EXPECT_TRUE(box.checked[kPatternSearch]);
  EXPECT_TRUE(box.checked[kCutOut]);
  EXPECT_FALSE(box.checked[kWholeLines]);
  EXPECT_TRUE(box.enabled[kCutOut]);
  EXPECT_EQ(SearchMode, 1);
  EXPECT_EQ(GetOutputMode(), 0);
}

TEST_F(SearchBoxLogic, BothTypeBitsPatternSearchWins) {
  SearchParamsBlock b = Block(1, 0x300 | 0x20);
  ASSERT_EQ(ApplySearchParams(b, box), 1);
  EXPECT_EQ(SearchMode, 1);
  EXPECT_TRUE(box.checked[kPatternSearch]);
  EXPECT_FALSE(box.checked[kNormalSearch]);
  EXPECT_FALSE(box.checked[kWidthTick]);
  EXPECT_TRUE(box.checked[kWholeLines]);  // outputMode 1 kept
  EXPECT_TRUE(box.enabled[kCutOut]);
  EXPECT_EQ(GetFoldFlags(), 0x320);
}

TEST_F(SearchBoxLogic, PatternBlockAfterNormalEnablesCutOutAgain) {
  SearchParamsBlock normal = Block(0, 0x100);
  ApplySearchParams(normal, box);
  ASSERT_FALSE(box.enabled[kCutOut]);
  SearchParamsBlock pattern = Block(0, 0x200);
  ApplySearchParams(pattern, box);
  EXPECT_TRUE(box.enabled[kCutOut]);
  EXPECT_TRUE(box.checked[kCutOut]);
}

TEST_F(SearchBoxLogic, SixteenBitValuesAreSignExtended) {
  SearchParamsBlock b = Block(0xFFFF, 0x8200);
  ApplySearchParams(b, box);
  EXPECT_EQ(GetOutputMode(), -1);
  EXPECT_EQ(GetFoldFlags(), static_cast<int>(0xFFFF8200));
  EXPECT_TRUE(box.checked[kWholeLines]);
}

TEST_F(SearchBoxLogic, BrokenTagChangesNothing) {
  SearchParamsBlock b = Block(1, 0x108);
  b.tag = 0;
  SetFoldFlags(0x04);
  EXPECT_EQ(ApplySearchParams(b, box), 0);
  EXPECT_EQ(ApplyFileName(b, box), 0);
  EXPECT_EQ(GetFoldFlags(), 0x04);
  EXPECT_EQ(GetOutputMode(), 0);
  EXPECT_TRUE(box.checked.empty());
  EXPECT_TRUE(box.fields.empty());
  EXPECT_FALSE(FillSearchParams(b, "f", "p", 1, 1));
  EXPECT_EQ(b.flags, 0x108);
}

TEST_F(SearchBoxLogic, ApplyFileNameSetsOnlyTheField) {
  SearchParamsBlock b = Block(1, 0x108, "first.txt");
  FillSearchFileName(b, "second.txt");
  EXPECT_EQ(std::string(b.patterns), "p");
  EXPECT_EQ(b.flags, 0x108);
  ASSERT_EQ(ApplyFileName(b, box), 1);
  EXPECT_EQ(box.fields[kFileField], "second.txt");
  EXPECT_EQ(box.fields.count(kPatternField), 0u);
  EXPECT_TRUE(box.checked.empty());
  EXPECT_EQ(GetOutputMode(), 0);
}

// ---- what QFindData writes

TEST_F(SearchBoxLogic, FieldsAreCutAndZeroFilled) {
  SearchParamsBlock b;
  std::memset(&b, 'x', sizeof b);
  b.tag = kSearchParamsTag;
  const std::string long_patterns(3000, 'a');
  ASSERT_TRUE(FillSearchParams(b, nullptr, long_patterns.c_str(), 0x12345, 0x1FFFF));
  EXPECT_EQ(b.outputMode, 0x2345);
  EXPECT_EQ(b.flags, 0xFFFF);
  EXPECT_EQ(b.fileName[0], '\0');
  EXPECT_EQ(std::strlen(b.patterns), 2047u);
  const std::string six_hundred(600, 'f');
  ASSERT_TRUE(FillSearchParams(b, six_hundred.c_str(), six_hundred.c_str(), 0, 0));
  EXPECT_EQ(std::strlen(b.fileName), 511u);
  EXPECT_EQ(std::string(b.patterns), six_hundred);
  for (std::size_t i = 600; i < kPatternsSize; ++i) ASSERT_EQ(b.patterns[i], 0) << i;
  // A cut may fall inside a double-byte character; the field stays terminated.
  const std::string kanji = std::string(510, 'a') + "\x8C\x9F";
  FillSearchFileName(b, kanji.c_str());
  EXPECT_EQ(std::string(b.fileName), std::string(510, 'a') + "\x8C");
}

// ---- the option commands

TEST_F(SearchBoxLogic, TicksChangeFoldFlagsAtOnce) {
  SetFoldFlags(0x01);
  box.checked[kCaseTick] = false;
  OnBoxCommand(kCaseTick, box);
  EXPECT_EQ(GetFoldFlags(), 0x09);
  box.checked[kCaseTick] = true;
  OnBoxCommand(kCaseTick, box);
  EXPECT_EQ(GetFoldFlags(), 0x01);
  box.checked[kWidthTick] = false;
  OnBoxCommand(kWidthTick, box);
  EXPECT_EQ(GetFoldFlags(), 0x21);
  box.checked[kWidthTick] = true;
  OnBoxCommand(kWidthTick, box);
  EXPECT_EQ(GetFoldFlags(), 0x01);
}

TEST_F(SearchBoxLogic, SearchTypeButtons) {
  box.checked[kCutOut] = true;
  box.checked[kPatternSearch] = true;
  OnBoxCommand(kPatternSearch, box);
  EXPECT_EQ(SearchMode, 1);
  EXPECT_TRUE(box.enabled[kCutOut]);
  box.checked[kPatternSearch] = false;
  box.checked[kNormalSearch] = true;
  OnBoxCommand(kNormalSearch, box);
  EXPECT_EQ(SearchMode, 0);
  EXPECT_FALSE(box.checked[kCutOut]);
  EXPECT_TRUE(box.checked[kWholeLines]);
  EXPECT_FALSE(box.enabled[kCutOut]);
  EXPECT_EQ(GetOutputMode(), 0);  // read only when a pattern search starts
  // 109 reported while not selected means the other button is.
  box.checked[kNormalSearch] = false;
  OnBoxCommand(kNormalSearch, box);
  EXPECT_EQ(SearchMode, 1);
}

TEST_F(SearchBoxLogic, OtherCommandsDoNothing) {
  for (int id : {1, 2, 101, 102, 103, 104, 105, 106, 203, 400}) OnBoxCommand(id, box);
  EXPECT_TRUE(box.checked.empty());
  EXPECT_TRUE(box.enabled.empty());
  EXPECT_TRUE(box.shown.empty());
}

TEST_F(SearchBoxLogic, PrivateCommandsApplyTheProcessBlock) {
  ASSERT_TRUE(FillSearchParams(*SearchParams, "f.txt", "x", 0, 0x100));
  OnBoxCommand(kCmdApplyParams, box);
  EXPECT_EQ(box.fields[kFileField], "f.txt");
  EXPECT_TRUE(box.checked[kNormalSearch]);
  FillSearchFileName(*SearchParams, "g.txt");
  OnBoxCommand(kCmdApplyFileName, box);
  EXPECT_EQ(box.fields[kFileField], "g.txt");
}

// ---- the start button

class BoxSearch : public SearchBoxLogic {
 protected:
  void SetUp() override {
    SearchBoxLogic::SetUp();
    file = dir / "in.txt";
    WriteFile(file, "alpha beta\ngamma\nBETA delta\n");
    box.fields[kFileField] = file;
  }
  TempDir dir;
  std::string file;
};

TEST_F(BoxSearch, NewBoxRunsTheInclusionSearch) {
  box.fields[kPatternField] = "beta";
  OnBoxCommand(kStartButton, box);
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].first, file);
  EXPECT_EQ(box.shown[0].second, "alpha beta\n");
  EXPECT_FALSE(box.close_enabled_while_shown);
  EXPECT_TRUE(box.enabled[kCloseButton]);
  EXPECT_EQ(std::string(BoxFileName), file);
  EXPECT_EQ(std::string(BoxPatterns), "beta");
}

TEST_F(BoxSearch, PatternSearchReadsTheOutputButton) {
  SearchMode = 1;
  box.fields[kPatternField] = "b.t.";
  box.checked[kWholeLines] = true;
  OnBoxCommand(kStartButton, box);
  box.checked[kWholeLines] = false;  // neither button selected: matched parts
  OnBoxCommand(kStartButton, box);
  ASSERT_EQ(box.shown.size(), 2u);
  EXPECT_EQ(box.shown[0].second, "alpha beta\n");
  EXPECT_EQ(box.shown[1].second, "beta\r\n");
  EXPECT_EQ(GetOutputMode(), 0);
}

TEST_F(BoxSearch, FoldingFromTheTicks) {
  box.fields[kPatternField] = "beta";
  box.checked[kCaseTick] = false;
  OnBoxCommand(kCaseTick, box);
  OnBoxCommand(kStartButton, box);
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].second, "alpha beta\nBETA delta\n");
}

TEST_F(BoxSearch, SilentWithoutTextsFileOrHits) {
  box.fields[kPatternField] = "";
  OnBoxCommand(kStartButton, box);
  box.fields[kPatternField] = "zzz";
  OnBoxCommand(kStartButton, box);  // no hit
  box.fields[kPatternField] = "\r\n\r\n";
  OnBoxCommand(kStartButton, box);  // line breaks only
  box.fields[kPatternField] = "beta";
  box.fields[kFileField] = dir / "missing.txt";
  OnBoxCommand(kStartButton, box);
  box.fields[kFileField] = "";
  OnBoxCommand(kStartButton, box);
  EXPECT_TRUE(box.shown.empty());
  EXPECT_TRUE(box.enabled[kCloseButton]);
}

TEST_F(BoxSearch, LongFieldTextsAreCut) {
  const std::string long_pattern = std::string(2100, 'q');
  box.fields[kPatternField] = long_pattern;
  OnBoxCommand(kStartButton, box);
  EXPECT_EQ(std::strlen(BoxPatterns), 2047u);
  box.fields[kFileField] = std::string(700, 'n');
  OnBoxCommand(kStartButton, box);
  EXPECT_EQ(std::strlen(BoxFileName), 511u);
  EXPECT_TRUE(box.shown.empty());
}

}  // namespace
}  // namespace kensaku::ui
