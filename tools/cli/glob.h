// The names that --include, --exclude and --exclude-dir leave out of a search, and the patterns
// they are told by. The matcher is the tool's own, the same on every system, so that a pattern
// selects the same names wherever it runs.
#ifndef KENSAKU_TOOLS_CLI_GLOB_H_
#define KENSAKU_TOOLS_CLI_GLOB_H_

#include <string>
#include <string_view>
#include <vector>

namespace kensaku::cli {

// Whether name matches pattern under fnmatch's rules with no flags: '*' any run of characters and
// '?' any one, '/' and a leading '.' included; "[...]" one of a set, with ranges, "[:alpha:]"
// classes (ASCII), "[.c.]" and "[=c=]" ("[[.a.]-]" holds 'a' and '-', as POSIX has it, where
// glibc's fnmatch drops the 'a'), negated by a leading '!' or '^'; '\' quotes the next
// character, in a set too. A '[' that opens no set is itself; a set naming an unknown class makes
// the pattern match nothing. Characters are whole: UTF-8 sequences, or on Windows the double-byte
// characters of the ANSI code page, whose second byte may be '\' or '['.
bool GlobMatches(std::string_view pattern, std::string_view name);

class NameFilter {
 public:
  void Include(std::string glob) { files_.push_back({std::move(glob), true}); }
  void Exclude(std::string glob) { files_.push_back({std::move(glob), false}); }
  // Trailing slashes are dropped: "sub/" names the directory sub.
  void ExcludeDirectory(std::string glob);

  // A file or directory met in a walk, by its name in its directory.
  bool SkipsFile(std::string_view name) const;
  bool SkipsDirectory(std::string_view name) const;
  // One named on the command line, by the whole name as given or any part of it after a '/'.
  bool SkipsFileOperand(std::string_view path) const;
  bool SkipsDirectoryOperand(std::string_view path) const;

 private:
  struct FileRule {
    std::string glob;
    bool include;
  };
  template <typename Test>
  bool SkipsFileBy(Test&& matches) const;

  std::vector<FileRule> files_;  // in the order given
  std::vector<std::string> directories_;
};

}  // namespace kensaku::cli

#endif  // KENSAKU_TOOLS_CLI_GLOB_H_
