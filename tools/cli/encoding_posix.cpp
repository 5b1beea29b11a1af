#include <errno.h>
#include <iconv.h>

#include <cstdio>

#include "encoding.h"

namespace kensaku::cli {
namespace {

constexpr const char* kShiftJis = "CP932";

}  // namespace

bool ToShiftJis(const std::string& utf8, std::string& sjis) {
  iconv_t cd = iconv_open(kShiftJis, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  sjis.assign(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t in_left = utf8.size();
  char* out = sjis.data();
  std::size_t out_left = sjis.size();
  const bool ok = iconv(cd, &in, &in_left, &out, &out_left) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  sjis.resize(sjis.size() - out_left);
  return ok;
}

struct Utf8Writer::Impl {
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  std::string pending;  // the start of a character split by the block boundary
};

Utf8Writer::Utf8Writer() : impl_(new Impl) { impl_->cd = iconv_open("UTF-8", kShiftJis); }

Utf8Writer::~Utf8Writer() {
  if (impl_->cd != reinterpret_cast<iconv_t>(-1)) iconv_close(impl_->cd);
}

bool Utf8Writer::Write(const char* bytes, std::size_t n) {
  if (impl_->cd == reinterpret_cast<iconv_t>(-1)) {
    return std::fwrite(bytes, 1, n, stdout) == n;
  }
  std::string input = impl_->pending;
  input.append(bytes, n);
  impl_->pending.clear();
  char* in = input.data();
  std::size_t in_left = input.size();
  bool ok = true;
  while (in_left > 0) {
    char buffer[8192];
    char* out = buffer;
    std::size_t out_left = sizeof buffer;
    const std::size_t r = iconv(impl_->cd, &in, &in_left, &out, &out_left);
    const int error = r == static_cast<std::size_t>(-1) ? errno : 0;
    const std::size_t made = sizeof buffer - out_left;
    ok = std::fwrite(buffer, 1, made, stdout) == made && ok;
    if (error == EINVAL) {  // a character continues in the next block
      impl_->pending.assign(in, in_left);
      break;
    }
    if (error == EILSEQ) {
      std::fputs("\xEF\xBF\xBD", stdout);
      ++in;
      --in_left;
    }
  }
  return ok;
}

bool Utf8Writer::Finish() {
  bool ok = true;
  for (unsigned char c : impl_->pending) {
    (void)c;
    ok = std::fputs("\xEF\xBF\xBD", stdout) >= 0 && ok;
  }
  impl_->pending.clear();
  return std::fflush(stdout) == 0 && ok;
}

}  // namespace kensaku::cli
