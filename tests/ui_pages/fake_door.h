// A controller on the scripted network that holds an open session with the tool: it answers
// the status poll, serves configuration blocks for "C" and records every "c" it acknowledges.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "link/wire.h"
#include "tests/support/scripted_endpoint.h"

namespace zav::testing {

class FakeDoor {
 public:
  FakeDoor(ScriptedEndpoint& ep, DeviceId id, std::string addr);

  struct Written {
    int kind;
    int index;
    std::vector<std::uint8_t> data;  // the bytes after kind and index
  };

  // "C" reply payloads by (kind, index); a block not found is answered with an empty payload.
  std::map<std::pair<int, int>, std::vector<std::uint8_t>> blocks;
  std::vector<Written> writes;
  int nakFromWrite = -1;     // the write with this number (from 0) and later ones are refused
  std::uint8_t mode = 0x83;  // Instalacja, session held
  std::uint8_t key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  DeviceId id;
  std::string addr;

 private:
  void OnDatagram(const Datagram& d);
  void ReplySigned(char letter, std::uint16_t seq, const std::vector<std::uint8_t>& payload);
  ScriptedEndpoint& ep_;
};

}  // namespace zav::testing
