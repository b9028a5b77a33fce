// FIPS-197 block cipher behind the frame signature.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zav {

// Abstract block cipher working in place on one block.
class Coder {
 public:
  Coder() : blockSize(16) {}
  virtual ~Coder() = default;
  virtual void Encrypt(std::uint8_t* block) const = 0;
  virtual void Decrypt(std::uint8_t* block) const = 0;

  std::int32_t blockSize;
};

// AES for 128-, 192- and 256-bit keys.
class AES : public Coder {
 public:
  void Encrypt(std::uint8_t* block) const override;
  void Decrypt(std::uint8_t* block) const override;
  // Key expansion from keyLength bytes (16, 24 or 32); sets Nk and Nr to match.
  void SetKey(const std::uint8_t* key, std::size_t keyLength = 16);

  std::int32_t Nk = 4;
  std::int32_t Nr = 10;
  std::uint32_t roundKeys[60] = {};
  // The same round keys as bytes in cipher order, for the processor's AES instructions.
  alignas(16) std::uint8_t roundKeyBytes[240] = {};

 private:
  bool keyed_ = false;  // SetKey has run: the first round key is the key itself
};

// Whether Encrypt uses the processor's AES instructions (where it has them); tests switch it
// off to hold the table cipher to the same vectors. Returns the setting before.
bool UseAesInstructions(bool on);

// The only cipher the link instantiates.
class AES128 : public AES {};

}  // namespace zav
