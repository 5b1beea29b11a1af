#include "util/format.h"

#include <gtest/gtest.h>

#include <string>

namespace kensaku {
namespace {

std::string Format(const char* format, std::int32_t value) {
  char out[kFormatBufferSize];
  FormatIntegers(out, sizeof out, format, &value, 1);
  return out;
}

TEST(Format, Conversions) {
  struct Row {
    const char* format;
    std::int32_t value;
    const char* expected;
  };
  const Row rows[] = {
      {"%d", -5, "-5"},
      {"%i", 42, "42"},
      {"%u", -1, "4294967295"},
      {"%x", 255, "ff"},
      {"%X", -1, "FFFFFFFF"},
      {"%c", 'A', "A"},
      {"%c", 0x1241, "A"},  // the low byte
      {"%ld", -7, "-7"},
      {"%lx", 171, "ab"},
      {"%5d", 42, "   42"},
      {"%-5d|", 42, "42   |"},
      {"%05d", -42, "-0042"},
      {"%-05d|", 42, "42   |"},  // '-' switches zero-fill off
      {"%.3d", 7, "007"},
      {"%.3d", -5, "-05"},  // the precision counts the sign
      {"%08.3x", 255, "000000ff"},
      {"%3c|", 'x', "  x|"},
      {"%-3c|", 'x', "x  |"},
      {"%03c", 'x', "  x"},
      {"%d", INT32_MIN, "-2147483648"},
      {"100%%", 1, "100%"},
      {"a%%d%d", 3, "a%d3"},
  };
  for (const Row& r : rows) EXPECT_EQ(Format(r.format, r.value), r.expected) << r.format;
}

TEST(Format, OnlyOneIntegerAndNothingDereferenced) {
  EXPECT_EQ(Format("%d and %d", 1), "1 and %d");
  EXPECT_EQ(Format("%s", 0x1234), "%s");
  EXPECT_EQ(Format("%p %d", 9), "%p 9");
  EXPECT_EQ(Format("%#x %x", 10), "%#x a");
  EXPECT_EQ(Format("%hd", 10), "%hd");
  EXPECT_EQ(Format("%", 1), "%");
  EXPECT_EQ(Format("%5", 1), "%5");
  EXPECT_EQ(Format("", 1), "");
  EXPECT_EQ(Format(nullptr, 1), "");
  const std::int32_t two[2] = {255, 255};
  char out[64];
  FormatIntegers(out, sizeof out, "integer =%d  =%x ", two, 2);
  EXPECT_STREQ(out, "integer =255  =ff ");
}

TEST(Format, NeverMoreThanTheBuffer) {
  EXPECT_EQ(Format("%2000d", 5), std::string(1022, ' ') + "5");
  EXPECT_EQ(Format(std::string(1500, 'a').c_str(), 0), std::string(1023, 'a'));
  EXPECT_EQ(Format((std::string(1020, 'a') + "%d").c_str(), -123456), std::string(1020, 'a') + "-12");
  EXPECT_EQ(Format((std::string(1020, 'a') + "%.50d").c_str(), 1), std::string(1020, 'a') + "001");
  char tiny[4];
  const std::int32_t v = 123456;
  EXPECT_EQ(FormatIntegers(tiny, sizeof tiny, "%d", &v, 1), 3u);
  EXPECT_STREQ(tiny, "123");
}

}  // namespace
}  // namespace kensaku
