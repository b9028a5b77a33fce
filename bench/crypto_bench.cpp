// Signatures per second of a 1400-byte frame: the link's own AES-CMAC against OpenSSL's CMAC
// (EVP_MAC), in the same run. Both sign the same bytes under the same key; the run stops when
// their tags differ, since a fast wrong signature is worth nothing.
#include <benchmark/benchmark.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "link/cmac.h"

namespace {

constexpr std::size_t kFrame = 1400;
const std::uint8_t kKey[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                               0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};

std::vector<std::uint8_t> Frame() {
  std::vector<std::uint8_t> f(kFrame);
  for (std::size_t i = 0; i < kFrame; ++i) f[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return f;
}

class OsslCmac {
 public:
  OsslCmac() {
    mac_ = EVP_MAC_fetch(nullptr, "CMAC", nullptr);
    ctx_ = mac_ ? EVP_MAC_CTX_new(mac_) : nullptr;
    char cipher[] = "AES-128-CBC";
    OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_CIPHER, cipher, 0),
                           OSSL_PARAM_END};
    ok_ = ctx_ && EVP_MAC_init(ctx_, kKey, sizeof kKey, params) == 1;
  }
  ~OsslCmac() {
    EVP_MAC_CTX_free(ctx_);
    EVP_MAC_free(mac_);
  }
  OsslCmac(const OsslCmac&) = delete;
  OsslCmac& operator=(const OsslCmac&) = delete;

  bool ok() const { return ok_; }
  // A new message under the key already set, as the link signs frame after frame.
  bool Sign(const std::uint8_t* data, std::size_t n, std::uint8_t* out16) {
    std::size_t len = 0;
    return EVP_MAC_init(ctx_, nullptr, 0, nullptr) == 1 && EVP_MAC_update(ctx_, data, n) == 1 &&
           EVP_MAC_final(ctx_, out16, &len, 16) == 1 && len == 16;
  }

 private:
  EVP_MAC* mac_ = nullptr;
  EVP_MAC_CTX* ctx_ = nullptr;
  bool ok_ = false;
};

void BM_FrameSignature(benchmark::State& state) {
  const auto frame = Frame();
  zav::SigningContext ctx;
  ctx.aes.SetKey(kKey, sizeof kKey);
  std::uint8_t out[8];
  for (auto _ : state) {
    zav::FrameSignature(ctx, frame.data(), frame.size(), out);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kFrame));
}
BENCHMARK(BM_FrameSignature);

void BM_OpenSslCmac(benchmark::State& state) {
  const auto frame = Frame();
  OsslCmac mac;
  std::uint8_t out[16];
  for (auto _ : state) {
    if (!mac.Sign(frame.data(), frame.size(), out)) {
      state.SkipWithError("EVP_MAC failed");
      break;
    }
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kFrame));
}
BENCHMARK(BM_OpenSslCmac);

// Keeps the signatures per second of every run while printing as usual.
class Collector : public benchmark::ConsoleReporter {
 public:
  // Plain text: the summary lines that follow must start their own lines.
  Collector() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      auto it = r.counters.find("items_per_second");
      if (it != r.counters.end() && !r.error_occurred) rates[r.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv) {
  const auto frame = Frame();
  zav::SigningContext ctx;
  ctx.aes.SetKey(kKey, sizeof kKey);
  std::uint8_t ours[8];
  zav::FrameSignature(ctx, frame.data(), frame.size(), ours);
  OsslCmac mac;
  std::uint8_t theirs[16];
  if (!mac.ok() || !mac.Sign(frame.data(), frame.size(), theirs)) {
    std::fprintf(stderr, "OpenSSL CMAC is not available\n");
    return 1;
  }
  if (std::memcmp(ours, theirs, 8) != 0) {
    std::fprintf(stderr, "the frame signature differs from OpenSSL's CMAC\n");
    return 1;
  }

  benchmark::Initialize(&argc, argv);
  Collector reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const double a = reporter.rates["BM_FrameSignature"];
  const double b = reporter.rates["BM_OpenSslCmac"];
  if (a <= 0 || b <= 0) return 1;
  std::printf("crypto_signatures_per_s: %.0f /s (OpenSSL CMAC %.0f /s; for information)\n", a, b);
  std::printf("crypto_ratio_vs_openssl: %.3f x (for information)\n", a / b);
  return 0;
}
