#include "config/time_text.h"

#include <cctype>

namespace zav {

namespace {

bool IsSpace(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

// Follows the reading of "%d,%1d": leading white space, an optional sign and digits for the
// seconds, then a comma and a single digit; whatever is not read counts as 0.
int TimeFromText(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size() || !IsDigit(text[i])) return 0;
  long seconds = 0;
  while (i < text.size() && IsDigit(text[i])) {
    // Anything beyond a thousand seconds clamps to the top anyway; stop growing there.
    if (seconds < 1000) seconds = seconds * 10 + (text[i] - '0');
    ++i;
  }
  if (negative) seconds = -seconds;
  int digit = 0;
  if (i < text.size() && text[i] == ',') {
    ++i;
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i < text.size() && IsDigit(text[i])) digit = text[i] - '0';
  }
  long value = 2 * seconds + (digit >= 5 ? 1 : 0);
  if (value < 0) value = 0;
  if (value > kMaxHalfSeconds) value = kMaxHalfSeconds;
  return static_cast<int>(value);
}

std::string TimeText(int halfSeconds) {
  if (halfSeconds < 0) halfSeconds = 0;
  if (halfSeconds > kMaxHalfSeconds) halfSeconds = kMaxHalfSeconds;
  std::string text = std::to_string(halfSeconds / 2);
  if (halfSeconds % 2) text += ",5";
  return text;
}

}  // namespace zav
