// The guard that keeps programs which put datagrams on a network (zavsim, the network
// benchmarks, the namespace tests) off the machine's own network: they run only in a network
// namespace other than the machine's.
#pragma once

#include <string>

namespace zav {

struct NetnsVerdict {
  bool isolated = false;  // true only when the namespace is known to differ from the machine's
  std::string reason;     // why not, for the user
};

// The namespace file of the machine's own network: that of PID 1, or where PID 1 cannot be
// inspected (a sandbox that hides its init) that of kthreadd, the kernel's thread parent, which
// always lives there. Empty, with why set, when neither can be read.
std::string MachineNetnsFile(std::string* why = nullptr);

// Compares two namespace files (as under /proc/PID/ns/net) by device and inode. A file that
// cannot be read gives a refusal: an unknown namespace may be the machine's.
NetnsVerdict CompareNetns(const std::string& selfFile, const std::string& machineFile);

// The calling thread's network namespace against the machine's. A name under /run/netns does
// not count: an entry there may be an alias of the machine's own namespace.
NetnsVerdict CheckThisNetns();

// CheckThisNetns(); when not isolated prints "PROGRAM: refusing to send on the machine's own
// network (REASON)" and how to run it in a namespace to stderr, and returns false.
bool RequirePrivateNetns(const char* program);

}  // namespace zav
