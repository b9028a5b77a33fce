// Text conversion between the model's UTF-8 strings and the controllers' Windows-1250 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zav {

inline constexpr int kNameBytes = 16;  // name field on the wire
inline constexpr int kNameMax = 15;    // characters kept, byte 15 is always 0

// Characters Windows-1250 lacks, and malformed UTF-8, become "?".
std::string Utf8ToCp1250(std::string_view utf8);
// Bytes with no Windows-1250 meaning become "?".
std::string Cp1250ToUtf8(std::string_view cp1250);

// Converts, keeps at most 15 bytes, NUL-terminates and zero-fills the 16-byte field.
void NameToWire(std::string_view utf8, std::uint8_t* field16);
// The bytes up to the first NUL, at most 15 (byte 15 counts as NUL), as UTF-8.
std::string NameFromWire(const std::uint8_t* field16);

}  // namespace zav
