// The endpoint the tool runs with when its UDP port could not be opened: nothing arrives, and
// every send fails with the reason the port was refused, so each search explains it again.
#pragma once

#include <string>
#include <system_error>

#include "link/endpoint.h"

class UnboundEndpoint : public zav::UdpEndpoint {
 public:
  // code: why the port could not be bound (for instance EADDRINUSE).
  UnboundEndpoint(std::uint16_t port, std::error_code code)
      : what_("Nie można użyć portu UDP " + std::to_string(port) +
              " (inny program może go zajmować)"),
        code_(code) {}

  void Send(const std::string&, std::uint16_t, const std::uint8_t*, std::size_t) override {
    throw std::system_error(code_, what_);
  }
  int Receive(std::uint8_t*, std::size_t, int, std::string&, std::uint16_t&) override { return -1; }

 private:
  std::string what_;
  std::error_code code_;
};
