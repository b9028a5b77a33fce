// The cipher, the CMAC and the session key held against OpenSSL's libcrypto on random input.
// The seed is fixed so a failure reproduces.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "link/aes.h"
#include "link/cmac.h"

namespace zav {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Random(std::mt19937& rng, std::size_t n) {
  Bytes b(n);
  for (auto& x : b) x = static_cast<std::uint8_t>(rng());
  return b;
}

Bytes OpenSslEncrypt(const Bytes& key, const Bytes& block) {
  EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
  Bytes out(32);
  int len = 0, fin = 0;
  EXPECT_EQ(EVP_EncryptInit_ex(c, EVP_aes_128_ecb(), nullptr, key.data(), nullptr), 1);
  EVP_CIPHER_CTX_set_padding(c, 0);
  EXPECT_EQ(EVP_EncryptUpdate(c, out.data(), &len, block.data(), 16), 1);
  EXPECT_EQ(EVP_EncryptFinal_ex(c, out.data() + len, &fin), 1);
  EVP_CIPHER_CTX_free(c);
  out.resize(static_cast<std::size_t>(len + fin));
  return out;
}

class OpenSslCmac {
 public:
  OpenSslCmac() {
    mac_ = EVP_MAC_fetch(nullptr, "CMAC", nullptr);
    EXPECT_NE(mac_, nullptr);
  }
  ~OpenSslCmac() { EVP_MAC_free(mac_); }
  Bytes Tag(const Bytes& key, const Bytes& msg) {
    EVP_MAC_CTX* c = EVP_MAC_CTX_new(mac_);
    char cipher[] = "AES-128-CBC";
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_CIPHER, cipher, 0),
        OSSL_PARAM_construct_end(),
    };
    Bytes out(16);
    std::size_t len = 0;
    EXPECT_EQ(EVP_MAC_init(c, key.data(), key.size(), params), 1);
    EXPECT_EQ(EVP_MAC_update(c, msg.data(), msg.size()), 1);
    EXPECT_EQ(EVP_MAC_final(c, out.data(), &len, out.size()), 1);
    EVP_MAC_CTX_free(c);
    out.resize(len);
    return out;
  }

 private:
  EVP_MAC* mac_ = nullptr;
};

TEST(OpenSslDifferential, Aes128BlockEncrypt) {
  std::mt19937 rng(20240611);
  AES128 aes;
  // With the processor's AES instructions where it has them, and with the tables.
  for (const bool instructions : {true, false}) {
    const bool before = UseAesInstructions(instructions);
    for (int i = 0; i < 3000; ++i) {
      const Bytes key = Random(rng, 16);
      const Bytes plain = Random(rng, 16);
      aes.SetKey(key.data());
      Bytes block = plain;
      aes.Encrypt(block.data());
      ASSERT_EQ(block, OpenSslEncrypt(key, plain)) << "case " << i << " " << instructions;
      aes.Decrypt(block.data());
      ASSERT_EQ(block, plain) << "case " << i << " " << instructions;
    }
    UseAesInstructions(before);
  }
}

// Feeds msg to Update in random pieces, empty pieces included.
Bytes PiecewiseTag(SigningContext& ctx, std::mt19937& rng, const Bytes& msg) {
  ctx.cmac.Init();
  std::size_t at = 0;
  while (at < msg.size()) {
    const std::size_t piece = std::min<std::size_t>(rng() % 40, msg.size() - at);
    ctx.cmac.Update(msg.data() + at, piece);
    at += piece;
  }
  ctx.cmac.Update(msg.data() + at, 0);
  Bytes t(16);
  ctx.cmac.Final(t.data());
  return t;
}

TEST(OpenSslDifferential, CmacEveryShortLengthAndLongMessages) {
  std::mt19937 rng(4493);
  OpenSslCmac ref;
  SigningContext ctx;
  for (int round = 0; round < 40; ++round) {
    for (std::size_t len = 0; len <= 64; ++len) {
      const Bytes key = Random(rng, 16);
      const Bytes msg = Random(rng, len);
      ctx.aes.SetKey(key.data());
      ASSERT_EQ(PiecewiseTag(ctx, rng, msg), ref.Tag(key, msg))
          << "round " << round << " len " << len;
    }
  }
  for (std::size_t len : {127u, 128u, 129u, 1400u, 1419u, 1411u, 8192u}) {
    for (int i = 0; i < 20; ++i) {
      const Bytes key = Random(rng, 16);
      const Bytes msg = Random(rng, len);
      ctx.aes.SetKey(key.data());
      ASSERT_EQ(PiecewiseTag(ctx, rng, msg), ref.Tag(key, msg)) << "len " << len;
      // One call over the whole message gives the same.
      std::uint8_t sig[8];
      FrameSignature(ctx, msg.data(), msg.size(), sig);
      const Bytes tag = ref.Tag(key, msg);
      ASSERT_EQ(Bytes(sig, sig + 8), Bytes(tag.begin(), tag.begin() + 8));
    }
  }
}

TEST(OpenSslDifferential, SessionKeyIsRUnderItself) {
  std::mt19937 rng(1305);
  SigningContext ctx;
  for (int i = 0; i < 500; ++i) {
    const Bytes r = Random(rng, 16);
    Bytes key = r;
    DeriveSessionKey(ctx, key.data());
    ASSERT_EQ(key, OpenSslEncrypt(r, r)) << "case " << i;
  }
}

}  // namespace
}  // namespace zav
