// The program without a reader: help on every command, decode, and the exit status of each kind of
// mistake a person makes before any frame is sent.

#include <gtest/gtest.h>

#include "quarn_runner.h"

namespace quarn::cli::testing {
namespace {

TEST(CliOffline, EveryCommandHasHelp) {
  const std::vector<std::vector<std::string>> commands = {
      {},
      {"info"},
      {"power"},
      {"frequency"},
      {"register"},
      {"register", "read"},
      {"register", "write"},
      {"register", "reset"},
      {"register", "save"},
      {"stop"},
      {"sleep"},
      {"transparent"},
      {"probe"},
      {"inventory"},
      {"read"},
      {"read-all"},
      {"write"},
      {"erase"},
      {"epc"},
      {"lock"},
      {"kill"},
      {"filter"},
      {"filter", "add"},
      {"filter", "list"},
      {"filter", "delete"},
      {"filter", "select"},
      {"antenna"},
      {"antenna", "check"},
      {"antenna", "choose"},
      {"antenna", "multi"},
      {"sam"},
      {"sam", "apdu"},
      {"sam", "sra"},
      {"sam", "srb"},
      {"sam", "power"},
      {"sr"},
      {"sr", "read"},
      {"sr", "write"},
      {"update"},
      {"decode"},
  };
  for (auto command : commands) {
    command.push_back("--help");
    Outcome run = RunQuarn(command);
    EXPECT_EQ(run.status, 0) << command[0];
    EXPECT_NE(run.out.find("Usage: quarn"), std::string::npos) << command[0] << "\n" << run.out;
  }
}

TEST(CliOffline, DecodeGivesFieldsAsJson) {
  Outcome run = RunQuarn({"--json", "decode", "AA", "04", "81", "AF", "9D", "55"});
  ASSERT_EQ(run.status, 0) << run.err;
  auto json = run.Json();
  EXPECT_EQ(json["command"], "GetPower");
  EXPECT_EQ(json["crcMode"], true);
  EXPECT_EQ(json["crcCorrect"], true);
  EXPECT_EQ(json["valid"], true);

  // A reply: the read of user memory refused with memory locked.
  Outcome reply = RunQuarn({"--json", "decode", "--reply", "AA 04 13 81 04 55"});
  ASSERT_EQ(reply.status, 0) << reply.err;
  EXPECT_EQ(reply.Json()["fields"]["status"], "0x81 (failure)");
  EXPECT_NE(reply.Json()["fields"]["error code"].get<std::string>().find("memory locked"), std::string::npos);
}

TEST(CliOffline, DecodeOfAFaultyFrameShowsItAndFails) {
  Outcome run = RunQuarn({"--json", "decode", "AA0481AF9E55"});
  EXPECT_EQ(run.status, 1);
  auto json = run.Json();
  EXPECT_EQ(json["valid"], false);
  EXPECT_EQ(json["crcCorrect"], false);
  ASSERT_EQ(json["problems"].size(), 1u);

  Outcome text = RunQuarn({"decode", "AA 02 01"});
  EXPECT_EQ(text.status, 1);
  EXPECT_NE(text.out.find("ends before its tail"), std::string::npos) << text.out;
}

TEST(CliOffline, MistakesBeforeAnyFrameAreUsageErrors) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"info"}, "no port"},
      {{"--port", "/dev/null", "read", "memory", "0"}, "unknown memory bank 'memory'"},
      {{"--port", "/dev/null", "read", "user", "0", "256"}, "word count 256 is out of range"},
      {{"--port", "/dev/null", "write", "user", "0", "ABC"}, "odd number of hex digits"},
      {{"--port", "/dev/null", "write", "user", "0", "AB"}, "whole 16-bit words"},
      {{"--port", "/dev/null", "read", "tid", "0", "--password", "1234"}, "8 hex digits"},
      {{"--port", "/dev/null", "lock", "user=seal"}, "unknown lock choice 'seal'"},
      {{"--port", "/dev/null", "decode", "XYZ"}, "no hex digit"},
      {{"--baud", "4800", "info"}, "4800"},
      {{"frobnicate"}, ""},
      {{"read", "user"}, ""},
  };
  for (const auto& c : cases) {
    Outcome run = RunQuarn(c.args);
    EXPECT_EQ(run.status, 2) << c.args[0] << ": " << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

TEST(CliOffline, AnUnopenablePortIsItsOwnFailure) {
  Outcome run = RunQuarn({"--json", "--port", "/nonexistent/ttyQUARN", "info"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("cannot open the serial port /nonexistent/ttyQUARN: no such device"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.Json()["error"]["exitStatus"], 3);

  // The port comes from QUARN_PORT when --port is not given.
  Outcome fromEnvironment = RunQuarn({"info"}, "/nonexistent/ttyFROMENV");
  EXPECT_EQ(fromEnvironment.status, 3);
  EXPECT_NE(fromEnvironment.err.find("ttyFROMENV"), std::string::npos) << fromEnvironment.err;
}

// Every mistake on the command line reads like the tool's other messages and names what the help names.
TEST(CliOffline, UsageErrorsCarryThePrefixAndNameRealArguments) {
  struct Case {
    std::vector<std::string> args;
    const char* message;  // the first line, after "quarn: "
    const char* help;     // the command whose help the second line points to
  };
  const Case cases[] = {
      {{"kill"}, "kill: give the argument kill-password (the tag's kill password, 8 hex digits)", "quarn kill"},
      {{"read", "user"}, "read: give the argument address (first word address)", "quarn read"},
      {{"frobnicate"}, "unknown command 'frobnicate'", "quarn"},
      {{}, "name a command: ", "quarn"},
      {{"register"}, "register: name a command: read, write, reset, save", "quarn register"},
      {{"filter", "add"}, "filter add: give the argument mask", "quarn filter add"},
      {{"power", "--bogus"}, "power: The following argument was not expected: --bogus", "quarn power"},
      {{"power", "300"}, "power: values: Value 300 not in range", "quarn power"},
  };
  for (const auto& c : cases) {
    Outcome run = RunQuarn(c.args);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.err.rfind(std::string("quarn: ") + c.message, 0), 0u) << run.err;
    EXPECT_NE(run.err.find(std::string("\nquarn: see ") + c.help + " --help\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Run with --help"), std::string::npos) << run.err;
  }
}

TEST(CliOffline, TheHelpNamesTheExitStatusesAndTheFreshStart) {
  Outcome help = RunQuarn({"--help"});
  for (const char* part : {"Exit status: 0 done; 1 the reader refused", "2 wrong command line",
                           "(or an irreversible command not confirmed); 3 the port would not open", "--sim-reset"})
    EXPECT_NE(help.out.find(part), std::string::npos) << part << "\n" << help.out;
  Outcome filterAdd = RunQuarn({"filter", "add", "--help"});
  EXPECT_NE(filterAdd.out.find("acts only once selected"), std::string::npos) << filterAdd.out;
}

}  // namespace
}  // namespace quarn::cli::testing
