// The secure access module, SR data and the firmware update against the virtual reader.

#include <cstdio>
#include <fstream>

#include "reader_fixture.h"

#if QUARN_CLI_WITH_SIM

namespace quarn::cli::testing {
namespace {

class CliSam : public ReaderTest {
 protected:
  void SetUp() override { StartOneTag(); }
};

TEST_F(CliSam, ApdusGetTheSamsAnswer) {
  auto power = Ok({"sam", "power", "1", "on"});
  EXPECT_EQ(power["on"], true);
  EXPECT_FALSE(power["answer"].get<std::string>().empty());  // the card's answer to reset

  EXPECT_EQ(Ok({"sam", "apdu", "00A4040000"})["sw"], "9000");
  auto challenge = Ok({"sam", "apdu", "0084000008"});
  EXPECT_EQ(challenge["sw"], "9000");
  EXPECT_EQ(challenge["response"].get<std::string>().size(), 16u);
  EXPECT_EQ(Ok({"sam", "sra", "0084000008"})["sr"], "A");

  // The SAM's own refusal comes with its status word.
  auto refused = Fails({"sam", "apdu", "80A4040000"});
  EXPECT_NE(refused["message"].get<std::string>().find("6E00"), std::string::npos) << refused;
  EXPECT_EQ(Fails({"sam", "apdu", "00A4"}, 2)["exitStatus"], 2);
}

TEST_F(CliSam, SrDataIsEightyBytes) { EXPECT_EQ(Ok({"sr", "read"})["data"].get<std::string>().size(), 160u); }

class CliUpdate : public ReaderTest {
 protected:
  void SetUp() override { StartOneTag(); }
  std::string WriteImage(const std::string& contents) {
    std::string path = ::testing::TempDir() + "quarn-cli-image-" + std::to_string(getpid());
    std::ofstream(path, std::ios::binary) << contents;
    return path;
  }
};

TEST_F(CliUpdate, AnImageInBlocksBecomesTheReadersFirmware) {
  // A tagged image names the version the reader reports once it is installed.
  std::string image = std::string("QFW1") + "\x01\x02\x03\x04\x05\x06\x07\x08\x09" + std::string(3000, 'x');
  std::string path = WriteImage(image);
  auto update = Ok({"update", path, "--block-size", "512"});
  EXPECT_EQ(update["bytes"], image.size());
  EXPECT_EQ(update["blocks"], 6);
  EXPECT_EQ(update["committed"], true);
  EXPECT_EQ(Ok({"info"})["version"], "010203040506 070809");
  std::remove(path.c_str());
}

TEST_F(CliUpdate, RefusalsNameTheStep) {
  // The virtual reader takes images up to 256 KiB; a larger one is refused at the size step.
  std::string path = WriteImage(std::string(300 * 1024, 'x'));
  auto refused = Fails({"update", path, "--block-size", "2000"});
  EXPECT_NE(refused["message"].get<std::string>().find("could not send the update's size: the reader refused (status 0x03)"),
            std::string::npos)
      << refused;
  // The update closed its port: the reader answers the next run.
  Ok({"info"});

  EXPECT_EQ(Quarn({"update", "/nonexistent/image.bin"}).status, 2);
  // A block size above one frame's room is refused before the port is touched.
  EXPECT_EQ(Quarn({"update", path, "--block-size", "4000"}).status, 2);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace quarn::cli::testing

#endif
