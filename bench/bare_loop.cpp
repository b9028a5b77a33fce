#include "bench/bare_loop.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "link/wire.h"

namespace zav::bench {

BareLoop::BareLoop() {
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

BareLoop::~BareLoop() {
  if (fd_ >= 0) close(fd_);
}

int BareLoop::RoundTrip(const std::string& to, const std::vector<std::uint8_t>& req,
                        std::uint8_t* reply) {
  sockaddr_in d{};
  d.sin_family = AF_INET;
  d.sin_port = htons(kPort);
  inet_pton(AF_INET, to.c_str(), &d.sin_addr);
  const std::uint64_t t0 = MonoNs();
  if (sendto(fd_, req.data(), req.size(), 0, reinterpret_cast<sockaddr*>(&d), sizeof d) < 0)
    return -1;
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, 300) <= 0) return -1;
  const int n = static_cast<int>(recv(fd_, reply, kRecvBuffer, 0));
  socketNs += MonoNs() - t0;
  return n;
}

std::vector<int> BareLoop::Replay(const std::vector<Exchange>& log) {
  return replayer_.Replay(log, [this](const std::string& to, const std::vector<std::uint8_t>& req,
                                      std::uint8_t* reply) { return RoundTrip(to, req, reply); });
}

void BareLoop::CloseSession(DeviceId id, const std::string& to) {
  std::uint8_t reply[kRecvBuffer];
  RoundTrip(to, replayer_.CloseRequest(id), reply);
}

}  // namespace zav::bench
