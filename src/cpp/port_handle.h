#pragma once
// The Reader keeps its port as an integer so that the public header needs no system type; these turn
// it into the library's PortHandle and back.

#include <cstdint>

#include "quarn_api.h"

namespace quarn::cpp {

inline PortHandle ToPortHandle(std::intptr_t port) {
#if defined(_WIN32)
  return reinterpret_cast<PortHandle>(port);
#else
  return static_cast<PortHandle>(port);
#endif
}

inline std::intptr_t FromPortHandle(PortHandle port) {
#if defined(_WIN32)
  return reinterpret_cast<std::intptr_t>(port);
#else
  return static_cast<std::intptr_t>(port);
#endif
}

}  // namespace quarn::cpp
