#include "link/aes.h"

#include <array>
#include <atomic>
#include <cstring>
#include <stdexcept>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

constexpr Table kSBox = MakeSBox();
constexpr Table kInvSBox = MakeInverse(kSBox);
constexpr std::uint8_t kRcon[10] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1B, 0x36};

static_assert(kSBox[0x00] == 0x63 && kSBox[0x53] == 0xED && kSBox[0xFF] == 0x16);
static_assert(kInvSBox[0x63] == 0x00 && kInvSBox[0x00] == 0x52);

// A round works on four 32-bit columns, row 0 in the top byte like the round keys. One
// lookup per state byte does SubBytes and that byte's share of MixColumns at once: table
// j holds the column that byte contributes when it sits in row j, so the four tables are
// byte rotations of one another. A round is then 16 lookups and XORs instead of byte-wise
// passes over the state.
using WordTable = std::array<std::uint32_t, 256>;
using WordTables = std::array<WordTable, 4>;

constexpr std::uint32_t Rotr32(std::uint32_t v, int n) {
  return n == 0 ? v : (v >> n) | (v << (32 - n));
}

constexpr std::uint32_t Column(std::uint8_t a0, std::uint8_t a1, std::uint8_t a2, std::uint8_t a3) {
  return (std::uint32_t{a0} << 24) | (std::uint32_t{a1} << 16) | (std::uint32_t{a2} << 8) |
         std::uint32_t{a3};
}

// Column of the mixing matrix's first column (c0, c1, c2, c3) times box[x], rotated for rows
// 1..3; the matrices are circulant, so rotation gives the other columns.
constexpr WordTables MakeRoundTables(const Table& box, std::uint8_t c0, std::uint8_t c1,
                                     std::uint8_t c2, std::uint8_t c3) {
  WordTables t{};
  for (int x = 0; x < 256; ++x) {
    const std::uint8_t s = box[x];
    const std::uint32_t w = Column(GfMul(s, c0), GfMul(s, c1), GfMul(s, c2), GfMul(s, c3));
    for (int j = 0; j < 4; ++j) t[j][x] = Rotr32(w, 8 * j);
  }
  return t;
}

constexpr WordTables kTe = MakeRoundTables(kSBox, 2, 1, 1, 3);
constexpr WordTables kTd = MakeRoundTables(kInvSBox, 14, 9, 13, 11);

static_assert(kTe[0][0x00] == 0xC66363A5 && kTe[1][0x00] == 0xA5C66363);
static_assert(kTd[0][0x00] == 0x51F4A750 && kTd[3][0x00] == 0xF4A75051);

constexpr std::uint32_t SubWord(std::uint32_t w) {
  return (std::uint32_t{kSBox[w >> 24]} << 24) | (std::uint32_t{kSBox[(w >> 16) & 0xFF]} << 16) |
         (std::uint32_t{kSBox[(w >> 8) & 0xFF]} << 8) | std::uint32_t{kSBox[w & 0xFF]};
}

inline std::uint32_t Load(const std::uint8_t* p) {
  return Column(p[0], p[1], p[2], p[3]);
}

inline void Store(std::uint8_t* p, std::uint32_t w) {
  p[0] = static_cast<std::uint8_t>(w >> 24);
  p[1] = static_cast<std::uint8_t>(w >> 16);
  p[2] = static_cast<std::uint8_t>(w >> 8);
  p[3] = static_cast<std::uint8_t>(w);
}

inline std::uint32_t B0(std::uint32_t w) {
  return w >> 24;
}
inline std::uint32_t B1(std::uint32_t w) {
  return (w >> 16) & 0xFF;
}
inline std::uint32_t B2(std::uint32_t w) {
  return (w >> 8) & 0xFF;
}
inline std::uint32_t B3(std::uint32_t w) {
  return w & 0xFF;
}

// The key schedule is shared with encryption, so decryption mixes each round key as it goes
// (S-box then the inverse tables: InvSubBytes undoes the S-box, leaving InvMixColumns). That
// keeps the class layout and SetKey as they are, and costs nothing on the signing path.
inline std::uint32_t InvMixWord(std::uint32_t w) {
  return kTd[0][kSBox[B0(w)]] ^ kTd[1][kSBox[B1(w)]] ^ kTd[2][kSBox[B2(w)]] ^ kTd[3][kSBox[B3(w)]];
}

#if defined(__x86_64__)
// The signature of every frame runs through Encrypt: with AES-NI a block costs a few
// nanoseconds instead of some sixteen table look-ups per round.
std::atomic<bool> useInstructions{__builtin_cpu_supports("aes") != 0};

__attribute__((target("aes,sse2"))) void EncryptWithInstructions(const std::uint8_t* keys,
                                                                 int rounds, std::uint8_t* block) {
  const auto* k = reinterpret_cast<const __m128i*>(keys);
  __m128i s =
      _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block)), _mm_load_si128(k));
  for (int round = 1; round < rounds; ++round) s = _mm_aesenc_si128(s, _mm_load_si128(k + round));
  s = _mm_aesenclast_si128(s, _mm_load_si128(k + rounds));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(block), s);
}
#else
std::atomic<bool> useInstructions{false};
#endif

}  // namespace

