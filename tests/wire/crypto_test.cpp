// AES and CMAC against the published vectors, and the frame-signature boundaries.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/aes.h"
#include "link/cmac.h"
#include "link/wire.h"

namespace zav {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Hex(std::string_view h) {
  Bytes out;
  int nibbles = 0;
  std::uint8_t cur = 0;
  for (char c : h) {
    int v;
    if (c >= '0' && c <= '9') {
      v = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      v = c - 'a' + 10;
    } else {
      continue;  // spaces group the digits
    }
    cur = static_cast<std::uint8_t>((cur << 4) | v);
    if (++nibbles % 2 == 0) out.push_back(cur);
  }
  return out;
}

Bytes Counting(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i);
  return b;
}

// FIPS-197 appendix C: one plaintext, keys 00 01 02 ... of each length.
struct FipsCase {
  std::size_t keyLen;
  int nk, nr;
  const char* cipher;
};

TEST(Aes, Fips197AppendixC) {
  const Bytes plain = Hex("00112233445566778899aabbccddeeff");
  const FipsCase cases[] = {
      {16, 4, 10, "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {24, 6, 12, "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {32, 8, 14, "8ea2b7ca516745bfeafc49904b496089"},
  };
  AES aes;
  // With the processor's AES instructions where it has them, and with the tables.
  for (const bool instructions : {true, false}) {
    const bool before = UseAesInstructions(instructions);
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.keyLen << (instructions ? " instructions" : " tables"));
      aes.SetKey(Counting(c.keyLen).data(), c.keyLen);
      EXPECT_EQ(aes.Nk, c.nk);
      EXPECT_EQ(aes.Nr, c.nr);
      Bytes block = plain;
      aes.Encrypt(block.data());
      EXPECT_EQ(block, Hex(c.cipher));
      aes.Decrypt(block.data());
      EXPECT_EQ(block, plain);
    }
    UseAesInstructions(before);
  }
}

TEST(Aes, RekeyingToShorterKeyAndRoundTrips) {
  // A 256-bit key leaves more round keys than a 128-bit one uses; the next key must be whole.
  AES aes;
  aes.SetKey(Counting(32).data(), 32);
  aes.SetKey(Counting(16).data(), 16);
  Bytes block = Hex("00112233445566778899aabbccddeeff");
  aes.Encrypt(block.data());
  EXPECT_EQ(block, Hex("69c4e0d86a7b0430d8cdb78070b4c55a"));

  std::mt19937 rng(7);
  for (std::size_t keyLen : {16u, 24u, 32u}) {
    for (int i = 0; i < 200; ++i) {
      Bytes key(keyLen), plain(16);
      for (auto& b : key) b = static_cast<std::uint8_t>(rng());
      for (auto& b : plain) b = static_cast<std::uint8_t>(rng());
      aes.SetKey(key.data(), keyLen);
      Bytes block = plain;
      aes.Encrypt(block.data());
      EXPECT_NE(block, plain);
      aes.Decrypt(block.data());
      ASSERT_EQ(block, plain) << keyLen << " " << i;
    }
  }
  EXPECT_THROW(aes.SetKey(Counting(20).data(), 20), std::invalid_argument);

  // Keying again with the key held keeps the schedule; the all-zero key on a new cipher, whose
  // schedule starts all zero, is still applied.
  AES zero;
  const Bytes zeroKey(16);
  for (int i = 0; i < 2; ++i) {
    zero.SetKey(zeroKey.data(), 16);
    Bytes z(16);
    zero.Encrypt(z.data());
    EXPECT_EQ(z, Hex("66e94bd4ef8a2c3b884cfa59ca342b2e"));
  }
  zero.SetKey(Counting(16).data(), 16);
  zero.SetKey(Counting(16).data(), 16);
  Bytes again = Hex("00112233445566778899aabbccddeeff");
  zero.Encrypt(again.data());
  EXPECT_EQ(again, Hex("69c4e0d86a7b0430d8cdb78070b4c55a"));
}

