// An endpoint in front of the scripted network that can hold the core's worker inside a
// receive, as a controller that has not answered yet would, until the test lets it go. Tests
// see what the window does while an operation is in flight without timing anything.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "link/endpoint.h"

namespace zav::testing {

class GateEndpoint : public UdpEndpoint {
 public:
  explicit GateEndpoint(UdpEndpoint& inner) : inner_(inner) {}

  // The next datagram sent for which holdAfter is true makes the receive after it wait.
  void Arm(std::function<bool(const std::uint8_t* data, std::size_t len)> holdAfter) {
    const std::lock_guard lock(mutex_);
    trigger_ = std::move(holdAfter);
  }
  // Waits until the worker is held; false when it was not within the wait.
  bool WaitHeld() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return held_; });
  }
  bool Held() {
    const std::lock_guard lock(mutex_);
    return held_;
  }
  void Release() {
    const std::lock_guard lock(mutex_);
    pending_ = held_ = false;
    changed_.notify_all();
  }

  void Send(const std::string& addr, std::uint16_t port, const std::uint8_t* data,
            std::size_t len) override {
    {
      const std::lock_guard lock(mutex_);
      if (trigger_ && trigger_(data, len)) {
        trigger_ = nullptr;
        pending_ = true;
      }
    }
    inner_.Send(addr, port, data, len);
  }
  int Receive(std::uint8_t* buf, std::size_t cap, int waitMs, std::string& fromAddr,
              std::uint16_t& fromPort) override {
    {
      std::unique_lock lock(mutex_);
      if (pending_) {
        held_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !held_; });
      }
    }
    return inner_.Receive(buf, cap, waitMs, fromAddr, fromPort);
  }
  void Broadcast(std::uint16_t port, const std::uint8_t* data, std::size_t len) override {
    inner_.Broadcast(port, data, len);
  }

 private:
  UdpEndpoint& inner_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<bool(const std::uint8_t*, std::size_t)> trigger_;
  bool pending_ = false;
  bool held_ = false;
};

// The letter of a signed request ("MMDC" id seq letter ...), 0 for any other datagram.
inline char SignedLetter(const std::uint8_t* data, std::size_t len) {
  if (len < 19 || data[0] != 'M' || data[1] != 'M' || data[2] != 'D' || data[3] != 'C') return 0;
  return static_cast<char>(data[10]);
}
// The letter of a plain request ("MMD" letter id ...).
inline char PlainLetter(const std::uint8_t* data, std::size_t len) {
  if (len < 12 || data[0] != 'M' || data[1] != 'M' || data[2] != 'D') return 0;
  return static_cast<char>(data[3]);
}

}  // namespace zav::testing
