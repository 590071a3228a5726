// The reader-management commands against the virtual reader, in both frame modes: what a setting
// command sets is what the next run of the tool reads back.

#include "reader_fixture.h"

#if QUARN_CLI_WITH_SIM

namespace quarn::cli::testing {
namespace {

class CliReader : public ReaderTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override { StartOneTag(); }
  // The command, in CRC mode when the test's parameter says so.
  std::vector<std::string> Mode(std::vector<std::string> args) {
    if (GetParam()) args.insert(args.begin(), "--crc");
    return args;
  }
};

TEST_P(CliReader, InfoShowsEveryField) {
  auto info = Ok(Mode({"info"}));
  EXPECT_EQ(info["version"].get<std::string>().size(), 19u);  // 6 and 3 bytes, a space between
  EXPECT_EQ(info["uid"].get<std::string>().size(), 24u);
  EXPECT_TRUE(info["power"].is_number());
  EXPECT_EQ(info["frequency"].get<std::string>().size(), 14u);
  EXPECT_EQ(info["paStatus"], "ok");
}

TEST_P(CliReader, SettingsReadBackAsSet) {
  EXPECT_EQ(Ok(Mode({"power", "20", "18"}))["power"], 20);
  EXPECT_EQ(Ok(Mode({"power"}))["power"], 20);

  std::string frequency = Ok(Mode({"frequency"}))["frequency"];
  EXPECT_EQ(Ok(Mode({"frequency", frequency}))["frequency"], frequency);

  EXPECT_EQ(Ok(Mode({"register", "write", "0x1F0", "A1B2C3"}))["written"], 3);
  auto registers = Ok(Mode({"register", "read", "0x1F0", "3"}));
  EXPECT_EQ(registers["data"], "A1B2C3");
  EXPECT_EQ(registers["address"], 0x1F0);
  // Count 0 reads to the end of the register space.
  EXPECT_EQ(Ok(Mode({"register", "read", "0x1F0", "0"}))["data"].get<std::string>().size(), 32u);
  Ok(Mode({"register", "reset"}));
  EXPECT_EQ(Ok(Mode({"register", "read", "0x1F0", "3"}))["data"], "000000");
  Ok(Mode({"register", "save"}));

  EXPECT_EQ(Ok(Mode({"antenna", "multi", "0x03"}))["multiAntenna"], 3);
  EXPECT_EQ(Ok(Mode({"antenna", "multi"}))["multiAntenna"], 3);
  EXPECT_EQ(Ok(Mode({"antenna", "choose", "2"}))["antenna"], 2);
  EXPECT_TRUE(Ok(Mode({"antenna", "check"}))["antennaState"].is_number());
}

TEST_P(CliReader, ModeCommands) {
  EXPECT_EQ(Ok(Mode({"stop"}))["stopped"], true);
  EXPECT_EQ(Ok(Mode({"transparent", "on"}))["transparent"], true);
  EXPECT_EQ(Ok(Mode({"transparent", "off"}))["transparent"], false);
  EXPECT_EQ(Ok(Mode({"sleep"}))["sleeping"], true);
}

TEST_P(CliReader, RefusedSettingsFailWithTheReadersStatus) {
  // The virtual reader refuses a power above its range and registers past 0x1FF.
  auto power = Fails(Mode({"power", "99"}));
  EXPECT_NE(power["message"].get<std::string>().find("power"), std::string::npos);
  EXPECT_EQ(Fails(Mode({"register", "write", "0x1FF", "0102"}), 2)["exitStatus"], 2);
  EXPECT_EQ(Fails(Mode({"frequency", "0102"}), 2)["exitStatus"], 2);
}

INSTANTIATE_TEST_SUITE_P(BothModes, CliReader, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "Crc" : "Plain"; });

class CliReaderLink : public ReaderTest {
 protected:
  void SetUp() override { StartOneTag(); }
};

TEST_F(CliReaderLink, ProbeFindsTheRateTheReaderAnswersAt) {
  auto probe = Ok({"--baud", "9600", "probe"});
  EXPECT_EQ(probe["baud"], 115200);
  EXPECT_FALSE(probe["version"].get<std::string>().empty());
}

TEST_F(CliReaderLink, ASilentReaderIsAFailureNotAHang) {
  server_->WithReader([](sim::VirtualReader& reader) { reader.faults().silent = true; });
  auto error = Fails({"info"});
  EXPECT_NE(error["message"].get<std::string>().find("did not answer"), std::string::npos) << error;
  EXPECT_EQ(error["cause"], "noReply");
  EXPECT_NE(error["hint"].get<std::string>().find("quarn probe"), std::string::npos) << error;
}

TEST(CliSim, TheSimOptionStartsAReaderInProcess) {
  Outcome run = RunQuarn({"--sim", "--json", "info"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("started the virtual reader on /dev/"), std::string::npos) << run.err;
  EXPECT_EQ(run.Json()["paStatus"], "ok");
}

}  // namespace
}  // namespace quarn::cli::testing

#endif
