// zavctl's end of the network: the one socket on UDP port 45389, the controllers found by the
// search, and the promise that every session opened is closed before the program ends, also
// after an error or an interrupt.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "link/posix_udp.h"
#include "link/udpdevset.h"

namespace zav::ctl {

// Thrown out of the next send or receive once SIGINT, SIGTERM or SIGHUP came in.
struct Interrupted {};

// Routes the three signals to a flag; the station's endpoint turns it into Interrupted.
void InstallInterruptHandlers();
bool InterruptRequested();

class Station {
 public:
  // Binds the port. A port in use (the window or another zavctl) throws std::runtime_error
  // saying so.
  Station();
  ~Station();  // CloseAll
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  // The search the window makes at start.
  void Search();
  // A controller of the set by name (K105_00065) or dotted address; searches first when the
  // set is still empty. Throws std::runtime_error when no such controller answered.
  UdpDev& Resolve(const std::string& dev);
  // Closes every session held, sending "s", even when an interrupt is pending.
  void CloseAll() noexcept;

  UdpDevSet& set() { return *set_; }

 private:
  class Endpoint;
  std::unique_ptr<Endpoint> udp_;
  SystemClock clock_;
  std::unique_ptr<UdpDevSet> set_;
  bool searched_ = false;
};

// True when text names a controller by its printed name or a dotted IPv4 address.
bool LooksLikeDev(const std::string& text);

}  // namespace zav::ctl
