#include "natural_order.h"

#include <cctype>
#include <tuple>

namespace quarn::ports {

namespace {

// "ttyUSB10" -> "ttyUSB", 10; a name without a trailing number has none (-1, before every number).
std::pair<std::string, long long> SplitTrailingNumber(const std::string& name) {
  size_t digits = name.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
  // More digits than a long long holds are no port number; such names compare as plain text.
  if (digits == name.size() || name.size() - digits > 18) return {name, -1};
  return {name.substr(0, digits), std::stoll(name.substr(digits))};
}

}  // namespace

bool NaturalLess(const std::string& left, const std::string& right) {
  auto [leftStem, leftNumber] = SplitTrailingNumber(left);
  auto [rightStem, rightNumber] = SplitTrailingNumber(right);
  return std::tie(leftStem, leftNumber, left) < std::tie(rightStem, rightNumber, right);
}

}  // namespace quarn::ports
