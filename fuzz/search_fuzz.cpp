// The file searches on arbitrary file contents and list texts: nothing may crash, overrun or
// loop, and the result text always ends within the result buffer.
// Input: one byte of settings, then list text and file contents separated by the first 0x00.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/settings.h"
#include "mbchar/fold.h"
#include "search/drivers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kensaku;
  if (size < 1) return 0;
  SetFoldFlags(data[0] & 0x7F);
  SetOutputMode(data[0] & 0x80 ? 1 : 0);
  SetLineMode(data[0] & 0x01);
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t cut = rest.find('\0');
  const std::string list = rest.substr(0, cut);
  const std::string contents = cut == std::string::npos ? std::string() : rest.substr(cut + 1);

  static const std::string path = "/tmp/kensaku-fuzz-" + std::to_string(getpid()) + ".txt";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(contents.data(), 1, contents.size(), f);
  std::fclose(f);

  for (const char* r : {SearchFileMatchs(path.c_str(), list.c_str()),
                        SearchFileInc(path.c_str(), list.c_str())}) {
    if (r != nullptr && std::strlen(r) > kResultCapacity) std::abort();
  }
  const std::string out = path + ".out";
  SearchFileToFile(SearchKind::kMatch, path.c_str(), out.c_str(), list.c_str());
  std::remove(out.c_str());
  return 0;
}
