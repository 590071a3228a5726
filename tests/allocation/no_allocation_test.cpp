// No export makes a heap call: every command export of the catalog in both modes, with a good reply,
// with silence, with a reply whose frame is broken and on a port whose device is gone; and the port,
// hex conversion and lock payload exports, which the catalog leaves out. The counter is armed by the
// generated wrapper of each export, so what counts is exactly what runs inside the library; the last
// test holds the exports driven against the .def, so a new export cannot slip by undriven.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "armed_exports.h"
#include "export_catalog.h"
#include "fake_serial.h"

namespace {

using quarn::allocation::ExportRecord;
using quarn::allocation::IndexOfExport;
using quarn::allocation::kArmedExportCount;
using quarn::allocation::kArmedExportNames;
using quarn::allocation::RecordOf;
using quarn::testing::Bytes;
using quarn::testing::CallBuffers;
using quarn::testing::ExportCatalog;
using quarn::testing::ExportEntry;
using quarn::testing::FakePort;
using quarn::testing::ScriptReply;
using quarn::testing::ShapeFrame;
using quarn::testing::StuffedFrame;

enum class Reply { kGood, kSilence, kBrokenFrame, kPortGone };
const char* const kReplyNames[] = {"good reply", "silence", "broken frame", "port gone"};

// What one export did between construction and the checks: how often it ran armed, its heap calls.
class ExportWatch {
 public:
  explicit ExportWatch(const std::string& name) : index_(IndexOfExport(name.c_str())), start_(RecordOf(index_)) {}
  bool declared() const { return index_ < kArmedExportCount; }
  uint64_t calls() const { return RecordOf(index_).calls - start_.calls; }
  uint64_t heapCalls() const { return RecordOf(index_).heapCalls - start_.heapCalls; }

