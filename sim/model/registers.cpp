#include "sim/model/registers.h"

namespace quarn::sim {

namespace {

constexpr uint8_t kDefaultPowerDbm = 26;
constexpr uint8_t kDefaultStreamIntervalMs = 30;
constexpr uint8_t kDefaultAntenna = 1;
// Hopping over 50 channels from 902.75 MHz in 500 kHz steps, 100 ms on each.
constexpr uint8_t kDefaultFrequency[kFrequencyBytes] = {0x01, 0x32, 0xF5, 0x1E, 0x0A, 0x0A, 0x00};

}  // namespace

Registers::Registers() : working_(FactoryDefaults()), saved_(FactoryDefaults()) {}

RegisterBytes Registers::FactoryDefaults() {
  RegisterBytes bytes{};
  bytes[reg::kReadPower] = kDefaultPowerDbm;
  bytes[reg::kWritePower] = kDefaultPowerDbm;
  for (size_t i = 0; i < kFrequencyBytes; ++i) bytes[reg::kFrequency + i] = kDefaultFrequency[i];
  bytes[reg::kStreamInterval] = kDefaultStreamIntervalMs;
  bytes[reg::kChosenAntenna] = kDefaultAntenna;
  return bytes;
}

}  // namespace quarn::sim
