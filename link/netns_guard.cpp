#include "link/netns_guard.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zav {

namespace {

// The parent pid from /proc/PID/stat; -1 when it cannot be read. The command name may hold
// blanks and parentheses, so the fields are counted after its last ')'.
long ParentPid(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto close = all.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream rest(all.substr(close + 1));
  std::string state;
  long ppid = -1;
  rest >> state >> ppid;
  return rest ? ppid : -1;
}

bool Readable(const std::string& file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0;
}

}  // namespace

std::string MachineNetnsFile(std::string* why) {
  if (Readable("/proc/1/ns/net")) return "/proc/1/ns/net";
  const int initErr = errno;
  // PID 2 stands for the machine only while it is the kernel's thread parent (no parent of its
  // own); in a private PID namespace it may be any process.
  if (ParentPid(2) == 0 && Readable("/proc/2/ns/net")) return "/proc/2/ns/net";
  if (why)
    *why = std::string("cannot read the network namespace of PID 1: ") + std::strerror(initErr);
  return "";
}

NetnsVerdict CompareNetns(const std::string& selfFile, const std::string& machineFile) {
  struct stat self {
  }, machine{};
  if (::stat(selfFile.c_str(), &self) != 0)
    return {false, "cannot read " + selfFile + ": " + std::strerror(errno)};
  if (machineFile.empty() || ::stat(machineFile.c_str(), &machine) != 0)
    return {false, "cannot tell the machine's own network namespace"};
  if (self.st_dev == machine.st_dev && self.st_ino == machine.st_ino)
    return {false, "this is the machine's own network namespace"};
  return {true, ""};
}

NetnsVerdict CheckThisNetns() {
  std::string why;
  const std::string machine = MachineNetnsFile(&why);
  // The calling thread's own namespace: a thread may have entered another one (setns).
  const std::string self =
      Readable("/proc/thread-self/ns/net") ? "/proc/thread-self/ns/net" : "/proc/self/ns/net";
  NetnsVerdict v = CompareNetns(self, machine);
  if (!v.isolated && machine.empty()) v.reason += " (" + why + ")";
  return v;
}

bool RequirePrivateNetns(const char* program) {
  const NetnsVerdict v = CheckThisNetns();
  if (v.isolated) return true;
  std::fprintf(stderr,
               "%s: refusing to send on the machine's own network (%s); run it inside a test "
               "namespace:\n  scripts/netns up NAME && scripts/netns exec NAME HOST %s ...\n",
               program, v.reason.c_str(), program);
  return false;
}

}  // namespace zav
