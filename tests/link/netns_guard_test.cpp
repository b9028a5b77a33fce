// The guard that keeps network programs off the machine's own network. The namespaces here are
// made and entered by threads of this test (root only); nothing is sent anywhere.
#include "link/netns_guard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>

namespace zav {
namespace {

// Runs fn on a thread of its own: whatever namespace it enters stays with that thread.
void OnThread(const std::function<void()>& fn) {
  std::thread(fn).join();
}

bool Enter(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::setns(fd, CLONE_NEWNET) == 0;
  ::close(fd);
  return ok;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

TEST(NetnsGuard, UnknownNamespacesAreRefused) {
  const NetnsVerdict noMachine = CompareNetns("/proc/self/ns/net", "/nonexistent/ns/net");
  EXPECT_FALSE(noMachine.isolated);
  EXPECT_NE(noMachine.reason.find("cannot tell"), std::string::npos) << noMachine.reason;
  EXPECT_FALSE(CompareNetns("/proc/self/ns/net", "").isolated);
  EXPECT_FALSE(CompareNetns("/nonexistent/ns/net", "/proc/self/ns/net").isolated);
  // A namespace is the machine's when its file is the machine's, whatever the names.
  const NetnsVerdict same = CompareNetns("/proc/self/ns/net", "/proc/thread-self/ns/net");
  EXPECT_FALSE(same.isolated);
  EXPECT_NE(same.reason.find("machine's own"), std::string::npos) << same.reason;
}

class NetnsGuardRoot : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "making and entering namespaces needs root";
    machine = MachineNetnsFile();
    ASSERT_FALSE(machine.empty()) << "the machine's network namespace cannot be read";
  }
  std::string machine;
};

TEST_F(NetnsGuardRoot, AFreshNamespaceIsAcceptedTheMachinesIsNot) {
  NetnsVerdict fresh, host;
  OnThread([&] {
    ASSERT_EQ(::unshare(CLONE_NEWNET), 0);
    fresh = CheckThisNetns();
  });
  OnThread([&] {
    ASSERT_TRUE(Enter(machine));
    host = CheckThisNetns();
  });
  EXPECT_TRUE(fresh.isolated) << fresh.reason;
  EXPECT_FALSE(host.isolated);
  EXPECT_NE(host.reason.find("machine's own"), std::string::npos) << host.reason;
}

// "ip netns attach NAME 1" lists the machine's own namespace under /run/netns like any test
// namespace; a guard that trusted that list would let a simulator answer on the real network.
TEST_F(NetnsGuardRoot, TheMachinesNamespaceUnderAnotherNameIsStillRefused) {
  const std::string runNetns = "/run/netns";
  const bool madeDir = ::mkdir(runNetns.c_str(), 0755) == 0;
  const std::string alias = runNetns + "/zavguard" + std::to_string(::getpid());
  const int fd = ::open(alias.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0444);
  ASSERT_GE(fd, 0) << alias;
  ::close(fd);
  const bool mounted = ::mount(machine.c_str(), alias.c_str(), nullptr, MS_BIND, nullptr) == 0;

  NetnsVerdict entered;
  if (mounted) {
    OnThread([&] {
      ASSERT_TRUE(Enter(alias));
      entered = CheckThisNetns();
    });
  }
  const bool listedAsTheMachine = mounted && SameFile(alias, machine);

  if (mounted) ::umount2(alias.c_str(), MNT_DETACH);
  ::unlink(alias.c_str());
  if (madeDir) ::rmdir(runNetns.c_str());

  ASSERT_TRUE(mounted) << "cannot bind the machine's namespace to " << alias;
  ASSERT_TRUE(listedAsTheMachine) << "the alias does not lead to the machine's namespace";
  EXPECT_FALSE(entered.isolated) << "entered through " << alias;
  EXPECT_NE(entered.reason.find("machine's own"), std::string::npos) << entered.reason;
}

}  // namespace
}  // namespace zav
