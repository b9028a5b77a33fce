#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "config/cp1250.h"
#include "config/time_text.h"

namespace zav {
namespace {

TEST(Cp1250, PolishLettersRoundTrip) {
  const std::string polish = "ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ";
  const std::string bytes = Utf8ToCp1250(polish);
  EXPECT_EQ(bytes, "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF \xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
  EXPECT_EQ(Cp1250ToUtf8(bytes), polish);
}

TEST(Cp1250, MissingCharactersAndBrokenInputBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1250("a中b😀c"), "a?b?c");
  EXPECT_EQ(Utf8ToCp1250("x\xC5"), "x?");             // cut off in the middle of a character
  EXPECT_EQ(Utf8ToCp1250("\xFF\xC3\x28z"), "?\?(z");  // invalid lead and continuation
  EXPECT_EQ(Cp1250ToUtf8("\x81\x98ok"), "??ok");      // bytes Windows-1250 leaves undefined
}

TEST(Cp1250, NamesKeepFifteenBytesAndAlwaysEndInNul) {
  std::uint8_t f[16];
  NameToWire("Śluza północna 12", f);  // 17 characters, two of them two bytes in UTF-8
  EXPECT_EQ(std::string(reinterpret_cast<char*>(f), 15), Utf8ToCp1250("Śluza północna "));
  EXPECT_EQ(f[15], 0);
  EXPECT_EQ(NameFromWire(f), "Śluza północna ");
  for (auto& b : f) b = 'Z';
  EXPECT_EQ(NameFromWire(f), std::string(15, 'Z'));
  NameToWire(std::string("ab\0cd", 5), f);  // an embedded NUL ends the name
  EXPECT_EQ(f[2], 0);
  EXPECT_EQ(f[3], 0);
  EXPECT_EQ(NameFromWire(f), "ab");
}

TEST(TimeText, ParsesLikeTheEditFormat) {
  EXPECT_EQ(TimeFromText("2,5"), 5);
  EXPECT_EQ(TimeFromText("2,7"), 5);
  EXPECT_EQ(TimeFromText("2,45"), 4);
  EXPECT_EQ(TimeFromText("2,4"), 4);
  EXPECT_EQ(TimeFromText("2.5"), 4);
  EXPECT_EQ(TimeFromText("100"), 127);
  EXPECT_EQ(TimeFromText("99999999999999999999"), 127);
  EXPECT_EQ(TimeFromText("-3"), 0);
  EXPECT_EQ(TimeFromText(""), 0);
  EXPECT_EQ(TimeFromText("abc"), 0);
  EXPECT_EQ(TimeFromText(" +7, 5"), 15);
  EXPECT_EQ(TimeFromText("63,5"), 127);
  EXPECT_EQ(TimeFromText("3,"), 6);
}

TEST(TimeText, FormatsHalfSeconds) {
  EXPECT_EQ(TimeText(0), "0");
  EXPECT_EQ(TimeText(5), "2,5");
  EXPECT_EQ(TimeText(4), "2");
  EXPECT_EQ(TimeText(127), "63,5");
  for (int v = 0; v <= 127; ++v) EXPECT_EQ(TimeFromText(TimeText(v)), v);
}

}  // namespace
}  // namespace zav
