#include "report.h"

#include <algorithm>
#include <cstdio>

#include "gen2_errors.h"
#include "quarn_api.h"

namespace quarn::cli {

void FailUsage(const std::string& message) { throw Failure(kExitUsage, message); }

void FailReader(const std::string& message) { throw Failure(kExitFailed, message); }

void FailReaderWithCode(const std::string& what, int readerErrorCode, const std::string& hint) {
  throw Failure(kExitFailed, what, readerErrorCode, hint);
}

std::string ByteText(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value) & 0xFFu);
  return text;
}

std::string HexText(const uint8_t* data, size_t count) {
  std::string text(count * 2, '0');
  if (count > 0) UhfCharToCString(data, text.data(), static_cast<int>(count));
  return text;
}

std::string HexText(const Bytes& data) { return HexText(data.data(), data.size()); }

std::string SpacedHex(const Bytes& data) {
  std::string text;
  for (uint8_t value : data) text += (text.empty() ? "" : " ") + HexText(&value, 1);
  return text;
}

std::string FailureText(const Failure& failure) {
  std::string text = failure.what();
  if (auto code = failure.readerErrorCode()) {
    auto meaning = Gen2ErrorMeaning(*code);
    text += meaning ? ": " + *meaning + " (reader error code " + ByteText(*code) + ")"
                    : ": reader error code " + ByteText(*code) + " (the reader's own code, not a Gen2 tag error)";
  }
  std::string hint = failure.hint();
  if (hint.empty() && failure.readerErrorCode()) hint = Gen2ErrorAdvice(*failure.readerErrorCode());
  if (!hint.empty()) text += "\nquarn: hint: " + hint;
  return text;
}

Json FailureJson(const Failure& failure) {
  Json error = Json::object();
  error["message"] = failure.what();
  if (auto code = failure.readerErrorCode()) {
    error["readerErrorCode"] = *code;
    auto meaning = Gen2ErrorMeaning(*code);
    error["meaning"] = meaning ? Json(*meaning) : Json(nullptr);
  }
  if (!failure.hint().empty()) error["hint"] = failure.hint();
  error["exitStatus"] = failure.exitStatus();
  return Json{{"error", error}};
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
