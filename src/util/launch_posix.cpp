#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <thread>
#include <vector>

#include "util/launch.h"

extern char** environ;

namespace kensaku {
namespace {

// Splits a command line as Windows programs do: blanks separate, double quotes group.
std::vector<std::string> SplitCommandLine(const char* line) {
  std::vector<std::string> args;
  std::string current;
  bool in_arg = false;
  bool quoted = false;
  for (const char* p = line; *p != '\0'; ++p) {
    if (*p == '"') {
      quoted = !quoted;
      in_arg = true;
    } else if (!quoted && (*p == ' ' || *p == '\t')) {
      if (in_arg) args.push_back(current);
      current.clear();
      in_arg = false;
    } else {
      current += *p;
      in_arg = true;
    }
  }
  if (in_arg) args.push_back(current);
  return args;
}

}  // namespace

int StartCommandLine(const char* command_line) {
  std::vector<std::string> args = SplitCommandLine(command_line);
  if (args.empty() || args[0].empty()) return kLaunchFileNotFound;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  // No shell: the arguments reach the program as they are.
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    return kLaunchFileNotFound;
  }
  // The program runs on its own; a waiting thread collects its exit so no zombie is left.
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  return kLaunchStarted;
}

}  // namespace kensaku
