// The state the whole link shares: the endpoint and clock in use, and the one signing context.
#pragma once

#include "link/cmac.h"
#include "link/endpoint.h"

namespace zav {

class Link {
 public:
  // Makes ep and clock the ones every controller operation uses. Both must outlive their use.
  static void Use(UdpEndpoint* ep, Clock* clock);
  static UdpEndpoint& Udp();  // throws std::runtime_error when none is set
  static Clock& Time();       // throws std::runtime_error when none is set
  static SigningContext& Signing();
};

}  // namespace zav
