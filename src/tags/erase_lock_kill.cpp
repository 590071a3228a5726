#include "tags/erase_lock_kill.h"

#include "link/exchange.h"
#include "tags/tag_record.h"
#include "quarn_api.h"

namespace quarn::tags {

namespace {

constexpr size_t kPasswordSize = QUARN_PASSWORD_SIZE;
constexpr size_t kLockPayloadSize = 3;

void AppendErasedWords(link::CommandFrame& frame, const uint8_t* accessPassword, uint32_t bank,
                       const uint8_t* wordPtr, uint32_t wordCount) {
  AppendMemoryAddress(frame, accessPassword, bank, wordPtr);
  frame.Byte(wordCount);
}

void AppendLock(link::CommandFrame& frame, const uint8_t* accessPassword, const uint8_t* lockPayload) {
  frame.Bytes(accessPassword, kPasswordSize).Bytes(lockPayload, kLockPayloadSize);
}

link::Result ExchangeByEpc(PortHandle port, link::CommandFrame& frame, const uint8_t* epc, uint8_t* errorCode) {
  AppendTagRecord(frame, epc);
  link::ReceivedFrame reply;
  return ExchangeTagCommand(port, frame, reply, errorCode);
}

// A reply too short for the record its first data byte announces fails like one without a usable reply.
link::Result ExchangeWithSingleTag(PortHandle port, link::CommandFrame& frame, uint8_t* tagRecord,
                                   uint8_t* errorCode) {
  link::ReceivedFrame reply;
  const link::Result result = ExchangeTagCommand(port, frame, reply, errorCode);
  if (!result) return result;
  return CopyTagRecord(reply.View(), 0, tagRecord, nullptr) ? result : link::TooShort();
}

}  // namespace

link::Result EraseDataByEpc(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                    uint32_t wordCount, const uint8_t* epc, uint8_t* errorCode, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kEraseDataByEpc, crcFlag);
  AppendErasedWords(frame, accessPassword, bank, wordPtr, wordCount);
  return ExchangeByEpc(port, frame, epc, errorCode);
}

link::Result EraseDataFromSingleTag(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                            uint32_t wordCount, uint8_t* tagRecord, uint8_t* errorCode, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kEraseDataFromSingleTag, crcFlag);
  AppendErasedWords(frame, accessPassword, bank, wordPtr, wordCount);
  return ExchangeWithSingleTag(port, frame, tagRecord, errorCode);
}

link::Result LockMemByEpc(PortHandle port, const uint8_t* accessPassword, const uint8_t* lockPayload, const uint8_t* epc,
                  uint8_t* errorCode, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kLockMemByEpc, crcFlag);
  AppendLock(frame, accessPassword, lockPayload);
  return ExchangeByEpc(port, frame, epc, errorCode);
}

link::Result LockMemFromSingleTag(PortHandle port, const uint8_t* accessPassword, const uint8_t* lockPayload,
                          uint8_t* tagRecord, uint8_t* errorCode, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kLockMemFromSingleTag, crcFlag);
  AppendLock(frame, accessPassword, lockPayload);
  return ExchangeWithSingleTag(port, frame, tagRecord, errorCode);
}

link::Result KillTagByEpc(PortHandle port, const uint8_t* killPassword, const uint8_t* epc, uint8_t* errorCode,
                  uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kKillTagByEpc, crcFlag);
  frame.Bytes(killPassword, kPasswordSize);
  return ExchangeByEpc(port, frame, epc, errorCode);
}

link::Result KillSingleTag(PortHandle port, const uint8_t* killPassword, uint8_t* tagRecord, uint8_t* errorCode,
                   uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kKillSingleTag, crcFlag);
  frame.Bytes(killPassword, kPasswordSize);
  return ExchangeWithSingleTag(port, frame, tagRecord, errorCode);
}

}  // namespace quarn::tags
