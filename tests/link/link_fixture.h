// Common ground of the link tests: a scripted network and clock installed as the link's own.
#pragma once

#include <gtest/gtest.h>

#include "link/link.h"
#include "link/udpdev.h"
#include "tests/link/fake_controller.h"
#include "tests/support/scripted_endpoint.h"

namespace zav::testing {

inline constexpr DeviceId kCtrlId = 0x31310042;  // K105_00066
inline constexpr std::uint32_t kCtrlIp = 0xC0A8000A;
inline const char* const kCtrlAddr = "192.168.0.10";

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override { Link::Use(&ep, &clock); }
  void TearDown() override { Link::Use(nullptr, nullptr); }

  // Sent times of the datagrams addressed to addr, relative to the clock at the call.
  std::vector<std::uint64_t> SendTimes(const std::string& addr) const {
    std::vector<std::uint64_t> t;
    for (const auto& d : ep.sent)
      if (d.addr == addr) t.push_back(d.atMs);
    return t;
  }

  FakeClock clock;
  ScriptedEndpoint ep{clock};
};

}  // namespace zav::testing
