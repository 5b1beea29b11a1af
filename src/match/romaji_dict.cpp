#include "match/romaji_dict.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

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

RomajiDictionary::RomajiDictionary(std::string text) : text_(std::move(text)) {
  // The entries after ";; okuri-nasi entries." (all of them when there is no such line), sorted
  // as bytes: the file is, and sorting again costs little when it already is.
  std::size_t at = text_.find(";; okuri-nasi entries.");
  at = at == std::string::npos ? 0 : at;
  while (at < text_.size()) {
    std::size_t end = text_.find('\n', at);
    if (end == std::string::npos) end = text_.size();
    if (end > at && text_[at] != ';' && text_.find(' ', at) < end) {
      entries_.push_back(static_cast<std::uint32_t>(at));
    }
    at = end + 1;
  }
  if (!std::is_sorted(entries_.begin(), entries_.end(), [&](std::uint32_t a, std::uint32_t b) {
        return ReadingAt(a) < ReadingAt(b);
      })) {
    std::stable_sort(entries_.begin(), entries_.end(), [&](std::uint32_t a, std::uint32_t b) {
      return ReadingAt(a) < ReadingAt(b);
    });
  }
}

std::shared_ptr<const RomajiDictionary> RomajiDictionary::FromText(std::string text) {
  return std::shared_ptr<const RomajiDictionary>(new RomajiDictionary(std::move(text)));
}

std::shared_ptr<const RomajiDictionary> RomajiDictionary::Open(const std::string& path,
                                                               std::string& problem) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    problem = "cannot be opened";
    return nullptr;
  }
  std::string text;
  char block[1 << 16];
  std::size_t n;
  while ((n = std::fread(block, 1, sizeof block, file)) > 0) {
    text.append(block, n);
    if (text.size() > (64u << 20)) break;  // no dictionary is this large
  }
  const bool failed = std::ferror(file) != 0 || text.size() > (64u << 20);
  std::fclose(file);
  if (failed) {
    problem = "cannot be read";
    return nullptr;
  }
  auto dictionary = FromText(std::move(text));
  if (dictionary->entries_.empty()) {
    problem = "holds no entries";
    return nullptr;
  }
  return dictionary;
}

std::string RomajiDictionary::DefaultPath() {
  const char* given = std::getenv("KENSAKU_ROMAJI_DICT");
  return given != nullptr && *given != '\0' ? given : "/usr/share/skk/SKK-JISYO.L";
}

std::string_view RomajiDictionary::ReadingAt(std::size_t entry) const {
  const std::size_t space = text_.find(' ', entry);
  return std::string_view(text_).substr(entry, space - entry);
}

std::pair<std::size_t, std::size_t> RomajiDictionary::Range(std::string_view key) const {
  const auto first = std::lower_bound(
      entries_.begin(), entries_.end(), key,
      [&](std::uint32_t e, std::string_view k) { return ReadingAt(e) < k; });
  auto last = first;
  while (last != entries_.end() && ReadingAt(*last).substr(0, key.size()) == key) ++last;
  return {static_cast<std::size_t>(first - entries_.begin()),
          static_cast<std::size_t>(last - entries_.begin())};
}

void RomajiDictionary::AppendWords(std::size_t entry, std::string_view rest,
                                   std::vector<std::string>& out) const {
  const std::size_t from = entries_[entry];
  std::size_t end = text_.find('\n', from);
  if (end == std::string::npos) end = text_.size();
  const std::string_view line = std::string_view(text_).substr(from, end - from);
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
    bool usable = true;
    for (std::size_t i = 0; i < text.size() && usable;) {
      const MbChar c = DecodeText(text.c_str() + i);
      usable = c.code != kOtherChar && c.code != kBrokenChar;
      i += static_cast<std::size_t>(c.ByteCount());
    }
    if (usable) out.push_back(text + std::string(rest));
  }
}

std::vector<std::string> RomajiDictionary::WordsFor(std::string_view kana) const {
  std::vector<std::string> words;
  const std::string key = EucJpOf(kana);
  if (key.empty()) return words;
  // Words whose reading begins with the kana.
  if (key.size() >= 4) {
    const auto [first, last] = Range(key);
    for (std::size_t e = first; e < last && words.size() < kMaxWords; ++e) {
      AppendWords(e, {}, words);
    }
  }
  // A word, then the kana of the rest (kept as the internal form of their UTF-8).
  std::string rest_internal;
  for (std::size_t cut = 4; cut < key.size(); cut += 2) {
    const auto [first, last] = Range(key.substr(0, cut));
    for (std::size_t e = first; e < last; ++e) {
      if (ReadingAt(entries_[e]).size() != cut) continue;
      InternalLine rest;
      rest.Decode(Encoding::kEucJp, key.data() + cut, key.size() - cut, nullptr);
      AppendWords(e, std::string_view(rest.text(), rest.size()), words);
    }
  }
  std::sort(words.begin(), words.end());
  words.erase(std::unique(words.begin(), words.end()), words.end());
  return words;
}

}  // namespace kensaku
