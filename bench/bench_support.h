// Pieces the benchmarks share: an endpoint that carries datagrams to simulated controllers in
// memory, an endpoint wrapper that records every exchange, the full bus table of the refill
// figure and the scenarios the network runs load into zavsim.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/cmac.h"
#include "link/endpoint.h"
#include "sim/sim_network.h"

namespace zav::bench {

// A clock that moves only when told to (or when the in-memory network waits).
class ManualClock : public Clock {
 public:
  std::uint64_t NowMs() override { return nowMs; }
  std::uint32_t UtcSeconds() override {
    return 1'700'000'000u + static_cast<std::uint32_t>(nowMs / 1000);
  }
  std::uint64_t nowMs = 1'000'000;
};

// The tool's side of an in-memory network of simulated controllers. A datagram sent is handed
// to the network at once; its answers wait in the inbox until they are due. A receive that
// finds nothing due moves the clock on by the wait instead of sleeping.
class SimEndpoint : public UdpEndpoint {
 public:
  SimEndpoint(sim::SimNetwork& net, ManualClock& clock, std::uint32_t toolIp)
      : net_(net), clock_(clock), toolIp_(toolIp) {}

  void Send(const std::string& addr, std::uint16_t port, const std::uint8_t* data,
            std::size_t len) override;
  int Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
              std::uint16_t& fromPort) override;

  // CPU seconds spent inside Send and Receive, on the clock of the thread that called them
  // (the core's worker): the simulated controllers' work and the delivery, which a real
  // network does elsewhere. One thread at a time uses the endpoint; read it from another only
  // while the core is idle.
  double cpuInside = 0;
  int sends = 0;

 private:
  sim::SimNetwork& net_;
  ManualClock& clock_;
  std::uint32_t toolIp_;
  std::deque<sim::Outgoing> inbox_;
};

// One request and the reply that answered it, as a bare socket loop would repeat it.
struct Exchange {
  std::vector<std::uint8_t> request;
  std::string to;
  int replyLen = -1;  // -1: nothing came back before the next send
};

// Forwards to another endpoint and keeps every request with the length of the first datagram
// received after it. Broadcasts and the time stamps that answer discovery are kept too.
class RecordingEndpoint : public UdpEndpoint {
 public:
  explicit RecordingEndpoint(UdpEndpoint& inner) : inner_(inner) {}
  void Send(const std::string& addr, std::uint16_t port, const std::uint8_t* data,
            std::size_t len) override;
  int Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
              std::uint16_t& fromPort) override;
  void Broadcast(std::uint16_t port, const std::uint8_t* data, std::size_t len) override;

  std::vector<Exchange> log;
  // Monotonic nanoseconds of every datagram received and of every broadcast sent.
  std::vector<std::uint64_t> arrivals;
  std::vector<std::uint64_t> broadcasts;
  // When a receive with a wait found nothing: the end of a quiet window.
  std::vector<std::uint64_t> quietEnds;
  bool recording = true;
  // Wall time spent inside the wrapped endpoint's Send and Receive.
  std::uint64_t socketNs = 0;
  // While recording: when the first send began and when the last receive returned (0: none),
  // and the time between a receive returning and the next send beginning, summed.
  std::uint64_t firstSendNs = 0, lastReturnNs = 0, betweenNs = 0;

 private:
  UdpEndpoint& inner_;
};

// Repeats recorded exchanges as a bare loop would: plain requests as they were, signed ones with
// the sequence and signature of the replayer's own session, whose key comes from the "K" answer
// it receives. roundTrip sends one request and returns the reply's length (-1: none).
class Replayer {
 public:
  using RoundTrip = std::function<int(const std::string& to, const std::vector<std::uint8_t>& req,
                                      std::uint8_t* reply)>;
  // The reply lengths, or fewer when a reply did not come (the replay stops there).
  std::vector<int> Replay(const std::vector<Exchange>& log, const RoundTrip& roundTrip);
  // The signed "s" that ends the replayer's session.
  std::vector<std::uint8_t> CloseRequest(DeviceId id);

 private:
  void Sign(std::vector<std::uint8_t>& req);
  SigningContext ctx_;
  std::uint8_t key_[16] = {};
  std::uint16_t seq_ = 0;
};

std::uint64_t MonoNs();
double ThreadCpuSeconds();
// CPU time of the whole process (every thread), in seconds.
double ProcessCpuSeconds();
// Peak resident set of this process in MB.
double PeakRssMb();

// The "D" payload of a door controller with 16 passages and 116 bus devices, each with 31
// outputs, 31 inputs and 3 reader ports; the controller itself is entry 0.
std::vector<std::uint8_t> FullDoorTable();
inline constexpr DeviceId kFullDoorId = 0x30000000u | (316u << 16) | 4242u;

// zavsim scenarios. "load": the controller of FullDoorTable in mode Instalacja.
// "discovery": n door controllers with 2 passages in mode Serwis, with only themselves on the
// bus. Controller k (from 0) gets the
// k-th address of the namespace network.
std::string LoadScenarioJson();
std::string DiscoveryScenarioJson(int n);

// Summary line of a figure: "name: value unit (budget ...) PASS|FAIL".
std::string Summary(const std::string& name, double value, const std::string& unit,
                    const std::string& budget, bool pass);

// Median of values (copied).
double Median(std::vector<double> values);
// The q-quantile (0 < q <= 1) by the nearest rank: the smallest value that at least q of the
// values do not exceed. 0 for no values.
double Percentile(std::vector<double> values, double q);

// Sends one line to zavsim's control channel (a Unix socket) and returns its whole answer
// ("ok\n", "error: ...\n", or lines ending in "END\n"); empty when nothing answers there.
std::string AskControl(const std::string& path, const std::string& line);

}  // namespace zav::bench
