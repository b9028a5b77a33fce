// Writes the seed corpus of every target: fuzz_seeds DIR.
#include <cstdio>

#include "fuzz/seed_corpus.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const int n = zav::fuzz::WriteSeeds(argv[1]);
  std::printf("%d seeds written to %s\n", n, argv[1]);
  return n > 0 ? 0 : 1;
}
