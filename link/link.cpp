#include "link/link.h"

#include <stdexcept>

#include "link/late_answers.h"

namespace zav {

namespace {

UdpEndpoint* gEndpoint = nullptr;
Clock* gClock = nullptr;

}  // namespace

void Link::Use(UdpEndpoint* ep, Clock* clock) {
  gEndpoint = ep;
  gClock = clock;
  ForgetLateAnswers();
}

UdpEndpoint& Link::Udp() {
  if (!gEndpoint) throw std::runtime_error("Brak gniazda UDP.");
  return *gEndpoint;
}

Clock& Link::Time() {
  if (!gClock) throw std::runtime_error("Brak zegara systemowego.");
  return *gClock;
}

SigningContext& Link::Signing() {
  // One cipher and one CMAC context for the whole run, created on first use.
  static SigningContext ctx;
  return ctx;
}

}  // namespace zav
