// Seed inputs for every fuzz target, built from valid frames and payloads, so that the fuzzers
// start from conversations that reach the decoders instead of from noise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zav::fuzz {

using Input = std::vector<std::uint8_t>;

// The seeds of the target with that name (empty for an unknown name).
std::vector<Input> Seeds(const std::string& target);

// Writes the seeds of every target under dir/<target>/seed-NN; returns the number written.
int WriteSeeds(const std::string& dir);

}  // namespace zav::fuzz
