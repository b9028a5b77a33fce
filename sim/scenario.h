// Scenarios: which controllers a simulated network holds, their bus tables and stored blocks.
#pragma once

#include <string>

#include "sim/sim_network.h"

namespace zav::sim {

// First controller address of the test network (scripts/netns gives the controller namespace
// aliases from here upwards).
inline constexpr std::uint32_t kFirstAddress = (10u << 24) | (77u << 16) | 10u;

// Four door controllers (2, 8 and 16 passages) in modes Serwis and Instalacja, a lift
// controller, controllers in Blokada and Konfiguracja, a device of another family, and one
// whose class nibble discovery must ignore.
void LoadDefaultScenario(SimNetwork& net, std::uint32_t firstAddress = kFirstAddress);

// Loads a JSON scenario; throws std::runtime_error with a message naming what is wrong.
void LoadScenarioText(SimNetwork& net, const std::string& json);
void LoadScenarioFile(SimNetwork& net, const std::string& path);

// n door controllers more, on the addresses after the last one in use.
void AddExtraControllers(SimNetwork& net, int n);

}  // namespace zav::sim
