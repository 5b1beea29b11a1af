// The entry layer: one short function per export. Each converts its arguments (16-bit slots are
// sign-extended), forwards to one function of the library and lets no exception through.
#include <cstdint>

#include "kensaku.h"
#include "capi/entry.h"
#include "frame/settings.h"
#include "match/line_tests.h"
#include "mbchar/fold.h"
#include "mbchar/mbchar.h"
#include "search/drivers.h"
#include "util/file_output.h"
#include "util/launch.h"
#include "util/messages.h"

using kensaku::FoldFlagsInForce;
using kensaku::capi::Guard;
using kensaku::capi::Slot16;

namespace {

// The settings as a search of the moment takes them.
kensaku::ExportSettings SettingsNow() {
  return {FoldFlagsInForce(), kensaku::GetOutputMode(), kensaku::GetLineMode()};
}

}  // namespace

extern "C" {

int KENSAKU_API xSet(int flags) { return kensaku::SetFoldFlags(Slot16(flags)); }
int KENSAKU_API xSetor(int flags) { return kensaku::OrFoldFlags(Slot16(flags)); }
int KENSAKU_API xReSet(int flags) { return kensaku::ResetFoldFlags(Slot16(flags)); }
int KENSAKU_API OutputMode(int mode) { return kensaku::SetOutputMode(Slot16(mode)); }
int KENSAKU_API LineMode(int mode) { return kensaku::SetLineMode(Slot16(mode)); }

int KENSAKU_API sjis(const char* text) { return kensaku::DecodeText(text).code; }
int KENSAKU_API jis(const char* text) { return kensaku::ToJis(kensaku::DecodeText(text).code); }
int KENSAKU_API isbytes(const char* text) { return kensaku::DecodeText(text).ByteCount(); }
int KENSAKU_API xsjis(const char* text) {
  return kensaku::FoldTable::For(FoldFlagsInForce()).Fold(kensaku::DecodeText(text)).code;
}
int KENSAKU_API xisbytes(const char* text) {
  return kensaku::FoldTable::For(FoldFlagsInForce()).Fold(kensaku::DecodeText(text)).ByteCount();
}

int KENSAKU_API LinexHeadMatch(const char* line, const char* pattern) {
  return Guard([&] { return kensaku::LineHeadMatch(line, pattern, FoldFlagsInForce()); }, 0);
}

int KENSAKU_API LinexMatch(const char* line, const char* pattern) {
  return Guard([&] { return kensaku::LineMatch(line, pattern, FoldFlagsInForce()); }, 0);
}

int KENSAKU_API LinexMatchs(const char* line, const char* pattern) {
  return Guard([&] { return kensaku::LineMatchs(line, pattern, FoldFlagsInForce()); }, 0);
}

int KENSAKU_API LinexHeadinc(const char* line, const char* pattern) {
  return Guard([&] { return kensaku::LineHeadInc(line, pattern, FoldFlagsInForce()); }, 0);
}

int KENSAKU_API LinexInc(const char* line, const char* pattern) {
  return Guard([&] { return kensaku::LineInc(line, pattern, FoldFlagsInForce()); }, 0);
}

int KENSAKU_API LinexMatchMult(const char* line, const char* list) {
  return Guard([&] { return kensaku::LineMatchesList(line, list, FoldFlagsInForce()); }, 0);
}

int KENSAKU_API LinexMatchsMult(const char* line, const char* list) {
  return Guard([&] { return kensaku::LineMatchesConjunctiveList(line, list, FoldFlagsInForce()); }, 0);
}

int KENSAKU_API LinexIncMult(const char* line, const char* list) {
  return Guard([&] { return kensaku::LineInclusionOfList(line, list, FoldFlagsInForce()); }, 0);
}

int KENSAKU_API FileLinexIncMult(const char* input, const char* output, const char* list) {
  return Guard(
      [&] {
        return kensaku::SearchFileToFile(kensaku::SearchKind::kInc, input, output, list,
                                         SettingsNow());
      },
      0);
}

int KENSAKU_API FileLinexMatchMult(const char* input, const char* output, const char* list) {
  return Guard(
      [&] {
        return kensaku::SearchFileToFile(kensaku::SearchKind::kMatch, input, output, list,
                                         SettingsNow());
      },
      0);
}

int KENSAKU_API FileLinexMatchsMult(const char* input, const char* output, const char* list) {
  return Guard(
      [&] {
        return kensaku::SearchFileToFile(kensaku::SearchKind::kMatchs, input, output, list,
                                         SettingsNow(), kensaku::PollHostMessages);
      },
      0);
}

const char* KENSAKU_API xIncMult(const char* input, const char* list) {
  return Guard(
      [&] { return kensaku::SearchFileInc(input, list, SettingsNow(), kensaku::ResultBuffer()); },
      static_cast<const char*>(nullptr));
}

const char* KENSAKU_API xMatchsMult(const char* input, const char* list) {
  return Guard(
      [&] {
        return kensaku::SearchFileMatchs(input, list, SettingsNow(), kensaku::ResultBuffer());
      },
      static_cast<const char*>(nullptr));
}

int KENSAKU_API FileNoSize(const char* name) {
  return Guard([&] { return kensaku::EmptyFile(name); }, 0);
}

int KENSAKU_API FileRemove(const char* name) {
  return Guard([&] { return kensaku::RemoveFile(name); }, -1);
}

int KENSAKU_API FoutputStr(const char* name, const char* text) {
  return Guard([&] { return kensaku::AppendText(name, text); }, 0);
}

int KENSAKU_API FoutputFormatStr(const char* name, const char* format, int value) {
  return Guard([&] { return kensaku::AppendFormatted(name, format, value); }, 0);
}

int KENSAKU_API OpenShell(const char* program, const char* arguments) {
  return Guard([&] { return kensaku::OpenShellCommand(program, arguments); },
               kensaku::kLaunchFileNotFound);
}

int KENSAKU_API Msg(const char* text) {
  return Guard([&] { return kensaku::ShowText(text); }, 0);
}

int KENSAKU_API Msgi(int value) {
  return Guard([&] { return kensaku::ShowInteger(value); }, 0);
}

}  // extern "C"
