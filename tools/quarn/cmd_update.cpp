// update FILE: moves a firmware image into the reader, with a progress bar. The library runs the
// sequence; the tool names the step that failed.

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "arguments.h"
#include "commands.h"
#include "quarn/update.h"
#include "terminal.h"

namespace quarn::cli {

namespace {

constexpr size_t kMaxBlockSize = 2039;   // one data frame's room in either mode
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

struct Step {
  const char* call;
  const char* what;
};
constexpr Step kSteps[] = {
    {"FirmwareUpdate::Start", "start the update"},
    {"FirmwareUpdate::SendRn32", "send the update's RN32"},
    {"FirmwareUpdate::SendSize", "send the update's size"},
    {"FirmwareUpdate::Commit", "commit the update"},
};

// What the failed step was doing; blocksSent tells which data block failed.
std::string StepText(const char* call, size_t blocksSent, size_t blocks) {
  for (const Step& step : kSteps)
    if (std::strcmp(step.call, call) == 0) return step.what;
  if (std::strcmp(call, "FirmwareUpdate::SendData") == 0)
    return "send block " + std::to_string(blocksSent + 1) + " of " + std::to_string(blocks) + " of the image";
  return "update the firmware";
}

Report Update(Context& context, const UpdateArgs& args) {
  const Bytes image = ReadImage(args.file);
  if (args.blockSize < 1 || static_cast<size_t>(args.blockSize) > kMaxBlockSize)
    FailUsage("the block size (--block-size) is 1 to " + std::to_string(kMaxBlockSize) + " bytes");
  const auto blockSize = static_cast<size_t>(args.blockSize);
  const size_t blocks = (image.size() + blockSize - 1) / blockSize;
  if (blocks > kMaxBlocks) FailUsage("the image needs more than 65536 blocks; choose a larger --block-size");

  // The update opens the port itself.
  context.session->Close();
  const std::string name = context.session->portName();
  RefuseWhatIsNoSerialPort(name);
  quarn::UpdateOptions options;
  options.baud = BaudOf(context.options.baud);
  options.crcMode = context.options.crc;
  options.blockSize = blockSize;
  ProgressBar progress(stderr, "updating");
  const bool showProgress = !context.options.json;
  size_t blocksSent = 0;
  auto shown = [&](size_t sent, size_t) {
    blocksSent = (sent + blockSize - 1) / blockSize;
    if (showProgress) progress.Show(blocksSent, blocks, "blocks");
  };
  std::error_code ec;
  quarn::Reader updated = quarn::UpdateFirmware(name, image, options, shown, ec);
  if (showProgress && blocksSent > 0) progress.Finish();
  if (ec) {
    const quarn::ErrorDetail& detail = updated.lastError();
    throw CallFailure(detail, {StepText(detail.command, blocksSent, blocks)}, context.line());
  }

  Report report;
  report.data["file"] = args.file;
  report.data["bytes"] = image.size();
  report.data["blocks"] = blocks;
  report.data["committed"] = true;
  report.text = "updated: " + Counted(image.size(), "byte") + " in " + Counted(blocks, "block") + ", committed\n";
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
