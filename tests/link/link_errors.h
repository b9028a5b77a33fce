#pragma once

#include <functional>

#include "link/uerr.h"

namespace zav::testing {

// The code of the UErr f raises (0 when it returns), and its command letter.
inline int ThrownCode(const std::function<void()>& f, char* letter = nullptr) {
  try {
    f();
  } catch (const UErr& e) {
    if (letter) *letter = e.cmd;
    return e.code;
  }
  return 0;
}

}  // namespace zav::testing
