// A romaji dictionary read from its file: mapped where the system can, read otherwise.
#ifndef KENSAKU_SRC_SEARCH_DICTIONARY_FILE_H_
#define KENSAKU_SRC_SEARCH_DICTIONARY_FILE_H_

#include <memory>
#include <string>

#include "match/romaji_dict.h"

namespace kensaku {

// Null, with the trouble named, when the file cannot be opened or read, or holds no entries.
std::shared_ptr<const RomajiDictionary> OpenRomajiDictionary(const std::string& path,
                                                             std::string& problem);

}  // namespace kensaku

#endif  // KENSAKU_SRC_SEARCH_DICTIONARY_FILE_H_
