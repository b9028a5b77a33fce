// The control channel of zavsim: a Unix stream socket in the run's private directory that takes
// one command per line and answers each. Only the simulator's own user may talk to it, and no
// client, however slow or silent, can hold up the network the simulator serves.
#pragma once

#include <poll.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zav::sim {

class ControlChannel {
 public:
  static constexpr std::size_t kMaxClients = 16;
  static constexpr std::size_t kMaxLine = 65536;
  // A client that neither sends nor takes anything this long is dropped.
  static constexpr std::uint64_t kIdleMs = 30000;
  // A client that takes nothing of an answer for this long is dropped with it.
  static constexpr std::uint64_t kStallMs = 5000;

  ControlChannel() = default;
  ControlChannel(const ControlChannel&) = delete;
  ControlChannel& operator=(const ControlChannel&) = delete;
  ~ControlChannel();

  // Listens at path with mode 0600; false with errno set.
  bool Listen(const std::string& path);
  // The descriptors to wait for: the listener, and each client either for its next line or,
  // while an answer is still going out, for room to send it.
  void AddPollFds(std::vector<pollfd>& fds) const;
  // Serves what poll reported in fds (others are ignored): accepts, runs complete lines through
  // run, sends answers as far as each client takes them, and drops clients past their limits.
  void Serve(const std::vector<pollfd>& fds, std::uint64_t nowMs,
             const std::function<std::string(const std::string&)>& run);
  // Drops clients that have been idle or stalled too long; Serve does it too.
  void Expire(std::uint64_t nowMs);

  std::size_t clients() const { return clients_.size(); }
  // Connections closed at once because another user made them.
  std::size_t refused() const { return refused_; }

 private:
  struct Client {
    int fd;
    std::string in, out;
    std::uint64_t lastMs;  // last byte read or sent
  };
  void Accept(std::uint64_t nowMs);
  // False when the client is to be dropped.
  bool Read(Client& c, std::uint64_t nowMs,
            const std::function<std::string(const std::string&)>& run);
  bool RunLines(Client& c, std::uint64_t nowMs,
                const std::function<std::string(const std::string&)>& run);
  bool Flush(Client& c, std::uint64_t nowMs);

  int listen_ = -1;
  std::string path_;
  std::vector<Client> clients_;
  std::size_t refused_ = 0;
};

}  // namespace zav::sim