bool UseAesInstructions(bool on) {
#if defined(__x86_64__)
  const bool before = useInstructions.load();
  useInstructions.store(on && __builtin_cpu_supports("aes") != 0);
  return before;
#else
  (void)on;
  return false;
#endif
}

void AES::SetKey(const std::uint8_t* key, std::size_t keyLength) {
  if (keyLength != 16 && keyLength != 24 && keyLength != 32) {
    throw std::invalid_argument("AES key must be 16, 24 or 32 bytes");
  }
  // Every signed command keys the cipher with its controller's session key, mostly the key it
  // already holds: the schedule is kept then.
  if (keyed_ && keyLength == static_cast<std::size_t>(4 * Nk) &&
      std::memcmp(roundKeyBytes, key, keyLength) == 0)
    return;
  keyed_ = true;
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
  for (int i = 0; i < 60; ++i) Store(roundKeyBytes + 4 * i, roundKeys[i]);
}

void AES::Encrypt(std::uint8_t* block) const {
#if defined(__x86_64__)
  if (useInstructions.load(std::memory_order_relaxed)) {
    EncryptWithInstructions(roundKeyBytes, Nr, block);
    return;
  }
#endif
  const std::uint32_t* rk = roundKeys;
  std::uint32_t s0 = Load(block) ^ rk[0];
  std::uint32_t s1 = Load(block + 4) ^ rk[1];
  std::uint32_t s2 = Load(block + 8) ^ rk[2];
  std::uint32_t s3 = Load(block + 12) ^ rk[3];
  // ShiftRows is in the indexing: row r of output column c comes from input column c + r.
  for (int round = 1; round < Nr; ++round) {
    rk += 4;
    const std::uint32_t t0 =
        kTe[0][B0(s0)] ^ kTe[1][B1(s1)] ^ kTe[2][B2(s2)] ^ kTe[3][B3(s3)] ^ rk[0];
    const std::uint32_t t1 =
        kTe[0][B0(s1)] ^ kTe[1][B1(s2)] ^ kTe[2][B2(s3)] ^ kTe[3][B3(s0)] ^ rk[1];
    const std::uint32_t t2 =
        kTe[0][B0(s2)] ^ kTe[1][B1(s3)] ^ kTe[2][B2(s0)] ^ kTe[3][B3(s1)] ^ rk[2];
    const std::uint32_t t3 =
        kTe[0][B0(s3)] ^ kTe[1][B1(s0)] ^ kTe[2][B2(s1)] ^ kTe[3][B3(s2)] ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  // The last round has no MixColumns.
  rk += 4;
  const auto sub = [](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return Column(kSBox[B0(a)], kSBox[B1(b)], kSBox[B2(c)], kSBox[B3(d)]);
  };
  Store(block, sub(s0, s1, s2, s3) ^ rk[0]);
  Store(block + 4, sub(s1, s2, s3, s0) ^ rk[1]);
  Store(block + 8, sub(s2, s3, s0, s1) ^ rk[2]);
  Store(block + 12, sub(s3, s0, s1, s2) ^ rk[3]);
}

void AES::Decrypt(std::uint8_t* block) const {
  const std::uint32_t* rk = roundKeys + 4 * Nr;
  std::uint32_t s0 = Load(block) ^ rk[0];
  std::uint32_t s1 = Load(block + 4) ^ rk[1];
  std::uint32_t s2 = Load(block + 8) ^ rk[2];
  std::uint32_t s3 = Load(block + 12) ^ rk[3];
  // Equivalent inverse cipher: InvMixColumns is linear, so it moves ahead of the round key
  // once the key is mixed too. Row r of output column c comes from input column c - r.
  for (int round = Nr - 1; round >= 1; --round) {
    rk -= 4;
    const std::uint32_t t0 =
        kTd[0][B0(s0)] ^ kTd[1][B1(s3)] ^ kTd[2][B2(s2)] ^ kTd[3][B3(s1)] ^ InvMixWord(rk[0]);
    const std::uint32_t t1 =
        kTd[0][B0(s1)] ^ kTd[1][B1(s0)] ^ kTd[2][B2(s3)] ^ kTd[3][B3(s2)] ^ InvMixWord(rk[1]);
    const std::uint32_t t2 =
        kTd[0][B0(s2)] ^ kTd[1][B1(s1)] ^ kTd[2][B2(s0)] ^ kTd[3][B3(s3)] ^ InvMixWord(rk[2]);
    const std::uint32_t t3 =
        kTd[0][B0(s3)] ^ kTd[1][B1(s2)] ^ kTd[2][B2(s1)] ^ kTd[3][B3(s0)] ^ InvMixWord(rk[3]);
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk -= 4;
  const auto sub = [](std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return Column(kInvSBox[B0(a)], kInvSBox[B1(b)], kInvSBox[B2(c)], kInvSBox[B3(d)]);
  };
  Store(block, sub(s0, s3, s2, s1) ^ rk[0]);
  Store(block + 4, sub(s1, s0, s3, s2) ^ rk[1]);
  Store(block + 8, sub(s2, s1, s0, s3) ^ rk[2]);
  Store(block + 12, sub(s3, s2, s1, s0) ^ rk[3]);
}

}  // namespace zav
