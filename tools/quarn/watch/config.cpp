#include "config.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <optional>
#include <sstream>

#include "arguments.h"
#include "quarn/filter.h"
#include "session.h"
#include "report.h"

namespace quarn::watch {

using cli::FailUsage;
using JsonValue = nlohmann::json;

namespace {

constexpr double kLongestInterval = 7 * 24 * 3600.0;

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string Describe(const JsonValue& value) {
  std::string text = value.dump();
  return text.size() > 40 ? text.substr(0, 37) + "..." : text;
}

void CheckKeys(const JsonValue& object, std::initializer_list<const char*> allowed, const std::string& where) {
  if (!object.is_object()) FailUsage(where + " must be a JSON object, not " + Describe(object));
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    std::string list;
    for (const char* name : allowed) {
      known = known || key == name;
      list += (list.empty() ? "" : ", ") + std::string(name);
    }
    if (!known) FailUsage(where + " has \"" + key + "\", which the watch does not know; it knows " + list);
  }
}

long Integer(const JsonValue& value, long low, long high, const std::string& where) {
  if (!value.is_number_integer() || value.get<long long>() < low || value.get<long long>() > high)
    FailUsage(where + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
              ", not " + Describe(value));
  return static_cast<long>(value.get<long long>());
}

bool Boolean(const JsonValue& value, const std::string& where) {
  if (!value.is_boolean()) FailUsage(where + " must be true or false, not " + Describe(value));
  return value.get<bool>();
}

std::string Text(const JsonValue& value, const std::string& where) {
  if (!value.is_string() || value.get<std::string>().empty())
    FailUsage(where + " must be a text that is not empty, not " + Describe(value));
  return value.get<std::string>();
}

Millis Seconds(const JsonValue& value, double lowest, const std::string& where) {
  if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < lowest ||
      value.get<double>() > kLongestInterval)
    FailUsage(where + " must be a number of seconds from " + Number(lowest) + " to a week, not " + Describe(value));
  return Millis(static_cast<long long>(std::llround(value.get<double>() * 1000)));
}

// A value the tool's own parsers read, whose usage failure gets the place in the file in front.
template <typename Parse>
auto Parsed(const std::string& where, Parse parse) {
  try {
    return parse();
  } catch (const cli::Failure& failure) {
    FailUsage(where + ": " + failure.what());
  }
}

int Target(const JsonValue& value, const std::string& where) {
  if (value.is_number_integer()) return static_cast<int>(Integer(value, 0, 7, where));
  if (const std::optional<uint8_t> named = quarn::ParseSelectTarget(Text(value, where))) return *named;
  FailUsage(where + " must be s0, s1, s2, s3, sl or a number 0 to 7, not " + Describe(value));
}

SelectFilter Filter(const JsonValue& object, const std::string& where) {
  CheckKeys(object, {"index", "target", "action", "bank", "pointer", "mask", "maskBits", "truncate"}, where);
  SelectFilter filter;
  if (object.contains("index")) filter.index = static_cast<int>(Integer(object["index"], 0, 255, where + ".index"));
  if (object.contains("target")) filter.target = Target(object["target"], where + ".target");
  if (object.contains("action")) filter.action = static_cast<int>(Integer(object["action"], 0, 255, where + ".action"));
  if (object.contains("bank")) {
    const JsonValue& bank = object["bank"];
    std::string text = bank.is_number_integer() ? std::to_string(bank.get<long long>()) : Text(bank, where + ".bank");
    filter.bank = Parsed(where + ".bank", [&] { return cli::ParseBank(text); });
  }
  if (object.contains("pointer")) filter.pointer = Integer(object["pointer"], 0, 16383, where + ".pointer");
  if (!object.contains("mask")) FailUsage(where + " needs a \"mask\" (hex)");
  std::string maskText = object["mask"].is_string() ? object["mask"].get<std::string>() : "";
  filter.mask = Parsed(where + ".mask", [&] { return cli::ParseHex(maskText, "mask"); });
  if (filter.mask.size() > 32) FailUsage(where + ".mask holds at most 32 bytes");
  filter.maskBits = object.contains("maskBits") ? static_cast<int>(Integer(object["maskBits"], 0, 255, where + ".maskBits"))
                                                : static_cast<int>(std::min<size_t>(filter.mask.size() * 8, 255));
  if (static_cast<size_t>(filter.maskBits + 7) / 8 > filter.mask.size())
    FailUsage(where + ".mask has fewer bytes than its " + std::to_string(filter.maskBits) + " bits need");
  if (object.contains("truncate"))
    filter.truncate = static_cast<int>(Integer(object["truncate"], 0, 255, where + ".truncate"));
  return filter;
}

std::vector<int> Power(const JsonValue& value, const std::string& where) {
  if (value.is_number_integer()) return {static_cast<int>(Integer(value, 0, 255, where))};
  if (!value.is_array() || value.empty() || value.size() > 2)
    FailUsage(where + " must be a setting byte or a list of one or two, not " + Describe(value));
  std::vector<int> power;
  for (size_t i = 0; i < value.size(); ++i)
    power.push_back(static_cast<int>(Integer(value[i], 0, 255, where + "[" + std::to_string(i) + "]")));
  return power;
}

