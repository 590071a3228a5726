// decode: a frame in hex taken apart into its fields, offline.

#include <memory>

#include "arguments.h"
#include "command_names.h"
#include "commands.h"
#include "frame_decoder.h"

namespace quarn::cli {

namespace {

struct DecodeArgs {
  std::vector<std::string> hex;
  bool reply = false;
};

std::string CodeText(const DecodedFrame& frame) {
  const CommandInfo* command = FindCommand(frame.code);
  std::string text = ByteText(frame.code) + " " + (command ? command->name : "(unknown command)");
  return text + (frame.crcMode ? ", CRC mode" : ", plain mode");
}

Report Decode(const DecodeArgs& args) {
  std::string joined;
  for (const auto& part : args.hex) joined += part;
  DecodedFrame frame = DecodeFrame(ParseHex(joined, "frame"));
  bool reply = args.reply || frame.antennaFrame;

  Report report;
  std::vector<std::pair<std::string, std::string>> lines;
  report.data["frame"] = HexText(frame.frame);
  lines.emplace_back("frame", SpacedHex(frame.frame) + " (" + Counted(frame.frame.size(), "byte") + " unstuffed)");
  if (frame.bodyLength >= 0) {
    report.data["length"] = frame.bodyLength;
    report.data["lengthForm"] = frame.twoByteLength ? "two-byte" : "one-byte";
    lines.emplace_back("length", std::to_string(frame.bodyLength) + (frame.twoByteLength ? " (two-byte form)" : ""));
  }
  if (frame.code >= 0) {
    const CommandInfo* command = FindCommand(frame.code);
    report.data["direction"] = reply ? "reply" : "command";
    report.data["code"] = frame.code;
    report.data["command"] = command ? command->name : nullptr;
    report.data["crcMode"] = frame.crcMode;
    lines.emplace_back("kind", reply ? "reply" : "command");
    if (frame.antennaFrame) {
      report.data["antenna"] = frame.antenna;
      lines.emplace_back("antenna", std::to_string(frame.antenna));
    }
    lines.emplace_back("code", CodeText(frame));
    Json fields = Json::object();
    for (const auto& field : reply ? ReplyFields(frame.payload) : CommandFields(frame.code, frame.payload)) {
      fields[field.name] = field.value;
      lines.emplace_back(field.name, field.value);
    }
    report.data["fields"] = fields;
  }
  if (frame.crcCarried) {
    report.data["crc"] =
        HexText(Bytes{static_cast<uint8_t>(*frame.crcCarried >> 8), static_cast<uint8_t>(*frame.crcCarried & 0xFF)});
    report.data["crcCorrect"] = *frame.crcCarried == *frame.crcComputed;
    lines.emplace_back("CRC", report.data["crc"].get<std::string>() +
                                  (*frame.crcCarried == *frame.crcComputed ? " (correct)" : " (wrong)"));
  }
  Json problems = Json::array();
  for (const auto& problem : frame.problems) {
    problems.push_back(problem);
    lines.emplace_back("problem", problem);
  }
  report.data["problems"] = problems;
  bool valid = frame.complete && frame.problems.empty() && frame.code >= 0;
  report.data["valid"] = valid;
  if (!valid) report.exitStatus = kExitFailed;
  report.text = FieldsText(lines);
  return report;
}

}  // namespace

void AddDecodeCommand(CLI::App& app, CommandSet& commands) {
  auto args = std::make_shared<DecodeArgs>();
  auto* command = commands.Add(app, "decode", "take a frame in hex apart into its fields (no reader needed)",
                               [args](Context&) { return Decode(*args); });
  command->add_option("frame", args->hex, "the frame's bytes in hex, as on the wire (escapes included)")->required();
  command->add_flag("-r,--reply", args->reply, "read it as the reader's reply (antenna frames always are)");
}

}  // namespace quarn::cli
