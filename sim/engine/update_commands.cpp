// The firmware update session. After a successful commit the reader installs the image and restarts.

#include <algorithm>

#include "sim/engine/virtual_reader.h"

namespace quarn::sim {

void VirtualReader::UpdateInit(const Command& command) {
  if (!command.params.empty()) return Reply(command, update_status::kMalformed);
  StopStream();
  Reply(command, update_status::kOk, update_.Init());
}

void VirtualReader::UpdateSendRn32(const Command& command) { Reply(command, update_.Rn32(command.params)); }

void VirtualReader::UpdateSendSize(const Command& command) { Reply(command, update_.Size(command.params)); }

void VirtualReader::UpdateSendData(const Command& command) {
  if (command.params.size() < 2) return Reply(command, update_status::kMalformed);
  const Bytes block(command.params.begin() + 2, command.params.end());
  Reply(command, update_.Data(command.params[0], command.params[1], block));
}

void VirtualReader::UpdateCommit(const Command& command) {
  if (!command.params.empty()) return Reply(command, update_status::kMalformed);
  const uint8_t result = update_.Commit();
  Reply(command, result);
  if (result != update_status::kOk) return;
  const Bytes& image = update_.installedImage();
  // A tagged image names the version the new firmware reports.
  const size_t tagSize = sizeof kImageTag;
  if (image.size() >= tagSize + kVersionSize && std::equal(kImageTag, kImageTag + tagSize, image.begin())) {
    version_.assign(image.begin() + tagSize, image.begin() + tagSize + kVersionSize);
  }
  Restart();
}

}  // namespace quarn::sim
