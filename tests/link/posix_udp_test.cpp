// The real socket, on loopback only and never on the controllers' port.
#include "link/posix_udp.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

namespace zav {
namespace {

// A port the system just handed out, released again for the endpoint under test to take.
std::uint16_t FreePort() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return 0;
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

TEST(PosixUdpEndpoint, SendsAndReceivesOnLoopback) {
  const std::uint16_t pa = FreePort(), pb = FreePort();
  ASSERT_NE(0, pa);
  ASSERT_NE(45389, pa);
  PosixUdpEndpoint a(pa), b(pb);
  const std::uint8_t msg[] = {'M', 'M', 'D', 'O', 1, 2, 3};
  a.Send("127.0.0.1", pb, msg, sizeof msg);
  std::uint8_t buf[8192];
  std::string from;
  std::uint16_t port = 0;
  ASSERT_EQ(7, b.Receive(buf, sizeof buf, 1000, from, port));
  EXPECT_EQ(0, std::memcmp(buf, msg, sizeof msg));
  EXPECT_EQ("127.0.0.1", from);
  EXPECT_EQ(pa, port);

  // Longer than the buffer: cut to it, and the next datagram is intact.
  std::vector<std::uint8_t> big(9000, 0xAB);
  a.Send("127.0.0.1", pb, big.data(), big.size());
  a.Send("127.0.0.1", pb, msg, 3);
  std::uint8_t small[16] = {};
  EXPECT_EQ(16, b.Receive(small, sizeof small, 1000, from, port));
  EXPECT_EQ(0xAB, small[15]);
  EXPECT_EQ(3, b.Receive(buf, sizeof buf, 1000, from, port));
}

TEST(PosixUdpEndpoint, WaitIsHonouredRoughly) {
  PosixUdpEndpoint a(FreePort());
  std::uint8_t buf[64];
  std::string from;
  std::uint16_t port = 0;
  EXPECT_EQ(-1, a.Receive(buf, sizeof buf, 0, from, port));
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(-1, a.Receive(buf, sizeof buf, 120, from, port));
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
          .count();
  EXPECT_GE(ms, 110);
  EXPECT_LT(ms, 5000);
}

TEST(PosixUdpEndpoint, SecondCopyOnTheSamePortIsRefused) {
  const std::uint16_t p = FreePort();
  PosixUdpEndpoint first(p);
  try {
    PosixUdpEndpoint second(p);
    FAIL() << "second bind succeeded";
  } catch (const std::system_error& e) {
    EXPECT_EQ(EADDRINUSE, e.code().value());
    EXPECT_NE(std::string::npos, std::string(e.what()).find("Address already in use")) << e.what();
  }
}

TEST(PosixUdpEndpoint, BadAddressIsAnErrorNotACrash) {
  PosixUdpEndpoint a(FreePort());
  const std::uint8_t msg[] = {1};
  EXPECT_THROW(a.Send("not-an-address", 40000, msg, 1), std::system_error);
}

TEST(SystemClock, MillisecondsAdvanceAndSecondsAreUtc) {
  SystemClock c;
  const auto a = c.NowMs();
  EXPECT_GE(c.NowMs(), a);
  const auto now =
      static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count());
  EXPECT_LE(
      std::abs(static_cast<long long>(c.UtcSeconds()) - static_cast<long long>(now & 0xFFFFFFFF)),
      2);
}

}  // namespace
}  // namespace zav
