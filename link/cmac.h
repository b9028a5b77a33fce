// AES-CMAC (RFC 4493) over a Coder, the frame signature and the session key.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/aes.h"

namespace zav {

class Cmac {
 public:
  explicit Cmac(const Coder& c) : cipher(c) {}
  void Init();
  void Update(const std::uint8_t* bytes, std::size_t length);
  void Final(std::uint8_t* out);  // full 16-byte tag

  const Coder& cipher;
  std::uint32_t pendingLength = 0;
  std::uint8_t pending[16] = {};
  std::uint8_t chaining[16] = {};
};

// The one cipher and CMAC context the whole link shares.
struct SigningContext {
  SigningContext() = default;
  // A copy signs with its own cipher: the default copy would leave cmac bound to the source's
  // cipher, which dangles once the source is gone and follows the source's key meanwhile.
  SigningContext(const SigningContext& other) : aes(other.aes), cmac(aes) {}
  SigningContext& operator=(const SigningContext& other) {
    aes = other.aes;
    return *this;
  }

  AES128 aes;
  Cmac cmac{aes};
};

// First 8 bytes of the CMAC tag of bytes[0..length) under the context's current key.
void FrameSignature(SigningContext& ctx, const std::uint8_t* bytes, std::size_t length,
                    std::uint8_t* out8);

// Keys the context with the controller's 16 bytes r and replaces key (which holds r) with
// AES_r(r), the session key. Leaves the cipher keyed with r.
void DeriveSessionKey(SigningContext& ctx, std::uint8_t* key16);

// Whether a[0..n) equals b[0..n), in a time that depends only on n: a signature check must not
// tell an attacker how many leading bytes of a forged signature were right.
bool SameBytesConstTime(const std::uint8_t* a, const std::uint8_t* b, std::size_t n);

}  // namespace zav
