#include "reader/frequency.h"

#include "link/exchange.h"

namespace quarn::reader {

using link::CommandFrame;
using link::ReceivedFrame;
using link::Result;
namespace commands = link::commands;

Result GetFrequency(PortHandle port, const FrequencyOutputs& outputs, uint32_t crcFlag) {
  CommandFrame frame(commands::kGetFrequency, crcFlag);
  ReceivedFrame reply;
  const Result result = link::Exchange(port, frame, reply);
  if (!result) return result;
  const uint8_t* config = reply.View().Data(0, kFrequencyConfigSize);
  if (config == nullptr) return link::TooShort();
  *outputs.freq0 = config[0];
  *outputs.freq1 = config[1];
  outputs.freq23[0] = config[2];
  outputs.freq23[1] = config[3];
  *outputs.freq4 = config[4];
  *outputs.freq5 = config[5];
  *outputs.freq6 = config[6];
  return result;
}

Result SetFrequency(PortHandle port, const FrequencyInputs& inputs, uint32_t crcFlag) {
  CommandFrame frame(commands::kSetFrequency, crcFlag);
  frame.Byte(inputs.freq0).Byte(inputs.freq1).Bytes(inputs.freq23, 2);
  frame.Byte(inputs.freq4).Byte(inputs.freq5).Byte(inputs.freq6);
  return link::Exchange(port, frame);
}

}  // namespace quarn::reader
