#pragma once
// The objects the watch delivers, one JSON object per line on stdout and one per MQTT message, and
// the few rules that shape them: UTC times with milliseconds, uppercase hex, topic-safe reader names.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "reader_session.h"

namespace quarn::watch {

using Json = nlohmann::ordered_json;

enum class MessageKind { kRead, kEvent, kStatus };

// One object for the outputs: its kind picks the MQTT topic, reader the reader it is about.
struct Message {
  MessageKind kind = MessageKind::kRead;
  std::string reader;
  std::string line;  // the object as one line of JSON, without the newline
};

// The object as one line; bytes that are not UTF-8 (a port name can hold any) become U+FFFD.
std::string Line(const Json& object);

// "2026-12-08T10:15:30.123Z".
std::string IsoTime(WallTime time);
std::string HexUpper(const Bytes& bytes);
std::string PcHex(uint16_t pc);

// A name that may stand as one level of an MQTT topic: the last component of a path (a by-id link's
// name), with every character but letters, digits, '.', '_' and '-' replaced by '_'.
std::string TopicSafeName(const std::string& name);

// The fields every object starts with, in this order: time, reader, event.
Json Header(WallTime time, const std::string& reader, const char* event);

Json ReadJson(WallTime time, const std::string& reader, uint64_t seq, const TagRead& read);

enum class Presence { kArrive, kDepart };
struct PresenceEvent {
  Presence kind = Presence::kArrive;
  WallTime time{};
  uint16_t pc = 0;
  Bytes epc;
  std::optional<int> antenna;
  // depart only:
  WallTime lastSeen{};
  uint64_t reads = 0;
  bool evicted = false;  // dropped to make room for a new tag, not gone for the hold time
};
Json EventJson(const std::string& reader, uint64_t seq, const PresenceEvent& event);

}  // namespace quarn::watch
