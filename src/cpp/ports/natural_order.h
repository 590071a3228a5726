#pragma once
// Port names in the order a person counts them: ttyS2 before ttyS10, ttyUSB9 before ttyUSB10.

#include <string>

namespace quarn::ports {

bool NaturalLess(const std::string& left, const std::string& right);

}  // namespace quarn::ports