ReaderSettings Reader(const JsonValue& object, const std::string& where) {
  CheckKeys(object, {"port", "name", "baud", "crc", "multiAntenna", "power", "filters", "inventoryParam"}, where);
  ReaderSettings reader;
  if (!object.contains("port")) FailUsage(where + " needs a \"port\" (a path such as /dev/serial/by-id/...)");
  reader.port = Text(object["port"], where + ".port");
  if (object.contains("name")) reader.name = Text(object["name"], where + ".name");
  if (object.contains("baud")) {
    reader.baud = static_cast<int>(Integer(object["baud"], 0, 1000000, where + ".baud"));
    CheckBaud(reader.baud, where + ".baud");
  }
  if (object.contains("crc")) reader.crc = Boolean(object["crc"], where + ".crc");
  if (object.contains("multiAntenna")) reader.multiAntenna = Boolean(object["multiAntenna"], where + ".multiAntenna");
  if (object.contains("power")) reader.power = Power(object["power"], where + ".power");
  if (object.contains("inventoryParam"))
    reader.inventoryParam = static_cast<int>(Integer(object["inventoryParam"], 0, 255, where + ".inventoryParam"));
  if (object.contains("filters")) {
    const JsonValue& filters = object["filters"];
    if (!filters.is_array()) FailUsage(where + ".filters must be a list of filters");
    for (size_t i = 0; i < filters.size(); ++i)
      reader.filters.push_back(Filter(filters[i], where + ".filters[" + std::to_string(i) + "]"));
  }
  return reader;
}

void Events(const JsonValue& object, WatchConfig& config, const std::string& where) {
  CheckKeys(object, {"hold", "maxTags"}, where);
  if (!object.contains("hold")) FailUsage(where + " needs a \"hold\" time in seconds");
  config.supervision.eventHold = Seconds(object["hold"], 0.001, where + ".hold");
  if (object.contains("maxTags"))
    config.supervision.maxTags = static_cast<size_t>(Integer(object["maxTags"], 1, 10000000, where + ".maxTags"));
}

void Mqtt(const JsonValue& object, WatchConfig& config, const std::string& where) {
  CheckKeys(object, {"url", "ca", "credentials", "prefix", "queue"}, where);
  if (object.contains("url")) config.mqttUrl = Text(object["url"], where + ".url");
  if (object.contains("ca")) config.mqttCa = Text(object["ca"], where + ".ca");
  if (object.contains("credentials")) config.mqttCredentialsFile = Text(object["credentials"], where + ".credentials");
  if (object.contains("prefix")) config.mqttPrefix = Text(object["prefix"], where + ".prefix");
  if (object.contains("queue"))
    config.mqttQueue = static_cast<size_t>(Integer(object["queue"], 1, 10000000, where + ".queue"));
}

}  // namespace

StdoutMode ParseStdoutMode(const std::string& text, const std::string& where) {
  if (text == "all") return StdoutMode::kAll;
  if (text == "status") return StdoutMode::kStatusOnly;
  if (text == "none") return StdoutMode::kNone;
  FailUsage(where + " must be all, status or none, not '" + text + "'");
}

bool ParseNameBy(const std::string& text, const std::string& where) {
  if (text == "port") return false;
  if (text == "uid") return true;
  FailUsage(where + " must be port or uid, not '" + text + "'");
}

void CheckBaud(int baud, const std::string& where) {
  if (!cli::FindBaud(baud))
    FailUsage(where + " must be 9600, 19200, 57600 or 115200, not " + std::to_string(baud));
}

WatchConfig ParseConfigText(const std::string& text, const std::string& fileName) {
  JsonValue root;
  try {
    root = JsonValue::parse(text);
  } catch (const JsonValue::parse_error& error) {
    FailUsage(fileName + " is not valid JSON: " + error.what());
  }
  CheckKeys(root, {"readers", "reads", "events", "statusInterval", "healthInterval", "nameBy", "stdout", "mqtt"},
            fileName);
  WatchConfig config;
  if (root.contains("readers")) {
    const JsonValue& readers = root["readers"];
    if (!readers.is_array()) FailUsage(fileName + ": \"readers\" must be a list of readers");
    for (size_t i = 0; i < readers.size(); ++i)
      config.readers.push_back(Reader(readers[i], fileName + ": readers[" + std::to_string(i) + "]"));
  }
  if (root.contains("reads")) config.supervision.deliverReads = Boolean(root["reads"], fileName + ": reads");
  if (root.contains("events")) Events(root["events"], config, fileName + ": events");
  if (root.contains("statusInterval"))
    config.supervision.statusEvery = Seconds(root["statusInterval"], 0.1, fileName + ": statusInterval");
  if (root.contains("healthInterval"))
    config.supervision.healthAfter = Seconds(root["healthInterval"], 0.1, fileName + ": healthInterval");
  if (root.contains("nameBy"))
    config.supervision.nameByUid = ParseNameBy(Text(root["nameBy"], fileName + ": nameBy"), fileName + ": nameBy");
  if (root.contains("stdout"))
    config.stdoutMode = ParseStdoutMode(Text(root["stdout"], fileName + ": stdout"), fileName + ": stdout");
  if (root.contains("mqtt")) Mqtt(root["mqtt"], config, fileName + ": mqtt");
  return config;
}

WatchConfig LoadConfig(const std::string& path) {
  std::ifstream in(path);
  if (!in) FailUsage("cannot read the configuration file " + path + " (missing, or no permission)");
  std::stringstream text;
  text << in.rdbuf();
  return ParseConfigText(text.str(), path);
}

void CheckReaders(const WatchConfig& config) {
  if (config.readers.empty())
    FailUsage("no reader to watch: give --reader PATH (or --port), or readers in a --config file");
  if (config.supervision.nameByUid) return;  // UIDs differ by nature
  std::set<std::string> topics;
  for (const ReaderSettings& reader : config.readers) {
    std::string name = reader.name.empty() ? reader.port : reader.name;
    if (!topics.insert(TopicSafeName(name)).second)
      FailUsage("two readers would share the name " + TopicSafeName(name) +
                " in their topics; give each a \"name\" in the configuration, or use nameBy uid");
  }
}

}  // namespace quarn::watch
