// Real files for the DLL tests: a fresh folder under the Windows temporary folder per test.
#ifndef KENSAKU_TESTS_WIN32_WIN_FILES_H_
#define KENSAKU_TESTS_WIN32_WIN_FILES_H_

#include <windows.h>

#include <string>

namespace kensaku_test {

class WinTempDir {
 public:
  WinTempDir();
  ~WinTempDir();
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);

}  // namespace kensaku_test

#endif  // KENSAKU_TESTS_WIN32_WIN_FILES_H_
