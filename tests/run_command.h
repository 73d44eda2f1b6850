#pragma once
// Running a program from a test: its exit status and what it wrote to its
// standard output (callers add "2>&1" or "2>/dev/null" to the command as
// they need).

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace test_util {

struct CommandRun {
  int status = -1;  // the exit status; -1 when it did not exit normally or did not start
  std::string out;
};

inline CommandRun RunCommand(const std::string& cmd) {
  CommandRun r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[8192];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

}  // namespace test_util
