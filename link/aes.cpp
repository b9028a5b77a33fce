#include "link/aes.h"

#include <array>
#include <stdexcept>

namespace zav {

namespace {

using Table = std::array<std::uint8_t, 256>;

constexpr std::uint8_t XTime(std::uint8_t a) {
  return static_cast<std::uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0x00));
}

// Multiplication in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr std::uint8_t GfMul(std::uint8_t a, std::uint8_t b) {
  std::uint8_t r = 0;
  while (b != 0) {
    if (b & 1) r ^= a;
    a = XTime(a);
    b >>= 1;
  }
  return r;
}

constexpr std::uint8_t Rotl8(std::uint8_t v, int n) {
  return static_cast<std::uint8_t>((v << n) | (v >> (8 - n)));
}

// The tables are derived at compile time from their definitions (multiplicative inverse plus
// the affine map for the S-box), so no hand-typed constant can hide a wrong entry.
constexpr Table MakeSBox() {
  Table s{};
  for (int x = 0; x < 256; ++x) {
    const auto a = static_cast<std::uint8_t>(x);
    std::uint8_t inv = 0;  // a^254 is the inverse of a, and 0 maps to 0
    if (a != 0) {
      std::uint8_t p = a;
      inv = 1;
      for (int e = 254; e != 0; e >>= 1) {
        if (e & 1) inv = GfMul(inv, p);
        p = GfMul(p, p);
      }
    }
    s[x] = static_cast<std::uint8_t>(inv ^ Rotl8(inv, 1) ^ Rotl8(inv, 2) ^ Rotl8(inv, 3) ^
                                     Rotl8(inv, 4) ^ 0x63);
  }
  return s;
}

constexpr Table MakeInverse(const Table& s) {
  Table inv{};
  for (int x = 0; x < 256; ++x) inv[s[x]] = static_cast<std::uint8_t>(x);
  return inv;
}

constexpr Table MakeMul(std::uint8_t k) {
  Table t{};
  for (int x = 0; x < 256; ++x) t[x] = GfMul(static_cast<std::uint8_t>(x), k);
  return t;
}

constexpr Table kSBox = MakeSBox();
constexpr Table kInvSBox = MakeInverse(kSBox);
constexpr Table kMul2 = MakeMul(2);
constexpr Table kMul3 = MakeMul(3);
constexpr Table kMul9 = MakeMul(9);
constexpr Table kMul11 = MakeMul(11);
constexpr Table kMul13 = MakeMul(13);
constexpr Table kMul14 = MakeMul(14);
constexpr std::uint8_t kRcon[10] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1B, 0x36};

static_assert(kSBox[0x00] == 0x63 && kSBox[0x53] == 0xED && kSBox[0xFF] == 0x16);
static_assert(kInvSBox[0x63] == 0x00 && kInvSBox[0x00] == 0x52);

constexpr std::uint32_t SubWord(std::uint32_t w) {
  return (std::uint32_t{kSBox[w >> 24]} << 24) | (std::uint32_t{kSBox[(w >> 16) & 0xFF]} << 16) |
         (std::uint32_t{kSBox[(w >> 8) & 0xFF]} << 8) | std::uint32_t{kSBox[w & 0xFF]};
}

// Round-key words hold their bytes first-in-top, as the key bytes come.
void AddRoundKey(std::uint8_t* s, const std::uint32_t* rk) {
  for (int c = 0; c < 4; ++c) {
    s[4 * c + 0] ^= static_cast<std::uint8_t>(rk[c] >> 24);
    s[4 * c + 1] ^= static_cast<std::uint8_t>(rk[c] >> 16);
    s[4 * c + 2] ^= static_cast<std::uint8_t>(rk[c] >> 8);
    s[4 * c + 3] ^= static_cast<std::uint8_t>(rk[c]);
  }
}

void SubBytes(std::uint8_t* s, const Table& box) {
  for (int i = 0; i < 16; ++i) s[i] = box[s[i]];
}

// Row r of the column-major state moves left by r columns (right by r for the inverse).
void ShiftRows(std::uint8_t* s, bool inverse) {
  std::uint8_t t[16];
  for (int i = 0; i < 16; ++i) t[i] = s[i];
  for (int r = 1; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      const int from = inverse ? (c - r + 4) % 4 : (c + r) % 4;
      s[r + 4 * c] = t[r + 4 * from];
    }
  }
}

