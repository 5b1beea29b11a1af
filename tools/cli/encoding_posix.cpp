#include <errno.h>
#include <iconv.h>

#include "encoding.h"

namespace kensaku::cli {
namespace {

constexpr const char* kShiftJis = "CP932";

// One converter per thread: an iconv descriptor keeps state and may not be shared.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    return cd_;
  }

 private:
  iconv_t cd_;
};

}  // namespace

bool ToShiftJis(const std::string& utf8, std::string& sjis) {
  thread_local Converter converter(kShiftJis, "UTF-8");
  if (!converter.ok()) return false;
  iconv_t cd = converter.get();
  sjis.assign(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t in_left = utf8.size();
  char* out = sjis.data();
  std::size_t out_left = sjis.size();
  const bool ok = iconv(cd, &in, &in_left, &out, &out_left) != static_cast<std::size_t>(-1);
  sjis.resize(sjis.size() - out_left);
  return ok;
}

void AppendUtf8(const char* sjis, std::size_t n, std::string& out) {
  thread_local Converter converter("UTF-8", kShiftJis);
  if (!converter.ok()) {
    out.append(sjis, n);
    return;
  }
  iconv_t cd = converter.get();
  char* in = const_cast<char*>(sjis);
  std::size_t in_left = n;
  while (in_left > 0) {
    char buffer[8192];
    char* o = buffer;
    std::size_t out_left = sizeof buffer;
    const std::size_t r = iconv(cd, &in, &in_left, &o, &out_left);
    const int error = r == static_cast<std::size_t>(-1) ? errno : 0;
    out.append(buffer, sizeof buffer - out_left);
    if (error == EILSEQ || error == EINVAL) {  // no character, or a lead byte at the end
      out += "\xEF\xBF\xBD";
      ++in;
      --in_left;
    }
  }
}

}  // namespace kensaku::cli
