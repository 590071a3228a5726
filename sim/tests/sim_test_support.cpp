#include "sim_test_support.h"

#include <gtest/gtest.h>

namespace quarn::sim::testing {

std::vector<Bytes> UnstuffFrames(const Bytes& wire) {
  std::vector<Bytes> frames;
  Bytes current;
  bool inFrame = false;
  bool escaped = false;
  for (uint8_t byte : wire) {
    if (!inFrame) {
      if (byte == 0xAA) {
        current = {byte};
        inFrame = true;
      }
      continue;
    }
    if (escaped) {
      current.push_back(byte);
      escaped = false;
    } else if (byte == 0xFF) {
      escaped = true;
    } else if (byte == 0x55) {
      current.push_back(byte);
      frames.push_back(current);
      inFrame = false;
    } else {
      current.push_back(byte);
    }
  }
  return frames;
}

Reply ParseReply(const Bytes& frame, bool antennaFrame) {
  Reply reply;
  if (frame.size() < 5) return reply;
  reply.twoByteForm = (frame[1] & 0x80) != 0;
  const size_t bodyLength = reply.twoByteForm ? (frame[1] & 0x7Fu) * 128 + frame[2] : frame[1];
  EXPECT_EQ(bodyLength + 2, frame.size()) << "length field does not match the frame";
  size_t position = reply.twoByteForm ? 3 : 2;
  if (antennaFrame) {
    EXPECT_EQ(frame[position], 0xFE);
    reply.antenna = frame[position + 1];
    position += 2;
  }
  reply.code = frame[position];
  reply.status = frame[position + 1];
  size_t end = frame.size() - 1;
  if (reply.code & 0x80) {
    end -= 2;
    const uint16_t crc = FrameCrc(frame.data() + 1, end - 1);
    reply.crcPresentAndRight = crc == ((frame[end] << 8) | frame[end + 1]);
  }
  reply.data.assign(frame.begin() + static_cast<std::ptrdiff_t>(position + 2),
                    frame.begin() + static_cast<std::ptrdiff_t>(end));
  return reply;
}

Bytes Bench::Wire(const Bytes& wire) {
  reader.Receive(wire, nowUs);
  return reader.TakeOutput(nowUs);
}

std::vector<Reply> Bench::Exchange(uint8_t plainCode, const Bytes& params, bool crc, bool antennaFrames) {
  const Bytes out = Wire(StuffFrame(BuildCommandFrame(plainCode, params, crc)));
  std::vector<Reply> replies;
  for (const Bytes& frame : UnstuffFrames(out)) replies.push_back(ParseReply(frame, antennaFrames));
  return replies;
}

Reply Bench::Command(uint8_t plainCode, const Bytes& params, bool crc) {
  std::vector<Reply> replies = Exchange(plainCode, params, crc);
  EXPECT_EQ(replies.size(), 1u) << "command 0x" << std::hex << int{plainCode};
  return replies.empty() ? Reply{} : replies.front();
}

std::vector<Reply> Bench::Wait(uint64_t ms, bool antennaFrames) {
  const uint64_t end = nowUs + ms * 1000;
  Bytes out;
  // Step through the events one by one, as the pty server's loop would.
  while (true) {
    const std::optional<uint64_t> next = reader.NextEventUs();
    if (!next || *next > end) break;
    nowUs = std::max(nowUs, *next);
    reader.Advance(nowUs);
    const Bytes due = reader.TakeOutput(nowUs);
    out.insert(out.end(), due.begin(), due.end());
  }
  nowUs = end;
  std::vector<Reply> replies;
  for (const Bytes& frame : UnstuffFrames(out)) replies.push_back(ParseReply(frame, antennaFrames));
  return replies;
}

Scenario TagsScenario(std::initializer_list<Bytes> epcs) {
  Scenario scenario;
  for (const Bytes& epc : epcs) {
    TagEntry entry;
    entry.contents.epc = epc;
    scenario.tags.push_back(entry);
  }
  return scenario;
}

}  // namespace quarn::sim::testing
