// RE2, where the build has it; elsewhere a stand-in type, so that pointers to RE2 may be held and
// destroyed: a build without RE2 never makes one, and its pointers are only ever null.
#ifndef KENSAKU_SRC_MATCH_RE2_OR_NONE_H_
#define KENSAKU_SRC_MATCH_RE2_OR_NONE_H_

#ifdef KENSAKU_WITH_REGEX
#include <re2/re2.h>
#else
namespace re2 {
class RE2 {};
}  // namespace re2
#endif

#endif  // KENSAKU_SRC_MATCH_RE2_OR_NONE_H_
