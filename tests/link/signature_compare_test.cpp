// The signature comparison: equal only when every byte is, wherever a difference lies.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "link/cmac.h"

namespace zav {
namespace {

TEST(SignatureCompare, EveryBytePositionCounts) {
  const std::array<std::uint8_t, 8> sig{1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_TRUE(SameBytesConstTime(sig.data(), sig.data(), sig.size()));
  for (std::size_t i = 0; i < sig.size(); ++i) {
    for (std::uint8_t bit = 1; bit != 0; bit = static_cast<std::uint8_t>(bit << 1)) {
      auto other = sig;
      other[i] ^= bit;
      EXPECT_FALSE(SameBytesConstTime(sig.data(), other.data(), sig.size())) << i << " " << +bit;
    }
  }
  EXPECT_TRUE(SameBytesConstTime(sig.data(), sig.data() + 1, 0)) << "nothing to differ";
}

}  // namespace
}  // namespace zav
