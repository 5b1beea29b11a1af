#include <windows.h>

#include <cstdio>
#include <vector>

#include "encoding.h"

namespace kensaku::cli {
namespace {

constexpr UINT kShiftJis = 932;

std::string Convert(UINT from, UINT to, const std::string& text, bool* exact) {
  const int wide_n = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::vector<wchar_t> wide(static_cast<std::size_t>(wide_n) + 1);
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide.data(), wide_n);
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
  sjis = Convert(CP_UTF8, kShiftJis, utf8, &exact);
  return exact;
}

struct Utf8Writer::Impl {
  std::string pending;
};

Utf8Writer::Utf8Writer() : impl_(new Impl) {}
Utf8Writer::~Utf8Writer() = default;

bool Utf8Writer::Write(const char* bytes, std::size_t n) {
  std::string input = impl_->pending;
  input.append(bytes, n);
  impl_->pending.clear();
  // Keep a lead byte at the very end for the next block.
  std::size_t whole = 0;
  for (std::size_t i = 0; i < input.size();) {
    const std::size_t step = IsDBCSLeadByteEx(kShiftJis, static_cast<BYTE>(input[i])) ? 2 : 1;
    if (i + step > input.size()) break;
    i += step;
    whole = i;
  }
  impl_->pending = input.substr(whole);
  const std::string out = Convert(kShiftJis, CP_UTF8, input.substr(0, whole), nullptr);
  return std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
}

bool Utf8Writer::Finish() {
  bool ok = true;
  if (!impl_->pending.empty()) {
    const std::string out = Convert(kShiftJis, CP_UTF8, impl_->pending, nullptr);
    ok = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    impl_->pending.clear();
  }
  return std::fflush(stdout) == 0 && ok;
}

}  // namespace kensaku::cli
