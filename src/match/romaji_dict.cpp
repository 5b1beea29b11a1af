#include "match/romaji_dict.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "match/romaji.h"
#include "mbchar/encoding.h"
#include "mbchar/internal_text.h"

namespace kensaku {
namespace {

// Hiragana (UTF-8) as EUC-JP, or empty when a character has no form there.
std::string EucJpOf(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const TextChar c = ReadTextChar(Encoding::kUtf8, utf8.data() + i, utf8.size() - i);
    i += c.length;
    const std::vector<std::string> forms = c.broken ? std::vector<std::string>{}
                                                    : FormsOfUnicode(Encoding::kEucJp, c.unicode);
    if (forms.empty()) return {};
    out += forms.front();
  }
  return out;
}

}  // namespace

RomajiDictionary::RomajiDictionary(std::string text, std::string_view bytes,
                                   std::shared_ptr<const void> holder)
    : owned_(std::move(text)),
      holder_(std::move(holder)),
      text_(holder_ != nullptr ? bytes : std::string_view(owned_)) {
  // Inflected words come after ";; okuri-ari entries.", the others after ";; okuri-nasi
  // entries." (all entries are taken as those when neither line is there); each part is sorted
  // here by reading as bytes, whatever order the file keeps.
  const std::size_t nasi = text_.find(";; okuri-nasi entries.");
  const std::size_t ari = text_.find(";; okuri-ari entries.");
  // Room for every entry there can be (each line holds at least "k /w/" and its LF): pages left
  // unused are never touched, where growing would copy and touch twice as many.
  entries_.reserve(text_.size() / 6);
  std::size_t at = 0;
  while (at < text_.size()) {
    std::size_t end = text_.find('\n', at);
    if (end == std::string_view::npos) end = text_.size();
    if (end > at && text_[at] != ';' && text_.find(' ', at) < end) {
      const bool stem = ari != std::string_view::npos && at > ari &&
                        (nasi == std::string_view::npos || at < nasi);
      const bool word = nasi == std::string_view::npos ? ari == std::string_view::npos : at > nasi;
      if (stem) stems_.push_back(static_cast<std::uint32_t>(at));
      if (word) entries_.push_back(static_cast<std::uint32_t>(at));
    }
    at = end + 1;
  }
  auto by_reading = [&](std::uint32_t a, std::uint32_t b) { return ReadingAt(a) < ReadingAt(b); };
  for (auto* part : {&entries_, &stems_}) {
    if (!std::is_sorted(part->begin(), part->end(), by_reading)) {
      std::stable_sort(part->begin(), part->end(), by_reading);
    }
  }
}

std::shared_ptr<const RomajiDictionary> RomajiDictionary::FromText(std::string text) {
  return std::shared_ptr<const RomajiDictionary>(
      new RomajiDictionary(std::move(text), {}, nullptr));
}

std::shared_ptr<const RomajiDictionary> RomajiDictionary::FromBytes(
    std::string_view bytes, std::shared_ptr<const void> holder) {
  return std::shared_ptr<const RomajiDictionary>(
      new RomajiDictionary(std::string(), bytes, std::move(holder)));
}

std::string RomajiDictionary::DefaultPath() {
  const char* given = std::getenv("KENSAKU_ROMAJI_DICT");
  return given != nullptr && *given != '\0' ? given : "/usr/share/skk/SKK-JISYO.L";
}

std::string_view RomajiDictionary::ReadingAt(std::size_t entry) const {
  const std::size_t space = text_.find(' ', entry);
  return text_.substr(entry, space - entry);
}

std::pair<std::size_t, std::size_t> RomajiDictionary::Range(
    const std::vector<std::uint32_t>& entries, std::string_view key) const {
  const auto first = std::lower_bound(
      entries.begin(), entries.end(), key,
      [&](std::uint32_t e, std::string_view k) { return ReadingAt(e) < k; });
  auto last = first;
  while (last != entries.end() && ReadingAt(*last).substr(0, key.size()) == key) ++last;
  return {static_cast<std::size_t>(first - entries.begin()),
          static_cast<std::size_t>(last - entries.begin())};
}

