// A dictionary of readings and the words written for them, for romaji searches: an SKK
// dictionary (EUC-JP; Debian's skkdic installs /usr/share/skk/SKK-JISYO.L), its words and the
// stems of its inflected words (書 of 書く, read か and a k-row kana). It is read once and looked up by binary search on its sorted
// readings. Tests: python/tests/test_romaji.py and fuzz/romaji_fuzz.cpp.
#ifndef KENSAKU_SRC_MATCH_ROMAJI_DICT_H_
#define KENSAKU_SRC_MATCH_ROMAJI_DICT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kensaku {

class RomajiDictionary {
 public:
  // At most this many words for the readings a query's kana begin.
  static constexpr std::size_t kMaxWords = 2000;

  // A dictionary from its text (search/dictionary_file.h reads one from a file).
  static std::shared_ptr<const RomajiDictionary> FromText(std::string text);
  // The same from bytes that `holder` keeps for as long as the dictionary lives (a mapping).
  static std::shared_ptr<const RomajiDictionary> FromBytes(std::string_view bytes,
                                                           std::shared_ptr<const void> holder);
  // Whether it holds no entry, words or stems.
  bool empty() const { return entries_.empty() && stems_.empty(); }
  // $KENSAKU_ROMAJI_DICT, else /usr/share/skk/SKK-JISYO.L.
  static std::string DefaultPath();

  // The words (internal form) a query of hiragana (UTF-8) may stand for: those whose reading
  // begins with it (is it, for one kana); each word of the longest word reading (two kana or more)
  // that begins it, followed by the rest of its kana (kensakusuru finds 検索する); each stem whose
  // reading begins it, followed by the rest when it begins with the stem's kana (kaku finds 書く),
  // or alone when its reading begins with the query (tato finds 例 of 例える).
  std::vector<std::string> WordsFor(std::string_view kana) const;
  // The words of the entries read in small Latin letters (aids, honor) whose reading begins
  // with the romaji, typed in any case.
  std::vector<std::string> WordsForLetters(std::string_view romaji) const;

 private:
  // Its own text, or bytes a holder keeps.
  RomajiDictionary(std::string text, std::string_view bytes, std::shared_ptr<const void> holder);
  std::string_view ReadingAt(std::size_t entry) const;
  // The entries whose reading begins with key (EUC-JP): [first, last).
  std::pair<std::size_t, std::size_t> Range(std::string_view key) const {
    return Range(entries_, key);
  }
  std::pair<std::size_t, std::size_t> Range(const std::vector<std::uint32_t>& entries,
                                            std::string_view key) const;
  // The words of an entry, in the internal form, those the text can hold.
  void AppendWords(std::uint32_t line, std::string_view rest, std::vector<std::string>& out) const;

  std::string owned_;
  std::shared_ptr<const void> holder_;
  std::string_view text_;
  std::vector<std::uint32_t> entries_;  // where each entry's line begins, by reading
  std::vector<std::uint32_t> stems_;    // the same for the inflected words
};

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_ROMAJI_DICT_H_
