#include "search/dictionary_file.h"

#include <cstdint>
#include <memory>

#include "search/file_identity.h"
#include "search/file_source.h"

namespace kensaku {

std::shared_ptr<const RomajiDictionary> OpenRomajiDictionary(const std::string& path,
                                                             std::string& problem) {
  constexpr std::uint64_t kLargest = std::uint64_t{64} << 20;  // no dictionary is this large
  FileName name;
  name.path = path.c_str();
  FileSource file;
  if (!file.Open(name)) {
    problem = "cannot be opened";
    return nullptr;
  }
  // Mapped where the system can: the pages come from the page cache many at a fault, where a
  // copy would first touch as many new pages, one fault each, which costs some machines more
  // than the reading.
  const std::uint64_t length = FileLength(file);
  std::shared_ptr<const RomajiDictionary> dictionary;
  if (length != UINT64_MAX && length <= kLargest) {
    auto mapped = std::make_shared<MappedBytes>();
    if (mapped->Map(file, length)) {
      const std::string_view bytes(mapped->data(), mapped->size());
      dictionary = RomajiDictionary::FromBytes(bytes, std::move(mapped));
    }
  }
  if (dictionary == nullptr) {
    std::string text;
    if (length <= kLargest) text.reserve(static_cast<std::size_t>(length));
    char block[1 << 16];
    std::ptrdiff_t n = 0;
    while (text.size() <= kLargest && (n = file.Read(block, sizeof block)) > 0) {
      text.append(block, static_cast<std::size_t>(n));
    }
    if (n < 0 || text.size() > kLargest) {
      problem = "cannot be read";
      return nullptr;
    }
    dictionary = RomajiDictionary::FromText(std::move(text));
  }
  if (dictionary->empty()) {
    problem = "holds no entries";
    return nullptr;
  }
  return dictionary;
}

}  // namespace kensaku
