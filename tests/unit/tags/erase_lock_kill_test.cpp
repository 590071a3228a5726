#include <gtest/gtest.h>

#include <functional>

#include "fake_serial.h"
#include "quarn_api.h"
#include "tag_access_fixtures.h"

namespace {

using namespace quarn::testing;
using namespace quarn::testing::tags;

const Bytes kPointer1 = {0x01, 0x77};
const Bytes kPointer129 = {0x81, 0x01};
const Bytes kKillPassword = {0xAA, 0x55, 0xFF, 0x01};
const Bytes kLockPayload = {0x0F, 0xFE, 0xAA};

struct TagCommand {
  const char* name;
  uint8_t code;
  bool singleTag;
  // Runs the export with the given epc (ignored by single-tag forms) and word pointer.
  std::function<int(FakePort&, const Bytes& epc, const Bytes& wordPtr, Bytes& tagRecord, uint8_t* errorCode,
                    int crcFlag)>
      call;
  // The parameter bytes for that epc and word pointer.
  std::function<Bytes(const Bytes& epc, const Bytes& wordPtr)> params;
};

Bytes Pointer(const Bytes& wordPtr) { return Head(wordPtr, (wordPtr[0] & 0x80) ? 2 : 1); }

const std::vector<TagCommand>& TagCommands() {
  static const std::vector<TagCommand> commands = {
      {"EraseDataByEPC", 0x15, false,
       [](FakePort& port, const Bytes& epc, const Bytes& wordPtr, Bytes&, uint8_t* errorCode, int crcFlag) {
         return UhfEraseDataByEPC(port.handle(), kPassword.data(), 0x103, wordPtr.data(), 4, epc.data(), errorCode,
                                  crcFlag);
       },
       [](const Bytes& epc, const Bytes& wordPtr) { return Join({kPassword, {0x03}, Pointer(wordPtr), {0x04}, epc}); }},
      {"EraseDataFromSingleTag", 0x22, true,
       [](FakePort& port, const Bytes&, const Bytes& wordPtr, Bytes& tagRecord, uint8_t* errorCode, int crcFlag) {
         return UhfEraseDataFromSingleTag(port.handle(), kPassword.data(), 0x103, wordPtr.data(), 4, tagRecord.data(),
                                          errorCode, crcFlag);
       },
       [](const Bytes&, const Bytes& wordPtr) { return Join({kPassword, {0x03}, Pointer(wordPtr), {0x04}}); }},
      {"LockMemByEPC", 0x16, false,
       [](FakePort& port, const Bytes& epc, const Bytes&, Bytes&, uint8_t* errorCode, int crcFlag) {
         return UhfLockMemByEPC(port.handle(), kPassword.data(), kLockPayload.data(), epc.data(), errorCode, crcFlag);
       },
       [](const Bytes& epc, const Bytes&) { return Join({kPassword, kLockPayload, epc}); }},
      {"LockMemFromSingleTag", 0x23, true,
       [](FakePort& port, const Bytes&, const Bytes&, Bytes& tagRecord, uint8_t* errorCode, int crcFlag) {
         return UhfLockMemFromSingleTag(port.handle(), kPassword.data(), kLockPayload.data(), tagRecord.data(),
                                        errorCode, crcFlag);
       },
       [](const Bytes&, const Bytes&) { return Join({kPassword, kLockPayload}); }},
      {"KillTagByEPC", 0x17, false,
       [](FakePort& port, const Bytes& epc, const Bytes&, Bytes&, uint8_t* errorCode, int crcFlag) {
         return UhfKillTagByEPC(port.handle(), kKillPassword.data(), epc.data(), errorCode, crcFlag);
       },
       [](const Bytes& epc, const Bytes&) { return Join({kKillPassword, epc}); }},
      {"KillSingleTag", 0x24, true,
       [](FakePort& port, const Bytes&, const Bytes&, Bytes& tagRecord, uint8_t* errorCode, int crcFlag) {
         return UhfKillSingleTag(port.handle(), kKillPassword.data(), tagRecord.data(), errorCode, crcFlag);
       },
       [](const Bytes&, const Bytes&) { return kKillPassword; }},
  };
  return commands;
}

TEST(EraseLockKill, SendsTheParametersOfEachMemberInBothModes) {
  const Bytes epc2 = {0x07, 0x00, 0x99, 0x99};
  struct Case {
    Bytes epc;
    size_t sentRecord;
    Bytes wordPtr;
  };
  const std::vector<Case> cases = {{Record14(), 14, kPointer1}, {epc2, 2, kPointer1}, {Record14(), 14, kPointer129}};
  for (const TagCommand& command : TagCommands()) {
    for (const Case& c : cases) {
      for (int crcFlag : {0, 1}) {
        FakePort port;
        Bytes record = Sentinels(64);
        uint8_t errorCode = 0;
        command.call(port, c.epc, c.wordPtr, record, &errorCode, crcFlag);
        const Bytes params = command.params(command.singleTag ? Bytes{} : Head(c.epc, c.sentRecord), c.wordPtr);
        EXPECT_EQ(port.lastCommand(), ExpectedCommand(command.code, params, crcFlag == 1)) << command.name;
      }
    }
  }
}

TEST(EraseLockKill, PinsTheFixedSizeFrames) {
  FakePort port;
  Bytes record = Sentinels(64);
  uint8_t errorCode = 0;
  TagCommands()[5].call(port, {}, kPointer1, record, &errorCode, 0);
  EXPECT_EQ(port.lastCommand(), (Bytes{0xAA, 0x06, 0x24, 0xAA, 0x55, 0xFF, 0x01, 0x55}));
  EXPECT_EQ(port.written(), (Bytes{0xAA, 0x06, 0x24, 0xFF, 0xAA, 0xFF, 0x55, 0xFF, 0xFF, 0x01, 0x55}));
  TagCommands()[5].call(port, {}, kPointer1, record, &errorCode, 1);
  EXPECT_EQ(port.lastCommand(), (Bytes{0xAA, 0x08, 0xA4, 0xAA, 0x55, 0xFF, 0x01, 0x7B, 0xF2, 0x55}));
  TagCommands()[3].call(port, {}, kPointer1, record, &errorCode, 0);
  EXPECT_EQ(port.lastCommand(), Join({{0xAA, 0x09, 0x23}, kPassword, kLockPayload, {0x55}}));
  TagCommands()[1].call(port, {}, kPointer1, record, &errorCode, 0);
  EXPECT_EQ(Head(port.lastCommand(), 3), (Bytes{0xAA, 0x09, 0x22}));
  TagCommands()[1].call(port, {}, kPointer129, record, &errorCode, 0);
  EXPECT_EQ(Head(port.lastCommand(), 3), (Bytes{0xAA, 0x0A, 0x22}));
}

struct StatusCase {
  const char* name;
  Bytes payload;  // status and data; empty: no reply
  int result;
  uint8_t errorCode;
};

TEST(EraseLockKill, ReportsErrorCodeOnEveryPathOfEveryMember) {
  const Bytes other = OtherRecord14();
  const std::vector<StatusCase> cases = {
      {"status 0", Join({{0x00}, other}), 1, 0xFF},
      {"status 1", Join({{0x01}, other}), 1, 0xFF},
      {"error with code", {0x81, 0x0B}, 0, 0x0B},
      {"0x83 carries a code", {0x83, 0x0C}, 0, 0x0C},
      {"error without code", {0x80, 0x0B}, 0, 0xFF},
      {"0x82", {0x82, 0x0B}, 0, 0xFF},
      {"code missing", {0x81}, 0, 0xFF},
      {"no reply", {}, 0, 0xFF},
  };
  for (const TagCommand& command : TagCommands()) {
    for (const StatusCase& c : cases) {
      for (int crcFlag : {0, 1}) {
        FakePort port;
        const uint8_t code = static_cast<uint8_t>(crcFlag ? command.code | 0x80 : command.code);
        if (!c.payload.empty()) port.ReplyToNextCommand(WireReply(code, c.payload));
        Bytes record = Sentinels(80);
        uint8_t errorCode = 0;
        EXPECT_EQ(command.call(port, Record14(), kPointer1, record, &errorCode, crcFlag), c.result)
            << command.name << ": " << c.name;
        EXPECT_EQ(errorCode, c.errorCode) << command.name << ": " << c.name;
        const bool copied = command.singleTag && c.result == 1;
        EXPECT_EQ(record, copied ? WithPrefix(other, 80) : Sentinels(80)) << command.name << ": " << c.name;
      }
    }
  }
}

TEST(EraseLockKill, RefusesAReplyOfTheOtherModeOrCommand) {
  for (const TagCommand& command : TagCommands()) {
    for (const auto& [crcFlag, replyCode] :
         std::vector<std::pair<int, uint8_t>>{{1, command.code}, {0, static_cast<uint8_t>(command.code | 0x80)},
                                              {0, static_cast<uint8_t>(command.code + 1)}}) {
      FakePort port;
      port.ReplyToNextCommand(WireReply(replyCode, Join({{0x81, 0x0B}, OtherRecord14()})));
      Bytes record = Sentinels(64);
      uint8_t errorCode = 0;
      EXPECT_EQ(command.call(port, Record14(), kPointer1, record, &errorCode, crcFlag), 0) << command.name;
      EXPECT_EQ(errorCode, 0xFF) << command.name;
      EXPECT_EQ(record, Sentinels(64)) << command.name;
    }
  }
}

TEST(EraseLockKill, SingleTagFormsFailWhenTheRecordIsCutShort) {
  for (const TagCommand& command : TagCommands()) {
    if (!command.singleTag) continue;
    for (size_t recordBytes : {0, 1, 13}) {
      FakePort port;
      port.ReplyToNextCommand(WireReply(command.code, Join({{0x00}, Head(OtherRecord14(), recordBytes)})));
      Bytes record = Sentinels(64);
      uint8_t errorCode = 0;
      EXPECT_EQ(command.call(port, Record14(), kPointer1, record, &errorCode, 0), 0) << command.name;
      EXPECT_EQ(errorCode, 0xFF) << command.name;
      EXPECT_EQ(record, Sentinels(64)) << command.name;
    }
  }
}

TEST(EraseLockKill, SingleTagFormsCopyTheRecordItsFirstByteSizes) {
  for (const TagCommand& command : TagCommands()) {
    if (!command.singleTag) continue;
    for (const auto& [firstByte, size] : std::vector<std::pair<uint8_t, size_t>>{{0x30, 14}, {0x05, 2}, {0xF9, 64}}) {
      FakePort port;
      const Bytes data = Join({{firstByte}, Counting(70, 1)});
      port.ReplyToNextCommand(WireReply(command.code, Join({{0x00}, data})));
      Bytes record = Sentinels(80);
      uint8_t errorCode = 0;
      EXPECT_EQ(command.call(port, Record14(), kPointer1, record, &errorCode, 0), 1) << command.name;
      EXPECT_EQ(record, WithPrefix(Head(data, size), 80)) << command.name << " " << int(firstByte);
    }
  }
}

}  // namespace
