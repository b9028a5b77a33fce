// The floor the load and backup figures are measured against: the same requests replayed over a
// plain socket, one request and its reply at a time, nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace zav::bench {

class BareLoop {
 public:
  BareLoop();
  ~BareLoop();
  BareLoop(const BareLoop&) = delete;
  BareLoop& operator=(const BareLoop&) = delete;
  bool ok() const { return fd_ >= 0; }

  // One request and its reply; returns the reply's length, -1 after 300 ms of nothing.
  int RoundTrip(const std::string& to, const std::vector<std::uint8_t>& req, std::uint8_t* reply);
  std::vector<int> Replay(const std::vector<Exchange>& log);
  // Ends the loop's session, so the tool can open its own again.
  void CloseSession(DeviceId id, const std::string& to);

  // Wall time inside sendto, poll and recv.
  std::uint64_t socketNs = 0;

 private:
  int fd_ = -1;
  Replayer replayer_;
};

}  // namespace zav::bench
