// Romaji words of any bytes: what they type is nothing (no romaji) or kana and the prolonged
// sound mark only, in order and each once; any text read as a dictionary gives words for them
// (and for the letters as typed);
// and any word compiles into a query that searches.
// Input: settings, word, NUL, line (also the dictionary's text).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_input.h"
#include "match/romaji.h"
#include "match/romaji_dict.h"
#include "mbchar/fold.h"
#include "search/query.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kensaku;
  const kensaku_fuzz::Input in = kensaku_fuzz::Split(data, size, 2);
  const std::string& word = in.texts[0];
  const std::vector<std::string> kana = KanaOfRomaji(word);
  for (std::size_t i = 0; i < kana.size(); ++i) {
    if (kana[i].empty() || (i > 0 && !(kana[i - 1] < kana[i]))) std::abort();
    // Hiragana (E3 81 81 - E3 82 96) and ー (E3 83 BC), three bytes each.
    const std::string& k = kana[i];
    if (k.size() % 3 != 0) std::abort();
    for (std::size_t j = 0; j < k.size(); j += 3) {
      const auto b1 = static_cast<unsigned char>(k[j + 1]), b2 = static_cast<unsigned char>(k[j + 2]);
      const bool hiragana = static_cast<unsigned char>(k[j]) == 0xE3 &&
                            ((b1 == 0x81 && b2 >= 0x81) || (b1 == 0x82 && b2 <= 0x96));
      const bool long_mark = static_cast<unsigned char>(k[j]) == 0xE3 && b1 == 0x83 && b2 == 0xBC;
      if (!hiragana && !long_mark) std::abort();
    }
  }
  const auto dictionary = RomajiDictionary::FromText(in.texts[1]);
  for (const std::string& k : kana) {
    for (const std::string& w : dictionary->WordsFor(k)) {
      if (w.empty()) std::abort();
    }
  }
  for (const std::string& w : dictionary->WordsForLetters(word)) {
    if (w.empty()) std::abort();
  }
  for (unsigned char c : word) {
    if (c >= 0x80 && !kana.empty()) std::abort();
  }
  QueryOptions options;
  options.kind = SearchKind::kInc;
  options.romaji = true;
  options.match = MatchOptions(kensaku_fuzz::FoldFlagsOf(in.settings) | FoldAsRead);
  if (word.find('\0') == std::string::npos && word.find('\n') == std::string::npos) {
    options.dictionary = dictionary;
    const EncodingQueries queries = CompileForEncodings({word}, options);
    const std::string& line = in.texts[1];
    (void)queries.decoded->Selects(line.c_str(), line.size());
  }
  return 0;
}
