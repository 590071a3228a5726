#include "status.h"

#include <cmath>

namespace quarn::watch {

Json StatusJson(WallTime now, const std::string& reader, const ReaderStatus& status, double readsPerSecond) {
  Json object = Header(now, reader, "status");
  object["state"] = status.online ? "online" : "offline";
  if (!status.online) {
    object["cause"] = status.cause;
    if (!status.lastError.empty()) object["lastError"] = status.lastError;
  }
  object["since"] = IsoTime(status.since);
  object["reads"] = status.reads;
  object["readsPerSecond"] = std::round(readsPerSecond * 10) / 10;
  object["reconnects"] = status.reconnects;
  object["healthChecks"] = status.healthChecks;
  object["restarts"] = status.restarts;
  Json failures = Json::object();
  for (const auto& [outcome, count] : status.failures) failures[outcome] = count;
  object["failures"] = failures;
  if (status.tagsTracked) object["tags"] = Json{{"tracked", *status.tagsTracked}, {"evicted", status.tagsEvicted}};
  return object;
}

Json WillJson(const std::string& reader) {
  return Json{{"reader", reader}, {"event", "status"}, {"state", "offline"}, {"cause", kCauseWatchGone}};
}

}  // namespace quarn::watch