void MixColumns(std::uint8_t* s) {
  for (int c = 0; c < 4; ++c) {
    std::uint8_t* a = s + 4 * c;
    const std::uint8_t a0 = a[0], a1 = a[1], a2 = a[2], a3 = a[3];
    a[0] = static_cast<std::uint8_t>(kMul2[a0] ^ kMul3[a1] ^ a2 ^ a3);
    a[1] = static_cast<std::uint8_t>(a0 ^ kMul2[a1] ^ kMul3[a2] ^ a3);
    a[2] = static_cast<std::uint8_t>(a0 ^ a1 ^ kMul2[a2] ^ kMul3[a3]);
    a[3] = static_cast<std::uint8_t>(kMul3[a0] ^ a1 ^ a2 ^ kMul2[a3]);
  }
}

void InvMixColumns(std::uint8_t* s) {
  for (int c = 0; c < 4; ++c) {
    std::uint8_t* a = s + 4 * c;
    const std::uint8_t a0 = a[0], a1 = a[1], a2 = a[2], a3 = a[3];
    a[0] = static_cast<std::uint8_t>(kMul14[a0] ^ kMul11[a1] ^ kMul13[a2] ^ kMul9[a3]);
    a[1] = static_cast<std::uint8_t>(kMul9[a0] ^ kMul14[a1] ^ kMul11[a2] ^ kMul13[a3]);
    a[2] = static_cast<std::uint8_t>(kMul13[a0] ^ kMul9[a1] ^ kMul14[a2] ^ kMul11[a3]);
    a[3] = static_cast<std::uint8_t>(kMul11[a0] ^ kMul13[a1] ^ kMul9[a2] ^ kMul14[a3]);
  }
}

}  // namespace

void AES::SetKey(const std::uint8_t* key, std::size_t keyLength) {
  if (keyLength != 16 && keyLength != 24 && keyLength != 32) {
    throw std::invalid_argument("AES key must be 16, 24 or 32 bytes");
  }
  Nk = static_cast<std::int32_t>(keyLength / 4);
  Nr = Nk + 6;
  const int total = 4 * (Nr + 1);
  for (int i = 0; i < Nk; ++i) {
    roundKeys[i] = (std::uint32_t{key[4 * i]} << 24) | (std::uint32_t{key[4 * i + 1]} << 16) |
                   (std::uint32_t{key[4 * i + 2]} << 8) | std::uint32_t{key[4 * i + 3]};
  }
  for (int i = Nk; i < total; ++i) {
    std::uint32_t temp = roundKeys[i - 1];
    if (i % Nk == 0) {
      temp = SubWord((temp << 8) | (temp >> 24)) ^ (std::uint32_t{kRcon[i / Nk - 1]} << 24);
    } else if (Nk > 6 && i % Nk == 4) {
      temp = SubWord(temp);
    }
    roundKeys[i] = roundKeys[i - Nk] ^ temp;
  }
  // Words past the last round key of a shorter key stay from an earlier, longer key; clear
  // them so nothing of an old key outlives its use.
  for (int i = total; i < 60; ++i) roundKeys[i] = 0;
}

void AES::Encrypt(std::uint8_t* block) const {
  AddRoundKey(block, roundKeys);
  for (int round = 1; round < Nr; ++round) {
    SubBytes(block, kSBox);
    ShiftRows(block, false);
    MixColumns(block);
    AddRoundKey(block, roundKeys + 4 * round);
  }
  SubBytes(block, kSBox);
  ShiftRows(block, false);
  AddRoundKey(block, roundKeys + 4 * Nr);
}

void AES::Decrypt(std::uint8_t* block) const {
  AddRoundKey(block, roundKeys + 4 * Nr);
  for (int round = Nr - 1; round >= 1; --round) {
    ShiftRows(block, true);
    SubBytes(block, kInvSBox);
    AddRoundKey(block, roundKeys + 4 * round);
    InvMixColumns(block);
  }
  ShiftRows(block, true);
  SubBytes(block, kInvSBox);
  AddRoundKey(block, roundKeys);
}

}  // namespace zav
