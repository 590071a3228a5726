#pragma once
// The limits the figures are held against, and the median every figure is taken as.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quarn::bench {

// 8N1: a start bit, eight data bits and a stop bit carry one byte.
inline constexpr double kBitsPerByte = 10.0;
inline constexpr double kLineBaud = 115200.0;
inline constexpr double kLineBytesPerSecond = kLineBaud / kBitsPerByte;

// How many frames of that many wire bytes (escapes included) a 115200-baud line carries a second.
inline double LineFramesPerSecond(size_t wireBytesPerFrame) {
  return kLineBytesPerSecond / static_cast<double>(wireBytesPerFrame);
}

// The median keeps a figure steady on a machine where other work steals a slice now and then.
inline double Median(std::vector<double> samples) {
  if (samples.empty()) return 0.0;
  const size_t middle = samples.size() / 2;
  std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(middle), samples.end());
  return samples[middle];
}

}  // namespace quarn::bench
