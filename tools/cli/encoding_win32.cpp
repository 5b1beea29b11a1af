#include <windows.h>

#include <vector>

#include "encoding.h"

namespace kensaku::cli {
namespace {

constexpr UINT kShiftJis = 932;

std::string Convert(UINT from, UINT to, const char* text, std::size_t size, bool* exact) {
  const int wide_n = MultiByteToWideChar(from, 0, text, static_cast<int>(size), nullptr, 0);
  std::vector<wchar_t> wide(static_cast<std::size_t>(wide_n) + 1);
  MultiByteToWideChar(from, 0, text, static_cast<int>(size), wide.data(), wide_n);
  BOOL lossy = FALSE;
  BOOL* lossy_flag = to == CP_UTF8 ? nullptr : &lossy;
  const int n = WideCharToMultiByte(to, 0, wide.data(), wide_n, nullptr, 0, nullptr, lossy_flag);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(to, 0, wide.data(), wide_n, out.data(), n, nullptr, lossy_flag);
  if (exact != nullptr) *exact = !lossy;
  return out;
}

}  // namespace

bool ToShiftJis(const std::string& utf8, std::string& sjis) {
  bool exact = true;
  sjis = Convert(CP_UTF8, kShiftJis, utf8.data(), utf8.size(), &exact);
  return exact;
}

void AppendUtf8(const char* sjis, std::size_t n, std::string& out) {
  if (n > 0) out += Convert(kShiftJis, CP_UTF8, sjis, n, nullptr);
}

}  // namespace kensaku::cli
