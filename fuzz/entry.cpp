// The libFuzzer entry of one target; ZAV_FUZZ_ENTRY names the target's function.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return zav::fuzz::ZAV_FUZZ_ENTRY(data, size);
}