 private:
  size_t index_;
  ExportRecord start_;
};

// The export a catalog row calls: its name up to a second variant's word.
std::string ExportOf(const ExportEntry& entry) { return entry.name.substr(0, entry.name.find(' ')); }

Bytes ReplyWire(const ExportEntry& entry, bool crc, Reply reply) {
  Bytes wire = StuffedFrame(ShapeFrame(entry.goodReply(crc), crc));
  // A wrong tail byte fails the frame after the receiver has taken in all of it.
  if (reply == Reply::kBrokenFrame) wire.back() ^= 0x01;
  return wire;
}

int CallRow(const ExportEntry& entry, int crc, Reply reply) {
  FakePort port;
  CallBuffers buffers(entry.outs);
  if (reply == Reply::kGood || reply == Reply::kBrokenFrame) ScriptReply(port, entry, ReplyWire(entry, crc != 0, reply));
  if (reply == Reply::kPortGone) port.HangUp();
  return entry.call(port, buffers, crc);
}

void DriveCatalog() {
  for (const ExportEntry& entry : ExportCatalog()) {
    for (int crc : {0, 1}) {
      for (Reply reply : {Reply::kGood, Reply::kSilence, Reply::kBrokenFrame, Reply::kPortGone}) {
        const std::string what = entry.name + (crc ? ", CRC mode, " : ", plain mode, ") + kReplyNames[int(reply)];
        const ExportWatch watch(ExportOf(entry));
        ASSERT_TRUE(watch.declared()) << what << ": not an export of the header";
        const int result = CallRow(entry, crc, reply);
        EXPECT_EQ(result, reply == Reply::kGood ? 1 : 0) << what;
        EXPECT_EQ(watch.calls(), 1u) << what;
        EXPECT_EQ(watch.heapCalls(), 0u) << what;
      }
    }
  }
}

// Runs calls, which use only the named export, and requires that they ran and made no heap call.
template <typename Calls>
void ExpectNoHeapCalls(const char* name, Calls calls) {
  const ExportWatch watch(name);
  calls();
  EXPECT_GT(watch.calls(), 0u) << name;
  EXPECT_EQ(watch.heapCalls(), 0u) << name;
}

void DrivePortExports() {
  FakePort device;
  device.Publish("allocation-port");
  PortHandle port = QUARN_INVALID_PORT;
  ExpectNoHeapCalls("UhfOpenPort", [&] {
    EXPECT_EQ(UhfOpenPort(&port, "no-such-port", 0x06), 0);
    EXPECT_EQ(UhfOpenPort(&port, "allocation-port", 0x08), 0);  // a refused baud selection
    EXPECT_EQ(UhfOpenPort(&port, "allocation-port", 0x06), 1);
  });
  ExpectNoHeapCalls("UhfClosePort", [&] { EXPECT_EQ(UhfClosePort(&port), 1); });
  ExpectNoHeapCalls("UhfReaderConnect", [&] {
    EXPECT_EQ(UhfReaderConnect(&port, "no-such-port", 0x00), 0);
    EXPECT_EQ(UhfReaderConnect(&port, "allocation-port", 0x00), 1);
  });
  ExpectNoHeapCalls("UhfReaderDisconnect", [&] { EXPECT_EQ(UhfReaderDisconnect(&port, 0), 1); });
  EXPECT_FALSE(device.isOpen());
  // The update start opens the port itself; its refusals come before and after the open.
  ExpectNoHeapCalls("UhfUpdateInit", [&] {
    unsigned char status = 0xC5;
    int initValue = 0;
    EXPECT_EQ(UhfUpdateInit(&port, "no-such-port", &status, &initValue, 0x06), 0);
    EXPECT_EQ(UhfUpdateInit(&port, "allocation-port", &status, &initValue, 0x0E), 0);
  });
}

void DriveHexExports() {
  unsigned char bytes[300];
  char text[600];
  for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(i * 37);
  ExpectNoHeapCalls("UhfCharToCString", [&] {
    for (int count : {-1, 0, 1, 128, 129, 300}) UhfCharToCString(bytes, text, count);
  });
  ExpectNoHeapCalls("UhfCStringToChar", [&] {
    text[0] = 'g';  // not a digit: counts as 0
    for (int length : {-1, 0, 1, 2, 3, 256, 257, 600}) EXPECT_EQ(UhfCStringToChar(text, bytes, length), length / 2);
  });
}

void DriveLockGenCode() {
  unsigned char payload[3];
  ExpectNoHeapCalls("LockGenCode", [&] {
    // Every choice of every area, the ones that leave an area as it is included.
    for (int kill = 0; kill <= 5; ++kill)
      for (int access = 0; access <= 5; ++access)
        for (int epc = 0; epc <= 5; ++epc)
          for (int tid = 0; tid <= 5; ++tid)
            for (int user = 0; user <= 5; ++user) EXPECT_EQ(LockGenCode(kill, access, epc, tid, user, payload), payload);
  });
}

void DriveEveryExport() {
  DriveCatalog();
  DrivePortExports();
  DriveHexExports();
  DriveLockGenCode();
}

// The names of the .def's export rows; rows behind a semicolon are not built.
std::set<std::string> DefNames() {
  std::ifstream def(QUARN_DEF_FILE);
  std::set<std::string> names;
  std::string line;
  while (std::getline(def, line)) {
    if (line.empty() || (line[0] != ' ' && line[0] != '\t')) continue;
    std::istringstream fields(line);
    std::string name;
    fields >> name;
    if (!name.empty() && std::isalpha(static_cast<unsigned char>(name[0]))) names.insert(name);
  }
  return names;
}

TEST(NoAllocation, CatalogExportsMakeNoHeapCallOnAnyReply) { DriveCatalog(); }

TEST(NoAllocation, PortExportsMakeNoHeapCall) { DrivePortExports(); }

TEST(NoAllocation, HexConversionAndLockPayloadMakeNoHeapCall) {
  DriveHexExports();
  DriveLockGenCode();
}

// The header and the .def name the same exports, and the drive above calls each of them.
TEST(NoAllocation, EveryExportOfTheDefIsDriven) {
  const std::set<std::string> def = DefNames();
  const std::set<std::string> header(kArmedExportNames, kArmedExportNames + kArmedExportCount);
  ASSERT_FALSE(def.empty()) << "no export rows read from " << QUARN_DEF_FILE;
  EXPECT_EQ(header, def) << "the header and the .def name different exports";

  std::vector<ExportWatch> watches;
  for (const std::string& name : def) watches.emplace_back(name);
  DriveEveryExport();
  size_t index = 0;
  for (const std::string& name : def) {
    const ExportWatch& watch = watches[index++];
    EXPECT_GT(watch.calls(), 0u) << name << " is not driven by this test";
    EXPECT_EQ(watch.heapCalls(), 0u) << name;
  }
  std::printf("%zu exports of the .def driven, none made a heap call\n", def.size());
}

}  // namespace
