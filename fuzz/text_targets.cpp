// The text parsers and converters: ParseIp, the time text, Windows-1250.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "config/cp1250.h"
#include "config/time_text.h"
#include "fuzz/fuzz_support.h"
#include "link/wire.h"

namespace zav::fuzz {

namespace {

bool IsDottedQuad(const std::string& s) {
  int parts = 0;
  std::size_t i = 0;
  while (i <= s.size()) {
    std::size_t j = i;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
    if (j == i || j - i > 3 || (j - i > 1 && s[i] == '0')) return false;
    if (std::stoi(s.substr(i, j - i)) > 255) return false;
    ++parts;
    if (j == s.size()) break;
    if (s[j] != '.') return false;
    i = j + 1;
  }
  return parts == 4;
}

}  // namespace

int FuzzParseIp(const std::uint8_t* data, std::size_t size) {
  // Any text, with no terminating NUL, must parse without reading past its end.
  std::vector<char> heap(data, data + size);
  (void)ParseIp(std::string_view(heap.data(), heap.size()));
  if (size < 4) return 0;
  const std::uint32_t addr = GetU32(data);
  const std::string text = IpText(addr);
  ZAV_FUZZ_CHECK(IsDottedQuad(text));
  ZAV_FUZZ_CHECK(ParseIp(text) == addr);
  // What follows the fourth number, a port for example, does not change the address.
  const std::string tail(reinterpret_cast<const char*>(data) + 4, size - 4);
  if (tail.empty() || !(tail[0] >= '0' && tail[0] <= '9'))
    ZAV_FUZZ_CHECK(ParseIp(text + tail) == addr);
  return 0;
}

int FuzzTimeText(const std::uint8_t* data, std::size_t size) {
  std::vector<char> heap(data, data + size);
  const int v = TimeFromText(std::string_view(heap.data(), heap.size()));
  ZAV_FUZZ_CHECK(v >= 0 && v <= kMaxHalfSeconds);
  const std::string shown = TimeText(v);
  ZAV_FUZZ_CHECK(TimeFromText(shown) == v);
  ZAV_FUZZ_CHECK(shown == std::to_string(v / 2) + (v % 2 ? ",5" : ""));
  if (size >= 4) {
    const auto any = static_cast<std::int32_t>(GetU32(data));
    ZAV_FUZZ_CHECK(TimeFromText(TimeText(any)) == std::clamp(any, 0, kMaxHalfSeconds));
  }
  return 0;
}

int FuzzCp1250(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // Windows-1250 to UTF-8 and back: one character per byte, every defined byte comes back.
  const std::string utf8 = Cp1250ToUtf8(bytes);
  ZAV_FUZZ_CHECK(IsUtf8(utf8));
  const std::string back = Utf8ToCp1250(utf8);
  ZAV_FUZZ_CHECK(back.size() == bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const bool defined = Cp1250ToUtf8(bytes.substr(i, 1)) != "?";
    ZAV_FUZZ_CHECK(back[i] == (defined ? bytes[i] : '?'));
  }

  // Any text to Windows-1250: never longer, and stable once converted.
  const std::string cp = Utf8ToCp1250(bytes);
  ZAV_FUZZ_CHECK(cp.size() <= bytes.size());
  ZAV_FUZZ_CHECK(Utf8ToCp1250(Cp1250ToUtf8(cp)) == cp);

  // The 16-byte name field: NUL-terminated, zero-filled, and a name read back writes the same.
  std::uint8_t field[kNameBytes];
  NameToWire(bytes, field);
  ZAV_FUZZ_CHECK(field[kNameMax] == 0);
  const auto nul = std::find(field, field + kNameBytes, 0);
  ZAV_FUZZ_CHECK(std::all_of(nul, field + kNameBytes, [](std::uint8_t b) { return b == 0; }));
  std::uint8_t again[kNameBytes];
  NameToWire(NameFromWire(field), again);
  ZAV_FUZZ_CHECK(std::memcmp(field, again, kNameBytes) == 0);

  // Any 16 bytes read from a controller, with no NUL at all.
  if (size >= kNameBytes) {
    std::vector<std::uint8_t> raw(data, data + kNameBytes);
    ZAV_FUZZ_CHECK(IsUtf8(NameFromWire(raw.data())));
  }
  return 0;
}

}  // namespace zav::fuzz
