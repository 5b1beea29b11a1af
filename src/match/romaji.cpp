#include "match/romaji.h"

#include <algorithm>
#include <cctype>

namespace kensaku {
namespace {

struct Syllable {
  const char* romaji;
  const char* kana;
};

// Every spelling an input method takes; where one begins another, the longest that begins the
// text is read.
constexpr Syllable kSyllables[] = {
    {"a", "あ"}, {"i", "い"}, {"u", "う"}, {"e", "え"}, {"o", "お"},
    {"ka", "か"}, {"ki", "き"}, {"ku", "く"}, {"ke", "け"}, {"ko", "こ"},
    {"ga", "が"}, {"gi", "ぎ"}, {"gu", "ぐ"}, {"ge", "げ"}, {"go", "ご"},
    {"sa", "さ"}, {"si", "し"}, {"shi", "し"}, {"su", "す"}, {"se", "せ"}, {"so", "そ"},
    {"za", "ざ"}, {"zi", "じ"}, {"ji", "じ"}, {"zu", "ず"}, {"ze", "ぜ"}, {"zo", "ぞ"},
    {"ta", "た"}, {"ti", "ち"}, {"chi", "ち"}, {"tu", "つ"}, {"tsu", "つ"}, {"te", "て"},
    {"to", "と"},
    {"da", "だ"}, {"di", "ぢ"}, {"du", "づ"}, {"de", "で"}, {"do", "ど"},
    {"na", "な"}, {"ni", "に"}, {"nu", "ぬ"}, {"ne", "ね"}, {"no", "の"},
    {"ha", "は"}, {"hi", "ひ"}, {"hu", "ふ"}, {"fu", "ふ"}, {"he", "へ"}, {"ho", "ほ"},
    {"ba", "ば"}, {"bi", "び"}, {"bu", "ぶ"}, {"be", "べ"}, {"bo", "ぼ"},
    {"pa", "ぱ"}, {"pi", "ぴ"}, {"pu", "ぷ"}, {"pe", "ぺ"}, {"po", "ぽ"},
    {"ma", "ま"}, {"mi", "み"}, {"mu", "む"}, {"me", "め"}, {"mo", "も"},
    {"ya", "や"}, {"yu", "ゆ"}, {"ye", "いぇ"}, {"yo", "よ"},
    {"ra", "ら"}, {"ri", "り"}, {"ru", "る"}, {"re", "れ"}, {"ro", "ろ"},
    {"wa", "わ"}, {"wi", "うぃ"}, {"wu", "う"}, {"we", "うぇ"}, {"wo", "を"},
    {"wyi", "ゐ"}, {"wye", "ゑ"}, {"nn", "ん"}, {"n'", "ん"},
    {"kya", "きゃ"}, {"kyi", "きぃ"}, {"kyu", "きゅ"}, {"kye", "きぇ"}, {"kyo", "きょ"},
    {"gya", "ぎゃ"}, {"gyi", "ぎぃ"}, {"gyu", "ぎゅ"}, {"gye", "ぎぇ"}, {"gyo", "ぎょ"},
    {"sya", "しゃ"}, {"sha", "しゃ"}, {"syi", "しぃ"}, {"syu", "しゅ"}, {"shu", "しゅ"},
    {"sye", "しぇ"}, {"she", "しぇ"}, {"syo", "しょ"}, {"sho", "しょ"},
    {"zya", "じゃ"}, {"ja", "じゃ"}, {"jya", "じゃ"}, {"zyi", "じぃ"}, {"jyi", "じぃ"},
    {"zyu", "じゅ"}, {"ju", "じゅ"}, {"jyu", "じゅ"}, {"zye", "じぇ"}, {"je", "じぇ"},
    {"jye", "じぇ"}, {"zyo", "じょ"}, {"jo", "じょ"}, {"jyo", "じょ"},
    {"tya", "ちゃ"}, {"cha", "ちゃ"}, {"cya", "ちゃ"}, {"tyi", "ちぃ"}, {"cyi", "ちぃ"},
    {"tyu", "ちゅ"}, {"chu", "ちゅ"}, {"cyu", "ちゅ"}, {"tye", "ちぇ"}, {"che", "ちぇ"},
    {"cye", "ちぇ"}, {"tyo", "ちょ"}, {"cho", "ちょ"}, {"cyo", "ちょ"},
    {"dya", "ぢゃ"}, {"dyi", "ぢぃ"}, {"dyu", "ぢゅ"}, {"dye", "ぢぇ"}, {"dyo", "ぢょ"},
    {"tsa", "つぁ"}, {"tsi", "つぃ"}, {"tse", "つぇ"}, {"tso", "つぉ"},
    {"tha", "てゃ"}, {"thi", "てぃ"}, {"thu", "てゅ"}, {"the", "てぇ"}, {"tho", "てょ"},
    {"dha", "でゃ"}, {"dhi", "でぃ"}, {"dhu", "でゅ"}, {"dhe", "でぇ"}, {"dho", "でょ"},
    {"twu", "とぅ"}, {"dwu", "どぅ"},
    {"nya", "にゃ"}, {"nyi", "にぃ"}, {"nyu", "にゅ"}, {"nye", "にぇ"}, {"nyo", "にょ"},
    {"hya", "ひゃ"}, {"hyi", "ひぃ"}, {"hyu", "ひゅ"}, {"hye", "ひぇ"}, {"hyo", "ひょ"},
    {"fa", "ふぁ"}, {"fi", "ふぃ"}, {"fe", "ふぇ"}, {"fo", "ふぉ"}, {"fyu", "ふゅ"},
    {"bya", "びゃ"}, {"byi", "びぃ"}, {"byu", "びゅ"}, {"bye", "びぇ"}, {"byo", "びょ"},
    {"pya", "ぴゃ"}, {"pyi", "ぴぃ"}, {"pyu", "ぴゅ"}, {"pye", "ぴぇ"}, {"pyo", "ぴょ"},
    {"mya", "みゃ"}, {"myi", "みぃ"}, {"myu", "みゅ"}, {"mye", "みぇ"}, {"myo", "みょ"},
    {"rya", "りゃ"}, {"ryi", "りぃ"}, {"ryu", "りゅ"}, {"rye", "りぇ"}, {"ryo", "りょ"},
    {"va", "ゔぁ"}, {"vi", "ゔぃ"}, {"vu", "ゔ"}, {"ve", "ゔぇ"}, {"vo", "ゔぉ"},
    {"vya", "ゔゃ"}, {"vyu", "ゔゅ"}, {"vyo", "ゔょ"},
    {"qa", "くぁ"}, {"qi", "くぃ"}, {"qe", "くぇ"}, {"qo", "くぉ"}, {"kwa", "くぁ"},
    {"gwa", "ぐぁ"},
    {"xa", "ぁ"}, {"xi", "ぃ"}, {"xu", "ぅ"}, {"xe", "ぇ"}, {"xo", "ぉ"},
    {"la", "ぁ"}, {"li", "ぃ"}, {"lu", "ぅ"}, {"le", "ぇ"}, {"lo", "ぉ"},
    {"xya", "ゃ"}, {"xyu", "ゅ"}, {"xyo", "ょ"}, {"lya", "ゃ"}, {"lyu", "ゅ"}, {"lyo", "ょ"},
    {"xtu", "っ"}, {"xtsu", "っ"}, {"ltu", "っ"}, {"ltsu", "っ"}, {"xwa", "ゎ"}, {"lwa", "ゎ"},
    {"xka", "ゕ"}, {"xke", "ゖ"}, {"lka", "ゕ"}, {"lke", "ゖ"},
    {"-", "ー"},
};

bool IsVowel(char c) { return c == 'a' || c == 'i' || c == 'u' || c == 'e' || c == 'o'; }

// The longest syllable that begins text, or null.
const Syllable* Longest(std::string_view text) {
  const Syllable* best = nullptr;
  std::size_t best_size = 0;
  for (const Syllable& s : kSyllables) {
    const std::string_view r = s.romaji;
    if (r.size() > best_size && text.substr(0, r.size()) == r) {
      best = &s;
      best_size = r.size();
    }
  }
  return best;
}

}  // namespace

std::string LettersOfKana(std::string_view kana) {
  std::string letters = kana == "っ" ? "t" : "";
  for (const Syllable& s : kSyllables) {
    const char first = s.romaji[0];
    if (kana == s.kana && first != 'x' && first != 'l' && letters.find(first) == std::string::npos) {
      letters.push_back(first);
    }
  }
  return letters;
}

std::vector<std::string> KanaOfRomaji(std::string_view romaji) {
  std::string text;
  for (char c : romaji) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80 || (!std::isalpha(u) && c != '\'' && c != '-')) return {};
    text.push_back(static_cast<char>(std::tolower(u)));
  }
  std::string kana;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::string_view rest = std::string_view(text).substr(i);
    const char next = rest.size() > 1 ? rest[1] : '\0';
    if (rest[0] == 'n' && next == 'n') {
      // nn is the syllabic n; before a vowel or y the second n begins the next syllable
      // (konnichiha).
      const char after = rest.size() > 2 ? rest[2] : '\0';
      kana += "ん";
      i += IsVowel(after) || after == 'y' ? 1 : 2;
      continue;
    }
    if ((rest[0] == 'n' && next != '\0' && !IsVowel(next) && next != 'y' && next != '\'') ||
        (rest[0] == 'm' && (next == 'b' || next == 'p'))) {
      kana += "ん";  // n before a consonant; Hepburn's m before b and p (shimbun, empitsu)
      ++i;
      continue;
    }
    // A doubled consonant is a small tsu (and tch, as in matcha).
    if (std::isalpha(static_cast<unsigned char>(rest[0])) && !IsVowel(rest[0]) &&
        (next == rest[0] || (rest[0] == 't' && next == 'c'))) {
      kana += "っ";
      ++i;
      continue;
    }
    const Syllable* s = Longest(rest);
    if (s == nullptr) break;
    kana += s->kana;
    i += std::string_view(s->romaji).size();
  }
  if (i == text.size()) {
    if (kana.empty()) return {};
    return {kana};
  }
  // Letters left that begin a syllable: the word's last syllable, unfinished, is any of them.
  const std::string_view tail = std::string_view(text).substr(i);
  std::vector<std::string> all;
  for (const Syllable& s : kSyllables) {
    const std::string_view r = s.romaji;
    if (r.size() > tail.size() && r.substr(0, tail.size()) == tail) all.push_back(kana + s.kana);
  }
  std::sort(all.begin(), all.end());
  all.erase(std::unique(all.begin(), all.end()), all.end());
  return all;
}

}  // namespace kensaku
