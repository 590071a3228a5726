// The secure access module, the SR information and the SR writes into tags.

#include <algorithm>

#include "sim/engine/virtual_reader.h"
#include "sim/model/error_codes.h"

namespace quarn::sim {

namespace {

constexpr size_t kPasswordSize = 4;
constexpr uint8_t kWholeSr = 0x00;
constexpr uint8_t kPsamAnswered = 0x01;  // success with the answer to reset as data
const Bytes kEmptyRecord = {0x00, 0x00};


// The SAM's answer: status 0x00 for 90 00, else 0x81 so that the host still gets the response and
// the status word.
uint8_t SamStatus(const ApduResponse& response) { return response.ok() ? status::kOk : status::kErrorCode; }

}  // namespace

void VirtualReader::SetSam(const Command& command) {
  if (!sam_.powered()) return Reply(command, status::kSamUnpowered);
  const ApduResponse response = sam_.Process(command.params);
  Bytes data = response.data;
  data.push_back(response.sw1);
  data.push_back(response.sw2);
  Reply(command, SamStatus(response), std::move(data));
}

// The response goes into SR A or SR B; the host gets the status word alone.
void VirtualReader::SamToSr(const Command& command, int part) {
  if (!sam_.powered()) return Reply(command, status::kSamUnpowered);
  const ApduResponse response = sam_.Process(command.params);
  if (response.ok()) sam_.StoreInSr(part, response.data);
  Reply(command, SamStatus(response), {response.sw1, response.sw2});
}

void VirtualReader::SetPsamPower(const Command& command) {
  if (command.params.size() != 2) return Malformed(command);
  const uint8_t slot = command.params[0];
  const uint8_t state = command.params[1];
  if ((slot != 1 && slot != 2) || state > 1) return Malformed(command);
  const Bytes answer = sam_.SetPower(slot, state == 1);
  if (state == 1) return Reply(command, kPsamAnswered, answer);
  Reply(command, status::kOk);
}

void VirtualReader::GetSr(const Command& command) {
  if (command.params.size() != 1) return Malformed(command);
  if (command.params[0] != kWholeSr) return Reply(command, status::kRefused);
  Reply(command, status::kOk, Bytes(sam_.sr().begin(), sam_.sr().end()));
}

// srParam1 is the first SR word (0 to 39), srParam2 the number of words (1 to 40); the other two are
// spare. The words are written like a block write, and the reply has the block write's forms.
void VirtualReader::WriteSrToTag(const Command& command, bool byEpc) {
  ParamReader reader(command.params);
  const Bytes password = reader.Take(kPasswordSize);
  const uint8_t bankCode = reader.Byte();
  const uint32_t pointer = reader.Ebv();
  const uint8_t firstWord = reader.Byte();
  const uint8_t wordCount = reader.Byte();
  reader.Byte();
  reader.Byte();
  const Bytes record = byEpc ? reader.TagRecord() : Bytes{};
  if (!reader.Finish()) return Malformed(command);

  const auto refuse = [&](uint8_t code, const Tag* tag) {
    Bytes more{0};
    if (!byEpc) {
      const Bytes own = tag ? tag->Record() : kEmptyRecord;
      more.insert(more.end(), own.begin(), own.end());
    }
    ErrorReply(command, code, more);
  };
  const Target target = AddressedTag(byEpc, record);
  if (!target.tag) return refuse(target.error, nullptr);
  const std::optional<MemoryBank> bank = BankFromCode(bankCode);
  const size_t srWords = kSrSize / 2;
  if (!bank || wordCount == 0 || firstWord >= srWords || wordCount > srWords - firstWord) {
    return refuse(errors::kBadParameter, target.tag);
  }
  bool secured = false;
  if (TagError error = AdmitChange(*target.tag, password, &secured)) return refuse(*error, target.tag);

  const auto start = sam_.sr().begin() + 2 * firstWord;
  const Bytes words(start, start + 2 * wordCount);
  const WriteOutcome outcome = target.tag->Write(*bank, pointer, words, secured, TearLimit(command.plain()));
  // SR writes answer in the block writes' outcome layout.
  ReplyBlockWrite(command, byEpc, target.tag, outcome);
}

}  // namespace quarn::sim
