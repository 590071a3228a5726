#include "messages.h"

#include <cstdio>
#include <ctime>

namespace quarn::watch {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

std::string Line(const Json& object) { return object.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string IsoTime(WallTime time) {
  auto sinceEpoch = std::chrono::duration_cast<Millis>(time.time_since_epoch()).count();
  // Floor division, so times before 1970 still get a millisecond field of 0..999.
  long long seconds = sinceEpoch / 1000 - (sinceEpoch % 1000 < 0 ? 1 : 0);
  int millis = static_cast<int>(sinceEpoch - seconds * 1000);
  std::time_t whole = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&whole, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
  return text;
}

std::string HexUpper(const Bytes& bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t byte : bytes) {
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 0x0F];
  }
  return text;
}

std::string PcHex(uint16_t pc) { return HexUpper({static_cast<uint8_t>(pc >> 8), static_cast<uint8_t>(pc & 0xFF)}); }

std::string TopicSafeName(const std::string& name) {
  std::string last = name;
  while (!last.empty() && last.back() == '/') last.pop_back();
  if (auto slash = last.rfind('/'); slash != std::string::npos) last = last.substr(slash + 1);
  for (char& c : last) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                 c == '_' || c == '-';
    if (!plain) c = '_';
  }
  return last.empty() ? "reader" : last;
}

Json Header(WallTime time, const std::string& reader, const char* event) {
  return Json{{"time", IsoTime(time)}, {"reader", reader}, {"event", event}};
}

Json ReadJson(WallTime time, const std::string& reader, uint64_t seq, const TagRead& read) {
  Json object = Header(time, reader, "read");
  object["seq"] = seq;
  object["epc"] = HexUpper(read.epc);
  object["pc"] = PcHex(read.pc);
  if (read.antenna) object["antenna"] = *read.antenna;
  return object;
}

Json EventJson(const std::string& reader, uint64_t seq, const PresenceEvent& event) {
  bool arrive = event.kind == Presence::kArrive;
  Json object = Header(event.time, reader, arrive ? "arrive" : "depart");
  object["seq"] = seq;
  object["epc"] = HexUpper(event.epc);
  object["pc"] = PcHex(event.pc);
  if (event.antenna) object["antenna"] = *event.antenna;
  if (!arrive) {
    object["lastSeen"] = IsoTime(event.lastSeen);
    object["reads"] = event.reads;
    if (event.evicted) object["evicted"] = true;
  }
  return object;
}

}  // namespace quarn::watch
