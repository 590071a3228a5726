#include "report.h"

#include <algorithm>
#include <cstdio>


namespace quarn::cli {

void FailUsage(const std::string& message) {
  FailureFacts facts;
  facts.cause = "usage";
  throw Failure(kExitUsage, message, facts);
}

void FailReader(const std::string& message, const std::string& hint) {
  FailureFacts facts;
  facts.cause = "reader";
  facts.hint = hint;
  throw Failure(kExitFailed, message, facts);
}

std::string ByteText(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value) & 0xFFu);
  return text;
}

std::string HexText(const uint8_t* data, size_t count) { return quarn::ToHex(quarn::ByteView(data, count)); }

std::string HexText(quarn::ByteView data) { return quarn::ToHex(data); }

std::string SpacedHex(const Bytes& data) {
  std::string text;
  for (uint8_t value : data) text += (text.empty() ? "" : " ") + HexText(&value, 1);
  return text;
}

std::string Counted(size_t count, const std::string& singular, const std::string& plural) {
  const std::string& noun = count == 1 ? singular : plural.empty() ? singular + "s" : plural;
  return std::to_string(count) + " " + noun;
}

std::string FailureText(const Failure& failure) {
  std::string text = failure.what();
  if (!failure.hint().empty()) text += "\nquarn: hint: " + failure.hint();
  return text;
}

Json FailureJson(const Failure& failure) {
  const FailureFacts& facts = failure.facts();
  Json error = Json::object();
  error["message"] = failure.what();
  if (!facts.cause.empty()) error["cause"] = facts.cause;
  if (facts.status) error["status"] = *facts.status;
  if (facts.readerErrorCode) {
    error["readerErrorCode"] = *facts.readerErrorCode;
    error["meaning"] = facts.meaning ? Json(*facts.meaning) : Json(nullptr);
  }
  if (facts.replyCode) error["replyCode"] = *facts.replyCode;
  if (!facts.hint.empty()) error["hint"] = facts.hint;
  error["exitStatus"] = failure.exitStatus();
  Json json = Json{{"error", error}};
  if (failure.partial()) json["partial"] = failure.partial()->data;
  return json;
}

std::string TableText(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths(header.size());
  for (size_t c = 0; c < header.size(); ++c) widths[c] = header[c].size();
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size() && c < widths.size(); ++c) widths[c] = std::max(widths[c], row[c].size());

  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (size_t c = 0; c < widths.size(); ++c) {
      std::string cell = c < cells.size() ? cells[c] : "";
      if (c + 1 < widths.size()) cell.resize(widths[c] + 2, ' ');
      text += cell;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + "\n";
  };
  std::vector<std::string> rule;
  for (size_t width : widths) rule.emplace_back(width, '-');
  std::string text = line(header) + line(rule);
  for (const auto& row : rows) text += line(row);
  return text;
}

std::string FieldsText(const std::vector<std::pair<std::string, std::string>>& fields) {
  size_t width = 0;
  for (const auto& field : fields) width = std::max(width, field.first.size());
  std::string text;
  for (const auto& [name, value] : fields) {
    std::string label = name + ":";
    label.resize(width + 2, ' ');
    text += label + value + "\n";
  }
  return text;
}

}  // namespace quarn::cli
