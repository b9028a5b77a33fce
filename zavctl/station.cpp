#include "zavctl/station.h"

#include <signal.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <regex>
#include <system_error>

#include "link/link.h"
#include "link/wire.h"

namespace zav::ctl {

namespace {

volatile std::sig_atomic_t g_interrupt = 0;
std::atomic<bool> g_closing{false};

void OnSignal(int) {
  g_interrupt = 1;
}

}  // namespace

void InstallInterruptHandlers() {
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: a wait for a reply ends early
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &sa, nullptr);
}

bool InterruptRequested() {
  return g_interrupt != 0;
}

// The real socket; once an interrupt is pending, every send or receive outside the closing
// of sessions ends the command.
class Station::Endpoint : public PosixUdpEndpoint {
 public:
  using PosixUdpEndpoint::PosixUdpEndpoint;
  void Send(const std::string& addr, std::uint16_t port, const std::uint8_t* data,
            std::size_t len) override {
    Check();
    PosixUdpEndpoint::Send(addr, port, data, len);
  }
  int Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
              std::uint16_t& fromPort) override {
    Check();
    return PosixUdpEndpoint::Receive(buf, cap, waitMs, fromAddr, fromPort);
  }
  void Broadcast(std::uint16_t port, const std::uint8_t* data, std::size_t len) override {
    Check();
    PosixUdpEndpoint::Broadcast(port, data, len);
  }

 private:
  static void Check() {
    if (g_interrupt != 0 && !g_closing.load()) throw Interrupted{};
  }
};

Station::Station() {
  try {
    udp_ = std::make_unique<Endpoint>(kPort);
  } catch (const std::system_error& e) {
    if (e.code() == std::errc::address_in_use)
      throw std::runtime_error(
          "UDP port 45389 is in use: ZavConfig or another zavctl is running on this computer; "
          "close it and try again");
    throw std::runtime_error(std::string("cannot open UDP port 45389: ") + e.what());
  }
  Link::Use(udp_.get(), &clock_);
  set_ = std::make_unique<UdpDevSet>();
}

Station::~Station() {
  CloseAll();
  set_.reset();
  Link::Use(nullptr, nullptr);
}

void Station::CloseAll() noexcept {
  if (!set_) return;
  g_closing = true;
  set_->CloseAll();
  g_closing = false;
}

void Station::Search() {
  set_->Search();
  searched_ = true;
}

bool LooksLikeDev(const std::string& text) {
  static const std::regex name("[A-Za-z][0-9]{2,4}_[0-9]{5}");
  static const std::regex ip("[0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]{1,3}");
  return std::regex_match(text, name) || std::regex_match(text, ip);
}

UdpDev& Station::Resolve(const std::string& dev) {
  if (!LooksLikeDev(dev))
    throw std::runtime_error("'" + dev + "' is neither a controller name (K105_00065) nor an IPv4 address");
  if (!searched_) Search();
  std::string wanted = dev;
  wanted[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(wanted[0])));
  for (int i = 0; i < set_->count; ++i) {
    UdpDev& d = set_->devs[i];
    if (DevName(d.id) == wanted || IpText(d.ip) == dev) return d;
  }
  throw std::runtime_error("no controller " + dev + " answered the search");
}

}  // namespace zav::ctl
