// update FILE: moves a firmware image into the reader, with a progress bar.
//
// The sequence: start (the reader hands out a 32-bit value), that value sent back as RN32, the image
// size (least significant byte first, as a 32-bit integer lies in memory), the image in numbered blocks
// (block number high byte and low byte as the two prefixes, counting from 0), and commit.

#include <fstream>
#include <iterator>
#include <memory>

#include "arguments.h"
#include "commands.h"
#include "terminal.h"

namespace quarn::cli {

namespace {

constexpr uint8_t kUnset = 0xFF;
constexpr int kMaxBlockPlain = 2041;
constexpr int kMaxBlockCrc = 2039;
constexpr size_t kMaxBlocks = 0x10000;  // the two prefix bytes number the blocks

struct UpdateArgs {
  std::string file;
  int blockSize = 1024;
};

Bytes ReadImage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) FailUsage("cannot read the image file " + path);
  Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (image.empty()) FailUsage("the image file " + path + " is empty");
  return image;
}

// The port UhfUpdateInit opened, closed whatever happens after.
class UpdatePort {
 public:
  ~UpdatePort() {
    if (handle != QUARN_INVALID_PORT) UhfClosePort(&handle);
  }
  PortHandle handle = QUARN_INVALID_PORT;
};

[[noreturn]] void FailStep(const std::string& step, uint8_t status) {
  if (status == kUnset) FailReader("the reader did not answer the update's " + step);
  FailReader("the reader refused the update's " + step + " with status " + ByteText(status));
}

Report Update(Context& context, const UpdateArgs& args) {
  Bytes image = ReadImage(args.file);
  int maxBlock = context.crcFlag() ? kMaxBlockCrc : kMaxBlockPlain;
  if (args.blockSize < 1 || args.blockSize > maxBlock)
    FailUsage("the block size is 1 to " + std::to_string(maxBlock) + " bytes");
  size_t blockSize = static_cast<size_t>(args.blockSize);
  size_t blocks = (image.size() + blockSize - 1) / blockSize;
  if (blocks > kMaxBlocks) FailUsage("the image needs more than 65536 blocks; choose a larger --block-size");

  // The update opens the port itself.
  context.reader().Close();
  std::string name = context.reader().portName();
  int portOptions = PortOptionsForBaud(context.options.baud) | context.crcFlag();
  UpdatePort port;
  uint8_t status = kUnset;
  int initValue = 0;
  if (!UhfUpdateInit(&port.handle, name.c_str(), &status, &initValue, portOptions)) {
    if (port.handle == QUARN_INVALID_PORT) throw Failure(kExitPort, "cannot open the serial port " + name);
    FailStep("start", status);
  }
  int crc = context.crcFlag();
  status = kUnset;
  if (!UhfUpdateSendRN32(port.handle, reinterpret_cast<const uint8_t*>(&initValue), &status, crc))
    FailStep("RN32", status);
  auto size = static_cast<uint32_t>(image.size());
  const uint8_t sizeBytes[4] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                                static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
  status = kUnset;
  if (!UhfUpdateSendSize(port.handle, &status, sizeBytes, crc)) FailStep("size", status);

  ProgressBar progress(stderr, "updating");
  bool showProgress = !context.options.json;
  for (size_t block = 0; block < blocks; ++block) {
    size_t at = block * blockSize;
    size_t length = std::min(blockSize, image.size() - at);
    status = kUnset;
    if (!UhfUpdateSendData(port.handle, &status, static_cast<int>(block >> 8), static_cast<int>(block & 0xFF),
                           static_cast<int>(length), &image[at], crc)) {
      if (showProgress) progress.Finish();
      FailStep("block " + std::to_string(block), status);
    }
    if (showProgress) progress.Show(block + 1, blocks, "blocks");
  }
  if (showProgress) progress.Finish();
  status = kUnset;
  if (!UhfUpdateCommit(port.handle, &status, crc)) FailStep("commit", status);

  Report report;
  report.data["file"] = args.file;
  report.data["bytes"] = image.size();
  report.data["blocks"] = blocks;
  report.data["committed"] = true;
  report.text =
      "updated: " + std::to_string(image.size()) + " bytes in " + std::to_string(blocks) + " blocks, committed\n";
  return report;
}

}  // namespace

void AddUpdateCommand(CLI::App& app, CommandSet& commands) {
  auto args = std::make_shared<UpdateArgs>();
  auto* command = commands.Add(app, "update", "move a firmware image into the reader",
                               [args](Context& c) { return Update(c, *args); });
  command->add_option("file", args->file, "the firmware image")->required();
  command->add_option("--block-size", args->blockSize, "bytes per data block")->capture_default_str();
}

}  // namespace quarn::cli
