// The zavsim program itself, started by this test in a network namespace of its own (nothing
// but a loopback that is down, so nothing it could send goes anywhere): its run directory and
// control channel as another local user or a careless controller would meet them.
// Environment: ZAVSIM (path of the simulator). Needs root; skipped otherwise.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>

#include "tests/support/sim_process.h"

namespace zav {
namespace {

namespace fs = std::filesystem;
using testnet::Env;
using testnet::SimProcess;

int Connect(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

class ZavsimProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0 || Env("ZAVSIM").empty())
      GTEST_SKIP() << "needs root (a namespace of its own) and ZAVSIM";
    ASSERT_TRUE(sim.Start("", Env("ZAVSIM"), {"--seed", "5"})) << "zavsim did not come up";
  }
  void TearDown() override {
    if (sim.running()) {
      EXPECT_TRUE(sim.Stop()) << "zavsim did not quit cleanly";
    }
  }
  SimProcess sim;
};

TEST_F(ZavsimProcess, RunFilesArePrivateAndAnotherUserCannotConnect) {
  struct stat st {};
  ASSERT_EQ(::stat(sim.runDir().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(sim.socketPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat((sim.runDir() + "/datagrams.log").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(99);
    _exit(Connect(sim.socketPath()) < 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: nobody connected, 99: could not become nobody";
  EXPECT_EQ(sim.Ask("ping"), "ok\n") << "its own user is still served";
}

TEST_F(ZavsimProcess, DumpGoesOnlyIntoTheRunDirectory) {
  char outside[] = "/tmp/zav-dump-outside.XXXXXX";
  ASSERT_NE(::mkdtemp(outside), nullptr);
  const std::string abs = std::string(outside) + "/abs.txt";
  const std::string up = "../" + fs::path(outside).filename().string() + "/up.txt";
  EXPECT_EQ(sim.Ask("dump " + abs).rfind("error:", 0), 0u);
  EXPECT_EQ(sim.Ask("dump " + up).rfind("error:", 0), 0u);
  const std::string beside = "zav-dump-beside-" + std::to_string(::getpid());
  EXPECT_EQ(sim.Ask("dump ../" + beside).rfind("error:", 0), 0u);
  EXPECT_FALSE(fs::exists(abs));
  EXPECT_FALSE(fs::exists(std::string(outside) + "/up.txt"));
  EXPECT_FALSE(fs::exists(fs::path(sim.runDir()).parent_path() / beside));
  fs::remove_all(outside);

  EXPECT_EQ(sim.Ask("dump state.txt"), "ok\n");
  const fs::path state = sim.runDir() + "/state.txt";
  EXPECT_GT(fs::file_size(state), 100u);
  fs::remove(state);
}

TEST_F(ZavsimProcess, SilentAndNonReadingClientsDoNotStallIt) {
  const int silent = Connect(sim.socketPath());
  const int greedy = Connect(sim.socketPath());
  ASSERT_GE(silent, 0);
  ASSERT_GE(greedy, 0);
  int small = 4096;
  ::setsockopt(greedy, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  // Dumps it never reads: more than the socket buffers hold.
  std::string lines;
  for (int i = 0; i < 200; ++i) lines += "dump\n";
  ASSERT_EQ(::send(greedy, lines.data(), lines.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(lines.size()));
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(sim.Ask("ping"), "ok\n");
  EXPECT_EQ(sim.Ask("list").substr(0, 1), "K");
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(4))
      << "answers waited for the other clients";
  ::close(silent);
  ::close(greedy);
}

}  // namespace
}  // namespace zav
