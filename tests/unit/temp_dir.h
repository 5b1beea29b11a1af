// A fresh temporary folder per test, removed afterwards, with small file helpers.
#ifndef KENSAKU_TESTS_UNIT_TEMP_DIR_H_
#define KENSAKU_TESTS_UNIT_TEMP_DIR_H_

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kensaku {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kensaku-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kensaku

#endif  // KENSAKU_TESTS_UNIT_TEMP_DIR_H_
