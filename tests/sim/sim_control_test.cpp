// zavsim's control channel and run directory, in this process: who may talk to the channel,
// that no client can hold the simulator up, and where "dump FILE" may write.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/control_channel.h"
#include "sim/run_dir.h"
#include "sim/scenario.h"
#include "sim/sim_network.h"

namespace zav::sim {
namespace {

namespace fs = std::filesystem;

// A fresh private directory, removed with everything in it at the end.
struct TempDir {
  TempDir() {
    char t[] = "/tmp/zav-sim-control.XXXXXX";
    EXPECT_NE(::mkdtemp(t), nullptr);
    path = t;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string path;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

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

void Send(int fd, const std::string& s) {
  ASSERT_EQ(::send(fd, s.data(), s.size(), MSG_NOSIGNAL), static_cast<ssize_t>(s.size()));
}

// What has arrived on fd so far, without waiting.
std::string Available(int fd) {
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT)) > 0;)
    out.append(buf, static_cast<std::size_t>(n));
  return out;
}

// The simulator's loop around the channel: poll, then serve, at the given time.
void Round(ControlChannel& ch, std::uint64_t nowMs,
           const std::function<std::string(const std::string&)>& run, int waitMs = 20) {
  std::vector<pollfd> fds;
  ch.AddPollFds(fds);
  ASSERT_GE(::poll(fds.data(), fds.size(), waitMs), 0);
  ch.Serve(fds, nowMs, run);
}

class ControlChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sock = dir.path + "/control.sock";
    ASSERT_TRUE(ch.Listen(sock)) << std::strerror(errno);
  }
  // "big" answers 4 MiB, more than any socket buffer holds; anything else "ok".
  std::string Run(const std::string& line) {
    ++runs;
    return line == "big" ? std::string(4 << 20, 'x') + "END\n" : "ok\n";
  }
  std::function<std::string(const std::string&)> run = [this](const std::string& l) {
    return Run(l);
  };

  TempDir dir;
  std::string sock;
  ControlChannel ch;
  int runs = 0;
};

