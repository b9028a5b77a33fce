// Text form of passage and lift times, which are whole half-seconds from 0 to 127.
#pragma once

#include <string>
#include <string_view>

namespace zav {

inline constexpr int kMaxHalfSeconds = 127;

// "%d,%1d": seconds, optionally a comma and one digit (5 or more adds a half-second); parts not
// read count as 0; clamped to 0..127.
int TimeFromText(std::string_view text);
// Seconds, followed by ",5" when the value is odd.
std::string TimeText(int halfSeconds);

}  // namespace zav
