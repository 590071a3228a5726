// The streams of quarn::Reader over the COM port, each ended another way: a range-for left by break,
// a callback that returns false, the item limit, Stop() on a stream of the error_code form, and a
// multi-tag read in its short and its two-area form. Each stream must stop the reader; the ring checks
// in the virtual reader's trace that the stop command followed every stream's start. Then a select
// filter, the SAM and the firmware update, a little of each.

#include <optional>
#include <string>
#include <vector>

#include "cpp_checks.h"
#include "sim_field.h"

namespace quarn::win32ring::cppapi {

namespace {

// Stream reports read before the break: two rounds over the two tags of the field.
constexpr size_t kReportsBeforeBreak = 4;

TagRecord Known() { return TagRecord::FromHex(field::kKnownRecord); }

// The reader still answers after the stream: the stop went out and was acknowledged, or this reply
// would be lost among reports.
void CheckAnswersAfter(Reader& reader, const char* stream, Report& report) {
  std::error_code ec;
  reader.GetPaStatus(ec);
  report.Check(!ec, "GetPaStatus %s after %s: %s", ModeName(reader), stream, reader.lastError().Describe().c_str());
}

void CheckBreak(Reader& reader, Report& report) {
  size_t seen = 0;
  size_t known = 0;
  std::optional<TagRecord> other;
  for (const TagReport& tagReport : reader.Inventory()) {
    if (tagReport.tag == Known()) {
      ++known;
    } else {
      other = tagReport.tag;
    }
    if (++seen == kReportsBeforeBreak) break;
  }
  report.Check(
      seen == kReportsBeforeBreak && known == kReportsBeforeBreak / 2 && other.has_value(),
      "Inventory %s, range-for left by break: %zu reports, %zu of the known tag, the other tag %s; expected %zu, "
      "half, seen",
      ModeName(reader), seen, known, other ? other->hex().c_str() : "not seen", kReportsBeforeBreak);
  CheckAnswersAfter(reader, "a break out of an inventory", report);
  if (!other) return;
  // The other tag answers to the record it was reported with, with a generated TID.
  const Bytes tid = reader.ReadData(*other, MemoryBank::kTid, 0, 6);
  const Bytes prefix = Hex(field::kGeneratedTidPrefix);
  report.Check(tid.size() == 12 && Bytes(tid.begin(), tid.begin() + 4) == prefix && tid != Hex(field::kKnownTid),
               "ReadData %s, the other tag's TID: %s; expected a generated one, not the known tag's", ModeName(reader),
               HexOf(tid).c_str());
}

// The start with its parameter byte (0: no round limit); the callback ends the loop.
void CheckCallback(Reader& reader, Report& report) {
  StreamOptions options;
  options.startParameter = 0;
  size_t calls = 0;
  const size_t handed = reader.Inventory(options).ForEach([&calls](const TagReport&) { return ++calls < 3; });
  report.Check(handed == 3 && calls == 3, "Inventory %s, ForEach until the callback says false: %zu handed, %zu calls",
               ModeName(reader), handed, calls);
  CheckAnswersAfter(reader, "ForEach", report);
}

void CheckLimit(Reader& reader, Report& report) {
  StreamOptions options;
  options.maxItems = 2;
  InventoryStream stream = reader.Inventory(options);
  size_t seen = 0;
  for (const TagReport& tagReport : stream) seen += tagReport.tag.size() == 14 ? 1 : 0;
  report.Check(seen == 2 && stream.count() == 2 && stream.endedBy() == StreamEnd::kLimit,
               "Inventory %s with maxItems 2: %zu reports, count %zu, ended by %d; expected 2, 2, the limit",
               ModeName(reader), seen, stream.count(), static_cast<int>(stream.endedBy()));
  CheckAnswersAfter(reader, "a stream that reached its limit", report);
}

// The error_code form throws nothing; Stop() reports the reader's acknowledgement.
void CheckStop(Reader& reader, Report& report) {
  std::error_code ec;
  InventoryStream stream = reader.Inventory(StreamOptions{}, ec);
  const bool first = !ec && stream.begin() != stream.end();
  stream.Stop(ec);
  report.Check(first && !ec && stream.endedBy() == StreamEnd::kStopped && !stream.running() && !stream.error(),
               "Inventory %s of the error_code form, Stop() after the first report: first %d, %s, ended by %d",
               ModeName(reader), first, ec.message().c_str(), static_cast<int>(stream.endedBy()));
  CheckAnswersAfter(reader, "Stop()", report);
}

// TID words 0-1 of whichever tag answers first; in CRC mode with user word 0 as the second area.
void CheckMultiTagRead(Reader& reader, Report& report) {
  MultiTagReadRequest request;
  request.area = {MemoryBank::kTid, 0, 2};
  if (reader.crcMode()) request.secondArea = MemoryArea{MemoryBank::kUser, 0, 1};
  const uint8_t frameStatus = reader.crcMode() ? 0x01 : 0x00;
  size_t items = 0;
  for (const TagData& data : reader.MultiTagRead(request)) {
    ++items;
    const size_t secondSize = data.secondData ? data.secondData->size() : 0;
    report.Check(data.frameStatus == frameStatus && data.data == ByteView(Hex(field::kGeneratedTidPrefix)) &&
                     secondSize == (reader.crcMode() ? 2u : 0u) && data.tag.size() == 14,
                 "MultiTagRead %s: frame status 0x%02X, data %s, second block of %zu bytes, tag %s", ModeName(reader),
                 data.frameStatus, HexOf(data.data).c_str(), secondSize, data.tag.hex().c_str());
    break;
  }
  report.Check(items == 1, "MultiTagRead %s: %zu items before the break; expected 1", ModeName(reader), items);
  CheckAnswersAfter(reader, "a break out of a multi-tag read", report);
}

// ---- Filters and the SAM ----

constexpr uint8_t kFilterIndex = 3;
constexpr uint8_t kNoSuchFilterStatus = 0x03;

void CheckFilter(Reader& reader, Report& report) {
  Filter filter;
  filter.index = kFilterIndex;
  filter.target = 4;
  filter.bank = MemoryBank::kEpc;
  filter.bitPointer = 0x20 + 88;  // the last EPC byte
  filter.SetMask(Bytes{0x01}, 8);
  reader.AddFilter(filter);
  std::vector<Filter> listed;
  for (const Filter& reported : reader.ListFilters(0, 1)) listed.push_back(reported);
  report.Check(listed.size() == 1 && listed[0].index == kFilterIndex && listed[0].bitPointer == filter.bitPointer &&
                   listed[0].maskBytes() == filter.maskBytes() && listed[0].bank == MemoryBank::kEpc,
               "ListFilters %s after AddFilter(%u): %zu filters, the first %u at bit 0x%X mask %s", ModeName(reader),
               kFilterIndex, listed.size(), listed.empty() ? 0u : listed[0].index,
               listed.empty() ? 0u : static_cast<unsigned>(listed[0].bitPointer),
               listed.empty() ? "-" : HexOf(listed[0].maskBytes()).c_str());
  reader.DeleteFilter(kFilterIndex);
  std::error_code ec;
  reader.DeleteFilter(kFilterIndex, ec);
  report.Check(ec == Errc::kRefused && reader.lastError().status == kNoSuchFilterStatus,
               "DeleteFilter(%u) %s a second time: %s; expected kRefused with status 0x%02X", kFilterIndex,
               ModeName(reader), reader.lastError().Describe().c_str(), kNoSuchFilterStatus);
}

void CheckSam(Reader& reader, Report& report) {
  const Bytes getChallenge = {0x00, 0x84, 0x00, 0x00, 0x08};
  const SamResponse response = reader.SendApdu(getChallenge);
  report.Check(response.data.size() == 8 && response.statusWord.sw1 == 0x90 && response.statusWord.sw2 == 0x00,
               "SendApdu %s, GET CHALLENGE of 8: %s, status word %04X", ModeName(reader), HexOf(response.data).c_str(),
               response.statusWord.value());
}

// An image whose first bytes the virtual reader takes for its new version.
Bytes FirmwareImage() {
  Bytes image = {'Q', 'F', 'W', '1', 'Q', 'S', 0x02, 0x03, 0x00, 0x01, 0x19, 0x0C, 0x01};
  image.resize(2500, 0xA5);
  return image;
}

}  // namespace

void CheckStreams(Reader& reader, Report& report) {
  Guarded(report, "inventory left by break", [&] { CheckBreak(reader, report); });
  Guarded(report, "inventory ended by its callback", [&] { CheckCallback(reader, report); });
  Guarded(report, "inventory to its limit", [&] { CheckLimit(reader, report); });
  Guarded(report, "inventory stopped", [&] { CheckStop(reader, report); });
  Guarded(report, "multi-tag read", [&] { CheckMultiTagRead(reader, report); });
}

void CheckFiltersAndSam(Reader& reader, Report& report) {
  Guarded(report, "filter", [&] { CheckFilter(reader, report); });
  Guarded(report, "SAM", [&] { CheckSam(reader, report); });
}

void CheckFirmwareUpdate(const char* portName, Report& report) {
  Guarded(report, "firmware update", [&] {
    const Bytes image = FirmwareImage();
    UpdateOptions options;
    options.crcMode = true;
    size_t lastSent = 0;
    size_t progressTotal = 0;
    Reader updated = UpdateFirmware(portName, image, options, [&](size_t sent, size_t total) {
      lastSent = sent;
      progressTotal = total;
    });
    report.Check(lastSent == image.size() && progressTotal == image.size(),
                 "UpdateFirmware(%s) of %zu bytes: progress reached %zu of %zu", portName, image.size(), lastSent,
                 progressTotal);
    const Version version = updated.GetVersion();
    report.Check(version.hex() == "515302030001 190C01",
                 "GetVersion after the update: %s; expected 515302030001 190C01", version.hex().c_str());
  });
}

}  // namespace quarn::win32ring::cppapi
