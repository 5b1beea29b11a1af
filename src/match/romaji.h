// Romaji as a Japanese input method reads it: Hepburn and kunrei spellings (shi and si, tsu and
// tu, ja, zya and jya), n before a consonant and nn or n' (Hepburn's m before b and p too), a
// doubled consonant as a small tsu, x and l for small kana, '-' for the prolonged sound mark,
// and the v rows. A last syllable left unfinished stands for every kana it may become (kensak:
// kensaka to kensako). Tests:
// tests/unit/romaji_test.cpp (a table of input-method spellings) and fuzz/romaji_fuzz.cpp.
#ifndef KENSAKU_SRC_MATCH_ROMAJI_H_
#define KENSAKU_SRC_MATCH_ROMAJI_H_

#include <string>
#include <string_view>
#include <vector>

namespace kensaku {

// The hiragana (UTF-8) a word of romaji is typed for: one text, or one for each way its last
// syllable may end. Empty when the word holds anything but ASCII letters, apostrophes and '-',
// or nothing. Case does not matter.
std::vector<std::string> KanaOfRomaji(std::string_view romaji);

// The letters romaji begins one kana (UTF-8) with, as dictionaries of readings mark the kana an
// inflected word goes on with: "t" for つ and っ, "tc" for ち, "zj" for じ.
std::string LettersOfKana(std::string_view kana);

}  // namespace kensaku

#endif  // KENSAKU_SRC_MATCH_ROMAJI_H_
