#pragma once
// An output that keeps what it is given, parsed, for the supervisor's tests.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sink.h"

namespace quarn::watch::testing {

class RecordingSink : public Sink {
 public:
  struct Entry {
    MessageKind kind;
    std::string reader;
    nlohmann::json object;
  };

  void Deliver(const Message& message) override {
    entries.push_back({message.kind, message.reader, nlohmann::json::parse(message.line)});
  }
  void Describe(const std::string&, Json& status) override { status["recorded"] = entries.size(); }
  void Finish(Millis) override {}

  std::vector<nlohmann::json> Of(MessageKind kind) const {
    std::vector<nlohmann::json> found;
    for (const auto& entry : entries)
      if (entry.kind == kind) found.push_back(entry.object);
    return found;
  }

  std::vector<Entry> entries;
};

}  // namespace quarn::watch::testing