void RomajiDictionary::AppendWords(std::uint32_t from, std::string_view rest,
                                   std::vector<std::string>& out) const {
  std::size_t end = text_.find('\n', from);
  if (end == std::string_view::npos) end = text_.size();
  const std::string_view line = text_.substr(from, end - from);
  std::size_t at = line.find(" /");
  while (at != std::string_view::npos && at + 2 < line.size()) {
    const std::size_t next = line.find('/', at + 2);
    if (next == std::string_view::npos) break;
    std::string_view word = line.substr(at + 2, next - at - 2);
    word = word.substr(0, word.find(';'));  // an annotation follows
    at = next - 1;
    // A Lisp form (concat ...) is no word of text.
    if (word.empty() || word.find('(') != std::string_view::npos) continue;
    InternalLine internal;
    internal.Decode(Encoding::kEucJp, word.data(), word.size(), nullptr);
    std::string text(internal.text(), internal.size());
    // A word the text can hold; of symbols alone only when the width fold takes none of them
    // to a character of one byte (［ of kakko would find every [), and of letters and digits
    // only when there are two or more (AI of ai, not V of bai).
    const FoldTable& width = FoldTable::For(FoldToHalfWidth | FoldAsRead);
    bool usable = true, written = false, alone = true;
    std::size_t chars = 0, latin = 0;
    for (std::size_t i = 0; i < text.size() && usable;) {
      const MbChar c = DecodeText(text.c_str() + i);
      usable = c.code != kOtherChar && c.code != kBrokenChar;
      written = written || (c.code >= 0x829F && c.code <= 0x8396) || c.code >= 0x889F;
      const Code narrow = width[c.code];
      if (!written && alone) {
        for (Code other : width.Preimages(narrow)) alone = alone && other >= 0x100;
      }
      ++chars;
      latin += narrow < 0x80 && std::isalnum(static_cast<int>(narrow)) != 0;
      i += static_cast<std::size_t>(c.ByteCount());
    }
    if (usable && (written || alone || (chars >= 2 && latin == chars))) {
      out.push_back(text + std::string(rest));
    }
  }
}

std::vector<std::string> RomajiDictionary::WordsFor(std::string_view kana) const {
  std::vector<std::string> words;
  const std::string key = EucJpOf(kana);
  if (key.empty()) return words;
  // Every kana is two bytes in EUC-JP and three in UTF-8.
  auto rest_of = [&](std::size_t cut) {
    InternalLine rest;
    rest.Decode(Encoding::kEucJp, key.data() + cut, key.size() - cut, nullptr);
    return std::string(rest.text(), rest.size());
  };
  // Words whose reading begins with the kana; for one kana, those read as it (き: 木, 気), since
  // one kana begins thousands (聞く, キャベツ, ...), more than the list finders take in one pass.
  {
    const auto [first, last] = Range(key);
    for (std::size_t e = first; e < last && words.size() < kMaxWords; ++e) {
      if (key.size() >= 4 || ReadingAt(entries_[e]).size() == key.size()) {
        AppendWords(entries_[e], {}, words);
      }
    }
  }
  // A word, then the kana of the rest: the longest reading that has words, as an input method
  // segments (kensakusuru: 検索 and する, not 件 and さくする, which took 114 words for kensaku).
  for (std::size_t cut = key.size() - 2; cut >= 4 && cut < key.size(); cut -= 2) {
    const std::size_t before = words.size();
    const std::string rest = rest_of(cut);
    const auto [first, last] = Range(std::string_view(key).substr(0, cut));
    for (std::size_t e = first; e < last; ++e) {
      if (ReadingAt(entries_[e]).size() == cut) AppendWords(entries_[e], rest, words);
    }
    if (words.size() > before) break;
  }
  for (std::size_t cut = 2; cut <= key.size(); cut += 2) {
    const std::string_view head = std::string_view(key).substr(0, cut);
    // A stem, then the rest when its kana goes with the stem (か and k, then く).
    if (cut < key.size()) {
      const std::string rest = rest_of(cut);
      for (char letter : LettersOfKana(kana.substr(cut / 2 * 3, 3))) {
        const std::string reading = std::string(head) + letter;
        const auto [first, last] = Range(stems_, reading);
        for (std::size_t e = first; e < last; ++e) {
          if (ReadingAt(stems_[e]) == reading) AppendWords(stems_[e], rest, words);
        }
      }
    } else {
      // Stems whose reading begins with the whole query (is it, for one kana): the stem alone,
      // whatever comes after it.
      const auto [first, last] = Range(stems_, head);
      for (std::size_t e = first; e < last && words.size() < 2 * kMaxWords; ++e) {
        if (cut >= 4 || ReadingAt(stems_[e]).size() == cut + 1) AppendWords(stems_[e], {}, words);
      }
    }
  }
  std::sort(words.begin(), words.end());
  words.erase(std::unique(words.begin(), words.end()), words.end());
  return words;
}

std::vector<std::string> RomajiDictionary::WordsForLetters(std::string_view romaji) const {
  std::vector<std::string> words;
  std::string key(romaji);
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (key.empty()) return words;
  const auto [first, last] = Range(key);
  for (std::size_t e = first; e < last && words.size() < kMaxWords; ++e) {
    AppendWords(entries_[e], {}, words);
  }
  return words;
}

}  // namespace kensaku