// RFC 4493 section 4, key 2b7e1516...
class Rfc4493 : public ::testing::Test {
 protected:
  void SetUp() override { ctx.aes.SetKey(Hex("2b7e151628aed2a6abf7158809cf4f3c").data()); }
  Bytes Tag(const Bytes& m) {
    Bytes t(16);
    ctx.cmac.Init();
    ctx.cmac.Update(m.data(), m.size());
    ctx.cmac.Final(t.data());
    return t;
  }
  const Bytes msg64 =
      Hex("6bc1bee2 2e409f96 e93d7e11 7393172a ae2d8a57 1e03ac9c 9eb76fac 45af8e51"
          "30c81c46 a35ce411 e5fbc119 1a0a52ef f69f2445 df4f9b17 ad2b417b e66c3710");
  const Bytes k1 = Hex("fbeed618357133667c85e08f7236a8de");
  const Bytes k2 = Hex("f7ddac306ae266ccf90bc11ee46d513b");
  SigningContext ctx;
};

TEST_F(Rfc4493, Examples) {
  EXPECT_EQ(Tag({}), Hex("bb1d6929e95937287fa37d129b756746"));
  EXPECT_EQ(Tag(Bytes(msg64.begin(), msg64.begin() + 16)), Hex("070a16b46b4d4144f79bdd9dd04a287c"));
  EXPECT_EQ(Tag(Bytes(msg64.begin(), msg64.begin() + 40)), Hex("dfa66747de9ae63030ca32611497c827"));
  EXPECT_EQ(Tag(msg64), Hex("51f0bebf7e3b9d92fc49741779363cfe"));
}

TEST_F(Rfc4493, SignatureIsFirstEightBytesOfTag) {
  std::uint8_t sig[8];
  FrameSignature(ctx, msg64.data(), 40, sig);
  EXPECT_EQ(Bytes(sig, sig + 8), Hex("dfa66747de9ae630"));
  // The context is reset by each signature, so an earlier one leaves no trace.
  FrameSignature(ctx, nullptr, 0, sig);
  EXPECT_EQ(Bytes(sig, sig + 8), Hex("bb1d6929e9593728"));
}

TEST_F(Rfc4493, UpdateKeepsLastBlockPending) {
  ctx.cmac.Init();
  ctx.cmac.Update(msg64.data(), 16);
  EXPECT_EQ(ctx.cmac.pendingLength, 16u);
  EXPECT_EQ(Bytes(ctx.cmac.chaining, ctx.cmac.chaining + 16), Bytes(16, 0));

  // 17 bytes: one block processed, one byte pending.
  ctx.cmac.Init();
  ctx.cmac.Update(msg64.data(), 17);
  EXPECT_EQ(ctx.cmac.pendingLength, 1u);
  Bytes first(msg64.begin(), msg64.begin() + 16);
  ctx.aes.Encrypt(first.data());
  EXPECT_EQ(Bytes(ctx.cmac.chaining, ctx.cmac.chaining + 16), first);

  // A full pending block is processed only once more bytes arrive.
  ctx.cmac.Init();
  ctx.cmac.Update(msg64.data(), 16);
  ctx.cmac.Update(msg64.data() + 16, 0);
  EXPECT_EQ(ctx.cmac.pendingLength, 16u);
  ctx.cmac.Update(msg64.data() + 16, 1);
  EXPECT_EQ(ctx.cmac.pendingLength, 1u);
  EXPECT_EQ(Bytes(ctx.cmac.chaining, ctx.cmac.chaining + 16), first);
}