TEST_F(ControlChannelTest, SocketIsClosedToEveryoneElse) {
  struct stat st {};
  ASSERT_EQ(::lstat(sock.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(ControlChannelTest, SlowAndSilentClientsDoNotHoldOthersAndAreDroppedInTime) {
  const int slow = Connect(sock);    // asks for a big answer and never reads it
  const int silent = Connect(sock);  // connects and says nothing
  ASSERT_GE(slow, 0);
  ASSERT_GE(silent, 0);
  int small = 4096;
  ::setsockopt(slow, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  Round(ch, 0, run);
  Send(slow, "big\nbig\nbig\n");
  for (int i = 0; i < 5; ++i) Round(ch, 100, run);

  // Another client is served at once while both others hang on.
  const int quick = Connect(sock);
  ASSERT_GE(quick, 0);
  Send(quick, "ping\n");
  std::string answer;
  for (int i = 0; i < 50 && answer != "ok\n"; ++i) {
    Round(ch, 200, run);
    answer += Available(quick);
  }
  EXPECT_EQ(answer, "ok\n");
  // The lines behind the unread answer wait: one big answer is held, not three.
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(ch.clients(), 3u);

  // An answer nobody takes is dropped after the stall limit, a silent client after the idle one.
  Round(ch, 100 + ControlChannel::kStallMs + 1, run, 0);
  EXPECT_EQ(ch.clients(), 2u);
  Round(ch, 200 + ControlChannel::kIdleMs + 1, run, 0);
  EXPECT_EQ(ch.clients(), 0u);
  for (int fd : {slow, silent, quick}) ::close(fd);
}

TEST_F(ControlChannelTest, LinesBehindAnAnswerRunOnceItIsTaken) {
  const int c = Connect(sock);
  ASSERT_GE(c, 0);
  Round(ch, 0, run);
  Send(c, "big\nping\n");
  std::string got;
  for (int i = 0; i < 2000 && !got.ends_with("END\nok\n"); ++i) {
    Round(ch, 10, run, 1);
    got += Available(c);
  }
  EXPECT_EQ(got.size(), (4u << 20) + 7) << "the big answer and the one after it, whole";
  EXPECT_TRUE(got.ends_with("END\nok\n"));
  ::close(c);
}

TEST_F(ControlChannelTest, EndlessLineAndClosedClientAreDropped) {
  const int c = Connect(sock);
  const int gone = Connect(sock);
  ASSERT_GE(c, 0);
  ASSERT_GE(gone, 0);
  Round(ch, 0, run);
  EXPECT_EQ(ch.clients(), 2u);
  ::close(gone);
  const std::string chunk(8192, 'a');
  for (std::size_t sent = 0; sent <= ControlChannel::kMaxLine + chunk.size();
       sent += chunk.size()) {
    if (::send(c, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) break;
    Round(ch, 10, run, 1);
  }
  for (int i = 0; i < 20 && ch.clients() > 0; ++i) Round(ch, 10, run, 1);
  EXPECT_EQ(ch.clients(), 0u);
  EXPECT_EQ(runs, 0);
  ::close(c);
}

// In a child: becomes the unprivileged user nobody, or ends.
void BecomeNobody() {
  if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(99);
}

// Runs fn as nobody in a child; its exit status.
int AsNobody(const std::function<int()>& fn) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    BecomeNobody();
    _exit(fn());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

TEST_F(ControlChannelTest, AnotherUserCannotConnectNorTalkThroughALoosenedSocket) {
  if (::geteuid() != 0) GTEST_SKIP() << "switching to another user needs root";
  EXPECT_EQ(AsNobody([&] { return Connect(sock) < 0 && errno == EACCES ? 0 : 1; }), 0)
      << "nobody reached the socket";

  // With the directory and the socket opened to all, the peer check still refuses.
  ASSERT_EQ(::chmod(dir.path.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(sock.c_str(), 0666), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    BecomeNobody();
    const int fd = Connect(sock);
    if (fd < 0) _exit(2);
    ::send(fd, "dump\n", 5, MSG_NOSIGNAL);
    char b[16];
    _exit(::recv(fd, b, sizeof b, 0) > 0 ? 1 : 0);  // closed without an answer
  }
  int status = -1;
  for (int i = 0; i < 200 && ::waitpid(pid, &status, WNOHANG) != pid; ++i) Round(ch, 0, run, 10);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: nobody got an answer, 2: could not connect";
  EXPECT_EQ(ch.refused(), 1u);
  EXPECT_EQ(runs, 0);
}

// ---- the run directory --------------------------------------------------------------------

TEST(RunDir, DumpWritesOnlyPlainNamesInsideTheRunDirectory) {
  TempDir outside;
  TempDir runDir;
  SimNetwork net;
  LoadDefaultScenario(net);
  // Without a run directory there is nowhere to write.
  EXPECT_EQ(net.Control("dump " + outside.path + "/a", 0).rfind("error:", 0), 0u);
  EXPECT_FALSE(fs::exists(outside.path + "/a"));

  std::string why;
  net.runDirFd = OpenRunDir(runDir.path, why);
  ASSERT_GE(net.runDirFd, 0) << why;
  const std::string absolute = outside.path + "/abs.txt";
  const std::string up = "../" + fs::path(outside.path).filename().string() + "/up.txt";
  for (const std::string& bad : {absolute, up, std::string(".."), std::string("."),
                                 std::string("sub/x"), std::string(300, 'n')}) {
    EXPECT_EQ(net.Control("dump " + bad, 0).rfind("error:", 0), 0u) << bad;
  }
  EXPECT_FALSE(fs::exists(absolute));
  EXPECT_FALSE(fs::exists(outside.path + "/up.txt"));

  // A link placed in the directory is not followed out of it.
  const fs::path target = outside.path + "/kept.txt";
  std::ofstream(target) << "kept";
  fs::create_symlink(target, runDir.path + "/link.txt");
  EXPECT_EQ(net.Control("dump link.txt", 0).rfind("error:", 0), 0u);
  EXPECT_EQ(Slurp(target), "kept");

  EXPECT_EQ(net.Control("dump state.txt", 0), "ok\n");
  const std::string written = Slurp(runDir.path + "/state.txt");
  EXPECT_EQ(written, net.Dump(0));
  struct stat st {};
  ASSERT_EQ(::stat((runDir.path + "/state.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ::close(net.runDirFd);
}

TEST(RunDir, OnlyAPrivateDirectoryOfThisUserIsTaken) {
  TempDir base;
  std::string why;
  const std::string fresh = base.path + "/run";
  const int fd = OpenRunDir(fresh, why);
  ASSERT_GE(fd, 0) << why;
  ::close(fd);
  struct stat st {};
  ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  const std::string open = base.path + "/open";
  ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(open.c_str(), 0755), 0);
  EXPECT_EQ(OpenRunDir(open, why), -1);
  EXPECT_NE(why.find("0700"), std::string::npos) << why;

  // A link to a private directory, as someone could leave in /tmp, is refused.
  const std::string link = base.path + "/link";
  fs::create_directory_symlink(fresh, link);
  EXPECT_EQ(OpenRunDir(link, why), -1);

  if (::geteuid() == 0) {
    const std::string foreign = base.path + "/foreign";
    ASSERT_EQ(::mkdir(foreign.c_str(), 0700), 0);
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    EXPECT_EQ(OpenRunDir(foreign, why), -1) << "a directory of another user";
  }
}

}  // namespace
}  // namespace zav::sim
