// Romaji against what Japanese input methods type for it.
#include "match/romaji.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace kensaku {
namespace {

using Kana = std::vector<std::string>;

TEST(RomajiTest, SpellingsAsInputMethodsTypeThem) {
  const struct {
    const char* romaji;
    Kana kana;
  } rows[] = {
      {"kensaku", {"けんさく"}}, {"KenSaku", {"けんさく"}},
      {"shi", {"し"}}, {"si", {"し"}}, {"chi", {"ち"}}, {"ti", {"ち"}}, {"tsu", {"つ"}},
      {"tu", {"つ"}}, {"fu", {"ふ"}}, {"hu", {"ふ"}}, {"ji", {"じ"}}, {"zi", {"じ"}},
      {"ja", {"じゃ"}}, {"zya", {"じゃ"}}, {"jya", {"じゃ"}}, {"sha", {"しゃ"}}, {"sya", {"しゃ"}},
      {"cha", {"ちゃ"}}, {"tya", {"ちゃ"}}, {"cya", {"ちゃ"}},
      {"sanpo", {"さんぽ"}}, {"kanji", {"かんじ"}}, {"konnichiha", {"こんにちは"}},
      {"konnnichiha", {"こんにちは"}}, {"kan'i", {"かんい"}}, {"kanni", {"かんに"}},
      {"hannnou", {"はんのう"}}, {"shinbunshi", {"しんぶんし"}},
      {"shimbunshi", {"しんぶんし"}}, {"empitsu", {"えんぴつ"}}, {"mma", {"っま"}},
      {"gakkou", {"がっこう"}}, {"zasshi", {"ざっし"}}, {"matcha", {"まっちゃ"}},
      {"kitte", {"きって"}}, {"xa", {"ぁ"}}, {"la", {"ぁ"}}, {"ltu", {"っ"}}, {"xtsu", {"っ"}},
      {"xya", {"ゃ"}}, {"xka", {"ゕ"}}, {"ra-men'ya", {"らーめんや"}}, {"wo", {"を"}},
      {"wi", {"うぃ"}}, {"we", {"うぇ"}}, {"vaiorinn", {"ゔぁいおりん"}}, {"vu", {"ゔ"}},
      {"fairu", {"ふぁいる"}}, {"thi", {"てぃ"}}, {"dhi", {"でぃ"}}, {"kyouto", {"きょうと"}},
      {"tato", {"たと"}},
      // An unfinished last syllable is any syllable its letters begin.
      {"kensak", {"けんさか", "けんさき", "けんさく", "けんさけ", "けんさこ", "けんさくぁ", "けんさきぇ",
                  "けんさきぃ", "けんさきゃ", "けんさきゅ", "けんさきょ", "けんさくぁ"}},
      {"ky", {"きぇ", "きぃ", "きゃ", "きゅ", "きょ"}},
      {"hon", {"ほな", "ほに", "ほぬ", "ほね", "ほの", "ほん", "ほにぇ", "ほにぃ", "ほにゃ", "ほにゅ",
               "ほにょ"}},
      // No romaji: left to be found as typed.
      {"", {}}, {"検索", {}}, {"a1", {}}, {"q", {"くぁ", "くぃ", "くぇ", "くぉ"}},
  };
  for (const auto& row : rows) {
    Kana want = row.kana;
    std::sort(want.begin(), want.end());
    want.erase(std::unique(want.begin(), want.end()), want.end());
    EXPECT_EQ(KanaOfRomaji(row.romaji), want) << row.romaji;
  }
}

}  // namespace
}  // namespace kensaku
