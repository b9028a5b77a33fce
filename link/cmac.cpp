#include "link/cmac.h"

#include <cstring>

namespace zav {

namespace {

// The context's buffers hold 16 bytes; a cipher claiming a larger block must not overrun them.
std::size_t BlockOf(const Coder& c) {
  return c.blockSize > 0 && c.blockSize < 16 ? static_cast<std::size_t>(c.blockSize) : 16;
}

// One-bit left shift of the whole block, folding the carried-out bit back in with rb.
void Double(std::uint8_t* dst, const std::uint8_t* src, std::size_t b, std::uint8_t rb) {
  const bool carry = (src[0] & 0x80) != 0;
  for (std::size_t i = 0; i + 1 < b; ++i) {
    dst[i] = static_cast<std::uint8_t>((src[i] << 1) | (src[i + 1] >> 7));
  }
  dst[b - 1] = static_cast<std::uint8_t>(src[b - 1] << 1);
  if (carry) dst[b - 1] ^= rb;
}

}  // namespace

void Cmac::Init() {
  std::memset(chaining, 0, sizeof chaining);
  pendingLength = 0;
}

void Cmac::Update(const std::uint8_t* bytes, std::size_t length) {
  const std::size_t b = BlockOf(cipher);
  if (pendingLength != 0 && b - pendingLength < length) {
    const std::size_t take = b - pendingLength;
    std::memcpy(pending + pendingLength, bytes, take);
    for (std::size_t i = 0; i < b; ++i) chaining[i] ^= pending[i];
    cipher.Encrypt(chaining);
    bytes += take;
    length -= take;
    pendingLength = 0;
  }
  // Strictly more than one block: the last block, even a complete one, waits for Final.
  while (length > b) {
    for (std::size_t i = 0; i < b; ++i) chaining[i] ^= bytes[i];
    cipher.Encrypt(chaining);
    bytes += b;
    length -= b;
  }
  if (length != 0) {
    std::memcpy(pending + pendingLength, bytes, length);
    pendingLength += static_cast<std::uint32_t>(length);
  }
}

void Cmac::Final(std::uint8_t* out) {
  const std::size_t b = BlockOf(cipher);
  const std::uint8_t rb = b == 16 ? 0x87 : 0x1B;
  std::uint8_t l[16] = {};
  cipher.Encrypt(l);
  std::uint8_t k1[16];
  Double(k1, l, b, rb);
  if (pendingLength == b) {
    for (std::size_t i = 0; i < b; ++i) out[i] = chaining[i] ^ pending[i] ^ k1[i];
  } else {
    std::uint8_t k2[16];
    Double(k2, k1, b, rb);
    for (std::size_t i = 0; i < b; ++i) {
      std::uint8_t m = 0;
      if (i < pendingLength) {
        m = pending[i];
      } else if (i == pendingLength) {
        m = 0x80;
      }
      out[i] = chaining[i] ^ m ^ k2[i];
    }
  }
  cipher.Encrypt(out);
}

void FrameSignature(SigningContext& ctx, const std::uint8_t* bytes, std::size_t length,
                    std::uint8_t* out8) {
  std::uint8_t tag[16];
  ctx.cmac.Init();
  ctx.cmac.Update(bytes, length);
  ctx.cmac.Final(tag);
  std::memcpy(out8, tag, 8);
}

void DeriveSessionKey(SigningContext& ctx, std::uint8_t* key16) {
  ctx.aes.SetKey(key16, 16);
  ctx.aes.Encrypt(key16);
}

}  // namespace zav

namespace zav {

bool SameBytesConstTime(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  // Every byte is read and the differences are gathered without a branch on them; the volatile
  // accumulator keeps the compiler from turning the loop back into an early exit.
  volatile std::uint8_t diff = 0;
  for (std::size_t i = 0; i < n; ++i) diff = static_cast<std::uint8_t>(diff | (a[i] ^ b[i]));
  return diff == 0;
}

}  // namespace zav