TEST_F(Rfc4493, SplitUpdatesEqualOneCall) {
  const Bytes whole = Tag(msg64);
  Bytes t(16);
  ctx.cmac.Init();
  ctx.cmac.Update(msg64.data(), 8);
  ctx.cmac.Update(msg64.data() + 8, 8);
  ctx.cmac.Final(t.data());
  EXPECT_EQ(t, Tag(Bytes(msg64.begin(), msg64.begin() + 16)));

  // Every two-piece split of the 64 bytes, and byte-at-a-time.
  for (std::size_t cut = 0; cut <= 64; ++cut) {
    ctx.cmac.Init();
    ctx.cmac.Update(msg64.data(), cut);
    ctx.cmac.Update(msg64.data() + cut, 64 - cut);
    ctx.cmac.Final(t.data());
    EXPECT_EQ(t, whole) << "cut " << cut;
  }
  ctx.cmac.Init();
  for (std::size_t i = 0; i < 64; ++i) ctx.cmac.Update(msg64.data() + i, 1);
  ctx.cmac.Final(t.data());
  EXPECT_EQ(t, whole);
}

// A signed request with a 5-byte payload signs 16 bytes on the K1 path; an empty payload
// signs 11 bytes on the K2 path with the padding bit at index 11.
TEST_F(Rfc4493, SignedFrameBoundaries) {
  std::uint8_t frame[64];
  const std::uint8_t payload[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(BuildSignedFrameBody(0x31310042, 9, 'c', payload, 5, frame), 24u);
  Bytes want(frame, frame + 16);
  for (int i = 0; i < 16; ++i) want[i] ^= k1[i];
  ctx.aes.Encrypt(want.data());
  std::uint8_t sig[8];
  FrameSignature(ctx, frame, 16, sig);
  EXPECT_EQ(Bytes(sig, sig + 8), Bytes(want.begin(), want.begin() + 8));
  EXPECT_EQ(ctx.cmac.pendingLength, 16u);

  ASSERT_EQ(BuildSignedFrameBody(0x31310042, 9, 'D', nullptr, 0, frame), 19u);
  want.assign(frame, frame + 11);
  want.push_back(0x80);
  want.resize(16, 0);
  for (int i = 0; i < 16; ++i) want[i] ^= k2[i];
  ctx.aes.Encrypt(want.data());
  FrameSignature(ctx, frame, 11, sig);
  EXPECT_EQ(Bytes(sig, sig + 8), Bytes(want.begin(), want.begin() + 8));
  EXPECT_EQ(ctx.cmac.pendingLength, 11u);
}

TEST(SigningContextCopy, SignsWithItsOwnCipher) {
  const Bytes msg = Counting(40);
  std::uint8_t want[8], got[8];
  SigningContext reference;
  reference.aes.SetKey(Counting(16).data());
  FrameSignature(reference, msg.data(), msg.size(), want);

  auto original = std::make_unique<SigningContext>();
  original->aes.SetKey(Counting(16).data());
  SigningContext copy(*original);
  SigningContext assigned;
  assigned = *original;
  original->aes.SetKey(Bytes(16, 0xEE).data());  // the source's later key must not leak in
  original.reset();                              // nor must the copy outlive its source badly
  FrameSignature(copy, msg.data(), msg.size(), got);
  EXPECT_EQ(Bytes(got, got + 8), Bytes(want, want + 8));
  FrameSignature(assigned, msg.data(), msg.size(), got);
  EXPECT_EQ(Bytes(got, got + 8), Bytes(want, want + 8));
}

TEST(SessionKey, DerivedInPlaceAndCipherLeftKeyedWithR) {
  SigningContext ctx;
  Bytes r = Counting(16);
  Bytes key = r;
  DeriveSessionKey(ctx, key.data());
  // The value itself is checked against OpenSSL in the differential suite.
  EXPECT_NE(key, r);
  Bytes probe = Hex("00112233445566778899aabbccddeeff");
  ctx.aes.Encrypt(probe.data());
  EXPECT_EQ(probe, Hex("69c4e0d86a7b0430d8cdb78070b4c55a"));
}

}  // namespace
}  // namespace zav
