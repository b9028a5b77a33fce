#include "config/cp1250.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace zav {

namespace {

// One converter per direction for the whole run; Windows-1250 and UTF-8 carry no shift
// state, so a failed call leaves nothing behind for the next one.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts exactly one character; false when the target lacks it.
  bool One(const char* in, std::size_t n, std::string& out) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
    char buf[8];
    char* src = const_cast<char*>(in);
    std::size_t srcLeft = n;
    char* dst = buf;
    std::size_t dstLeft = sizeof buf;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) ||
        srcLeft != 0) {
      return false;
    }
    out.append(buf, static_cast<std::size_t>(dst - buf));
    return true;
  }

 private:
  iconv_t cd_;
};

Converter& ToCp1250() {
  static Converter c("WINDOWS-1250", "UTF-8");
  return c;
}

Converter& ToUtf8() {
  static Converter c("UTF-8", "WINDOWS-1250");
  return c;
}

// Length of the well-formed UTF-8 sequence at s, or 0 when it is malformed.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  std::size_t len = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    len = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    len = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    len = 4;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  return len;
}

}  // namespace

std::string Utf8ToCp1250(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t len = SequenceLength(utf8, i);
    if (len == 1) {
      out += utf8[i];
    } else if (len == 0) {
      out += '?';
    } else if (!ToCp1250().One(utf8.data() + i, len, out)) {
      out += '?';
    }
    i += len == 0 ? 1 : len;
  }
  return out;
}

std::string Cp1250ToUtf8(std::string_view cp1250) {
  std::string out;
  out.reserve(cp1250.size() * 2);
  for (char c : cp1250) {
    if (static_cast<unsigned char>(c) < 0x80) {
      out += c;
    } else if (!ToUtf8().One(&c, 1, out)) {
      out += '?';
    }
  }
  return out;
}

void NameToWire(std::string_view utf8, std::uint8_t* field16) {
  const std::string bytes = Utf8ToCp1250(utf8);
  std::size_t n = 0;
  while (n < bytes.size() && n < static_cast<std::size_t>(kNameMax) && bytes[n] != '\0') ++n;
  std::memset(field16, 0, kNameBytes);
  std::memcpy(field16, bytes.data(), n);
}

std::string NameFromWire(const std::uint8_t* field16) {
  std::size_t n = 0;
  while (n < static_cast<std::size_t>(kNameMax) && field16[n] != 0) ++n;
  return Cp1250ToUtf8(std::string_view(reinterpret_cast<const char*>(field16), n));
}

}  // namespace zav
