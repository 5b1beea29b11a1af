// The export table, the calling convention and the character services of kensaku.dll.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "dll_host.h"

namespace kensaku_test {
namespace {

// Every export name the library can ever have; those in the .def must resolve, the rest not.
const char* const kAllExports[43] = {
    "xSet",          "xSetor",           "xReSet",         "sjis",           "jis",
    "isbytes",       "xsjis",            "xisbytes",       "OutputMode",     "LineMode",
    "LinexHeadinc",  "LinexInc",         "LinexIncMult",   "FileLinexIncMult", "LinexHeadMatch",
    "LinexMatch",    "LinexMatchMult",   "FileLinexMatchMult", "LinexMatchs", "LinexMatchsMult",
    "FileLinexMatchsMult", "xIncMult",   "xMatchsMult",    "FileNoSize",     "FileRemove",
    "FoutputStr",    "FoutputFormatStr", "QFileView",      "OpenShell",      "Msg",
    "Msgi",          "QView",            "QViewNextIsOpen", "QSelectionWinClose", "QSelectionProc",
    "QViewWinsProc", "QInputMain",       "QInputSub",      "QFindData",      "QFileName",
    "QFindStart",    "QInputBoxIcon",    "QInputBoxClose"};

TEST(ExportTable, EveryDefEntryResolvesByNameAndOrdinal) {
  const auto& entries = DefEntries();
  ASSERT_FALSE(entries.empty());
  std::set<std::string> defined;
  for (const DefEntry& e : entries) {
    ASSERT_GE(e.ordinal, 1);
    ASSERT_LE(e.ordinal, 43);
    EXPECT_STREQ(kAllExports[e.ordinal - 1], e.name.c_str()) << "ordinal " << e.ordinal;
    FARPROC by_name = GetProcAddress(Dll(), e.name.c_str());
    EXPECT_NE(by_name, nullptr) << e.name;
    EXPECT_EQ(by_name, ProcByOrdinal(e.ordinal)) << e.name;
    defined.insert(e.name);
  }
  for (const char* name : kAllExports) {
    if (defined.count(name) == 0) {
      EXPECT_EQ(GetProcAddress(Dll(), name), nullptr) << name;
    }
  }
  // Decorated names are not exported.
  EXPECT_EQ(GetProcAddress(Dll(), "xSet@4"), nullptr);
  EXPECT_EQ(GetProcAddress(Dll(), "_xSet@4"), nullptr);
}

// stdcall on x86; on x64 the caller removes them, and either way the stack pointer is where it
// was once the call returns.
TEST(ExportTable, CalleeRemovesItsArguments) {
  // Exports that accept zeros (null pointers, zero flags) and have no effect beyond settings.
  const std::set<std::string> safe = {"xSet", "xSetor", "xReSet", "sjis", "jis", "isbytes",
                                      "xsjis", "xisbytes", "OutputMode", "LineMode",
                                      "LinexHeadinc", "LinexInc", "LinexIncMult", "LinexHeadMatch",
                                      "LinexMatch", "LinexMatchMult", "LinexMatchs",
                                      "LinexMatchsMult", "FileRemove", "QViewNextIsOpen",
                                      "QSelectionWinClose", "QInputBoxIcon", "QInputBoxClose"};
  int checked = 0;
  for (const DefEntry& e : DefEntries()) {
    if (safe.count(e.name) == 0) continue;
    EXPECT_EQ(StackDeltaOfCall(ProcByName(e.name.c_str()), e.argument_bytes / 4), 0) << e.name;
    ++checked;
  }
  EXPECT_GE(checked, 10);
  K(xSet)(0);
  K(OutputMode)(0);
  K(LineMode)(0);
}

TEST(Settings, SixteenBitSlotsAreSignExtended) {
  EXPECT_EQ(K(xSet)(0xFFFF), -1);
  EXPECT_EQ(K(xReSet)(0), -1);
  EXPECT_EQ(K(xSet)(0x1FFFF), -1);  // the high half of the slot is ignored
  EXPECT_EQ(K(xReSet)(0x7F), ~0x7F);
  EXPECT_EQ(K(xSet)(0), 0);
  EXPECT_EQ(K(xSetor)(0x10), 0x10);
  EXPECT_EQ(K(xSetor)(0x8001), static_cast<int>(0xFFFF8011));
  EXPECT_EQ(K(xSet)(0), 0);
  EXPECT_EQ(K(OutputMode)(0x8000), -32768);
  EXPECT_EQ(K(OutputMode)(0x12345), 0x2345);
  EXPECT_EQ(K(LineMode)(0xFFFE), -2);
  EXPECT_EQ(K(OutputMode)(0), 0);
  EXPECT_EQ(K(LineMode)(0), 0);
}

TEST(CharacterServices, ThroughTheDll) {
  K(xSet)(0);
  EXPECT_EQ(K(sjis)(""), 0);
  EXPECT_EQ(K(sjis)(nullptr), 0xFFFF);
  EXPECT_EQ(K(isbytes)(nullptr), 1);
  EXPECT_EQ(K(jis)(nullptr), 0);
  EXPECT_EQ(K(sjis)("\x82\xA0"), 0x82A0);
  EXPECT_EQ(K(isbytes)("\x82\xA0"), 2);
  EXPECT_EQ(K(jis)("\x82\xA0"), 0x2422);
  EXPECT_EQ(K(sjis)("\x81"), 0x81);
  EXPECT_EQ(K(sjis)("\x81\x20"), 0x81);
  EXPECT_EQ(K(jis)("\xF0\x40"), 0);
  EXPECT_EQ(K(xsjis)("A"), 'A');
  K(xSet)(0x10);
  EXPECT_EQ(K(xsjis)("A"), 0x8260);
  EXPECT_EQ(K(xisbytes)("A"), 2);
  K(xSet)(0x30);
  EXPECT_EQ(K(xsjis)("\x82\x60"), 'A');
  K(xSet)(0x20);
  EXPECT_EQ(K(xsjis)("\x82\xAA"), 0xB6);
  K(xSet)(0x40);
  EXPECT_EQ(K(xsjis)("\x81\x8F"), '\\');
  EXPECT_EQ(K(xsjis)(nullptr), 0xFFFF);
  EXPECT_EQ(K(xisbytes)(nullptr), 1);
  K(xSet)(0);
}

}  // namespace
}  // namespace kensaku_test
