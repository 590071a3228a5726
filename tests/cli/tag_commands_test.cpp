// The tag commands against the virtual reader: memory written by one run of the tool is what the
// next run reads, locks hold until the password is given, and refusals carry the tag's error code.

#include <map>
#include <optional>
#include <set>

#include "reader_fixture.h"

#if QUARN_CLI_WITH_SIM

namespace quarn::cli::testing {
namespace {

class CliTags : public ReaderTest {};

TEST_F(CliTags, InventoryCountsEachTagOnce) {
  StartTwoTags();
  auto inventory = Ok({"inventory", "--time", "0.4"});
  ASSERT_EQ(inventory["tags"].size(), 2u) << inventory;
  long reads = 0;
  for (const auto& tag : inventory["tags"]) {
    EXPECT_GT(tag["reads"].get<long>(), 1);
    EXPECT_EQ(tag["pc"], "3000");
    reads += tag["reads"].get<long>();
  }
  EXPECT_EQ(inventory["reads"], reads);
  EXPECT_EQ(inventory["stopped"], true);
  // The stream was stopped: the next command is answered as usual.
  EXPECT_EQ(Ok({"power"})["power"].is_number(), true);
}

TEST_F(CliTags, CtrlCEndsAnEndlessInventoryWithItsTable) {
  StartTwoTags();
  Outcome run = RunQuarn({"--json", "--port", server_->devicePath(), "inventory", "--time", "0"}, "", 600);
  ASSERT_EQ(run.status, 0) << run.err;
  auto inventory = run.Json();
  EXPECT_EQ(inventory["tags"].size(), 2u);
  EXPECT_EQ(inventory["stopped"], true);
  EXPECT_LT(inventory["seconds"].get<double>(), 5.0);
}

// An empty field is silent: the inventory goes on through the silence and still ends on Ctrl-C.
TEST_F(CliTags, CtrlCEndsAnEndlessInventoryInAnEmptyField) {
  StartReader("tags 0\n");
  Outcome run = RunQuarn({"--json", "--port", server_->devicePath(), "inventory", "--time", "0"}, "", 1500);
  ASSERT_EQ(run.status, 0) << run.err;
  auto inventory = run.Json();
  EXPECT_EQ(inventory["tags"], nlohmann::json::array());
  EXPECT_EQ(inventory["stopped"], true);
  EXPECT_LT(run.seconds, 8.0);
}

TEST_F(CliTags, InventoryOverAntennasNamesThem) {
  StartTwoTags();
  Ok({"antenna", "multi", "0x03"});
  auto inventory = Ok({"inventory", "--antennas", "--time", "0.4"});
  std::set<int> antennas;
  for (const auto& tag : inventory["tags"]) antennas.insert(tag["antenna"].get<int>());
  EXPECT_EQ(antennas, (std::set<int>{1, 2})) << inventory;
}

TEST_F(CliTags, SingleTagCommandsNeedOneTag) {
  StartOneTag();
  EXPECT_EQ(Ok({"inventory", "--single"})["tag"]["epc"], kGuardedEpc);
  EXPECT_EQ(Ok({"read", "tid", "0", "2"})["tag"]["epc"], kGuardedEpc);
  server_->Stop();

  StartTwoTags();
  auto error = Fails({"read", "tid", "0", "2"});
  EXPECT_TRUE(error.contains("readerErrorCode")) << error;
  EXPECT_NE(error["hint"].get<std::string>().find("--epc"), std::string::npos) << error;
}

TEST_F(CliTags, WrittenMemoryReadsBack) {
  StartTwoTags();
  const std::vector<std::string> byEpc = {"--epc", kGuardedEpc, "--password", kAccessPassword};
  auto with = [&](std::vector<std::string> args) {
    args.insert(args.end(), byEpc.begin(), byEpc.end());
    return args;
  };
  auto written = Ok(with({"write", "user", "2", "CAFE F00D"}));
  EXPECT_EQ(written["method"], "plain");
  EXPECT_EQ(written["words"], 2);
  EXPECT_EQ(Ok(with({"read", "user", "2", "2"}))["data"], "CAFEF00D");

  // Data too long for one plain frame goes as a block write, at a two-byte word address too.
  std::string block;
  for (int word = 0; word < 56; ++word) block += "BEE" + std::string(1, "0123456789ABCDEF"[word % 16]);
  EXPECT_EQ(Ok(with({"write", "user", "4", block}))["method"], "block");
  EXPECT_EQ(Ok(with({"read", "user", "4", "56"}))["data"], block);

  auto erased = Ok(with({"erase", "user", "2", "2"}));
  EXPECT_EQ(erased["words"], 2);
  EXPECT_EQ(Ok(with({"read", "user", "2", "2"}))["data"], "00000000");

  // Count 0 reads to the end of the bank: the whole TID.
  auto tid = Ok(with({"read", "tid", "0", "0"}));
  EXPECT_GT(tid["words"].get<int>(), 2);
  EXPECT_EQ(tid["data"].get<std::string>().substr(0, 8), Ok(with({"read", "tid", "0", "2"}))["data"]);
}

TEST_F(CliTags, ATornBlockWriteSaysHowFarItGot) {
  StartOneTag();
  server_->WithReader([](sim::VirtualReader& reader) { reader.faults().tearAfterWords = 3; });
  Outcome run = Quarn({"write", "--block", "user", "0", "1111222233334444", "--epc", kGuardedEpc});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("stopped after 3 of 4 words"), std::string::npos) << run.err;
  server_->WithReader([](sim::VirtualReader& reader) { reader.faults().tearAfterWords = 0; });
  EXPECT_EQ(Ok({"read", "user", "0", "4", "--epc", kGuardedEpc})["data"], "1111222233330000");
}

TEST_F(CliTags, ATagErrorCodeIsNamed) {
  StartOneTag();
  auto overrun = Fails({"read", "user", "60", "10", "--epc", kGuardedEpc});
  EXPECT_EQ(overrun["readerErrorCode"], 0x03);
  EXPECT_EQ(overrun["meaning"], "memory overrun");

  Outcome text = Quarn({"read", "user", "60", "10", "--epc", kGuardedEpc});
  EXPECT_NE(text.err.find("memory overrun (status 0x81, reader error code 0x03)"), std::string::npos) << text.err;

  // An EPC no tag has.
  EXPECT_EQ(Fails({"read", "user", "0", "1", "--epc", kOtherEpc})["exitStatus"], 1);
}

TEST_F(CliTags, ALockHoldsUntilThePasswordIsGiven) {
  StartOneTag();
  auto locked = Ok({"lock", "user=lock", "--epc", kGuardedEpc, "--password", kAccessPassword});
  EXPECT_EQ(locked["payload"], "000C02");
  EXPECT_EQ(locked["areas"]["user"], "lock");

  auto refused = Fails({"write", "user", "0", "0BAD", "--epc", kGuardedEpc});
  EXPECT_EQ(refused["readerErrorCode"], 0x04);
  EXPECT_EQ(refused["meaning"], "memory locked");
  EXPECT_EQ(Ok({"read", "user", "0", "1", "--epc", kGuardedEpc})["data"], "0000");

  Ok({"write", "user", "0", "0BAD", "--epc", kGuardedEpc, "--password", kAccessPassword});
  EXPECT_EQ(Ok({"read", "user", "0", "1", "--epc", kGuardedEpc})["data"], "0BAD");

  // A wrong password is no way around the lock.
  EXPECT_EQ(Fails({"write", "user", "0", "1111", "--epc", kGuardedEpc, "--password", "00000001"})["exitStatus"], 1);
}

TEST_F(CliTags, AKilledTagIsGone) {
  StartTwoTags();
  Fails({"kill", "00000001", "--epc", kGuardedEpc, "--yes"});
  EXPECT_EQ(InventoryEpcs().size(), 2u);
  EXPECT_EQ(Ok({"kill", kKillPassword, "--epc", kGuardedEpc, "--yes"})["killed"], true);
  EXPECT_EQ(InventoryEpcs(), (std::vector<std::string>{kOtherEpc}));
}

// What cannot be undone waits for a yes: without a terminal it takes --yes, on one the EPC or "yes".
TEST_F(CliTags, IrreversibleCommandsAskFirst) {
  StartTwoTags();
  struct Case {
    std::vector<std::string> args;
    std::optional<std::string> typed;  // nothing: no terminal
    int status;
  };
  const std::vector<std::string> kill = {"kill", kKillPassword, "--epc", kGuardedEpc};
  const std::vector<std::string> permalock = {"lock", "user=permalock", "--epc", kOtherEpc};
  const Case refused[] = {
      {kill, std::nullopt, 2},
      {permalock, std::nullopt, 2},
      {kill, std::string("no\n"), 2},
      {kill, std::string(kOtherEpc) + "\n", 2},
      {permalock, std::string("\n"), 2},
  };
  for (const Case& c : refused) {
    RunOptions options;
    options.typed = c.typed;
    std::vector<std::string> args = {"--port", server_->devicePath()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Outcome run = RunQuarn(args, options);
    EXPECT_EQ(run.status, c.status) << c.args[0] << "\n" << run.err;
    EXPECT_NE(run.err.find("nothing was sent: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("cannot be undone"), std::string::npos) << run.err;
    if (!c.typed) {
      EXPECT_NE(run.err.find("needs --yes"), std::string::npos) << run.err;
    }
  }
  // Nothing reached the tags: both answer, and the user bank still takes writes.
  EXPECT_EQ(InventoryEpcs().size(), 2u);
  Ok({"write", "user", "0", "1234", "--epc", kOtherEpc});

  RunOptions typed;
  typed.typed = std::string(kGuardedEpc) + "\n";
  std::vector<std::string> args = {"--port", server_->devicePath()};
  args.insert(args.end(), kill.begin(), kill.end());
  Outcome killed = RunQuarn(args, typed);
  EXPECT_EQ(killed.status, 0) << killed.err;
  EXPECT_NE(killed.err.find("Type " + std::string(kGuardedEpc) + " (or yes) to go ahead"), std::string::npos)
      << killed.err;
  EXPECT_EQ(InventoryEpcs(), (std::vector<std::string>{kOtherEpc}));

  std::vector<std::string> lock = permalock;
  lock.push_back("--yes");
  EXPECT_EQ(Ok(lock)["areas"]["user"], "permalock");
  EXPECT_EQ(Fails({"write", "user", "0", "5678", "--epc", kOtherEpc})["readerErrorCode"], 0x04);
  // A lock that can be undone does not ask.
  EXPECT_EQ(Ok({"lock", "epc=lock", "--epc", kOtherEpc})["areas"]["epc"], "lock");
}

// Counted nouns read right for one and for many.
TEST_F(CliTags, OneIsSingularEverywhere) {
  StartOneTag();
  struct Case {
    std::vector<std::string> args;
    const char* expected;
  };
  const Case cases[] = {
      {{"register", "write", "0x1F0", "A1"}, "wrote 1 register byte at 0x1F0\n"},
      {{"register", "write", "0x1F0", "A1B2"}, "wrote 2 register bytes at 0x1F0\n"},
      {{"write", "user", "0", "1234", "--epc", kGuardedEpc}, "wrote 1 word to user @0\n"},
      {{"write", "user", "0", "12345678", "--epc", kGuardedEpc}, "wrote 2 words to user @0\n"},
      {{"erase", "user", "0", "1", "--epc", kGuardedEpc}, "erased 1 word of user @0\n"},
      {{"inventory", "--time", "0.3"}, "1 tag, "},
      {{"read-all", "user", "0", "1", "--time", "0.3"}, "\n1 tag\n"},
  };
  for (const Case& c : cases) {
    Outcome run = Text(c.args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(c.expected), std::string::npos) << c.expected << "\n" << run.out;
    EXPECT_EQ(run.out.find(" 1 reads"), std::string::npos) << run.out;
  }
}

TEST_F(CliTags, ANewEpcIsWhatTheInventoryReports) {
  StartTwoTags();
  auto renamed = Ok({"epc", "1111222233334444", "--epc", kGuardedEpc, "--password", kAccessPassword});
  EXPECT_EQ(renamed["tag"]["pc"], "2000");
  EXPECT_EQ(InventoryEpcs(), (std::vector<std::string>{"1111222233334444", kOtherEpc}));
  // The renamed tag answers to its new record.
  Ok({"read", "tid", "0", "1", "--epc", "1111222233334444"});
}

TEST_F(CliTags, FiltersChangeWhichTagsTakePart) {
  StartTwoTags();
  // Index 0: tags whose EPC starts with E200 (the EPC's first bit is bit 32 of the EPC bank).
  auto added = Ok({"filter", "add", "E200", "--index", "0"});
  EXPECT_EQ(added["filter"]["maskBits"], 16);
  Ok({"filter", "select", "0"});
  EXPECT_EQ(InventoryEpcs(), (std::vector<std::string>{kGuardedEpc}));

  auto listed = Ok({"filter", "list"});
  ASSERT_EQ(listed["filters"].size(), 1u);
  EXPECT_EQ(listed["filters"][0]["mask"], "E200");
  EXPECT_EQ(listed["filters"][0]["pointer"], 32);
  EXPECT_EQ(listed["filters"][0]["bank"], "epc");

  Ok({"filter", "delete", "0"});
  EXPECT_EQ(InventoryEpcs().size(), 2u);
  EXPECT_EQ(Ok({"filter", "list"})["filters"], nlohmann::json::array());
}

TEST_F(CliTags, AnEmptyFilterTableIsAnEmptyListNotAFailure) {
  StartOneTag();
  for (const std::vector<std::string>& list : {std::vector<std::string>{"filter", "list"},
                                               std::vector<std::string>{"filter", "list", "--index", "5", "--option", "0"}}) {
    EXPECT_EQ(Ok(list)["filters"], nlohmann::json::array());
    Outcome text = Text(list);
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "no filters\n");
  }
  // A listing the reader refuses for another reason is still a failure.
  EXPECT_EQ(Fails({"filter", "list", "--option", "7"})["status"], 0x02);
}

TEST_F(CliTags, AnAddedFilterSaysItActsOnlyOnceSelected) {
  StartOneTag();
  Outcome added = Text({"filter", "add", "E200"});
  EXPECT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(added.out, "added filter 0; a filter acts only once it is selected: quarn filter select INDEX\n");
  EXPECT_EQ(Ok({"filter", "add", "3000", "--index", "1"})["selected"], false);
}

TEST_F(CliTags, ReadAllGetsEachTagsOwnWords) {
  StartTwoTags();
  Ok({"write", "user", "0", "AAAA", "--epc", kGuardedEpc});
  Ok({"write", "user", "0", "BBBB", "--epc", kOtherEpc});
  for (bool antennas : {false, true}) {
    std::vector<std::string> args = {"read-all", "user", "0", "1", "--time", "0.4"};
    if (antennas) {
      Ok({"antenna", "multi", "0x01"});
      args.push_back("--antennas");
    }
    auto read = Ok(args);
    std::map<std::string, std::string> data;
    for (const auto& tag : read["tags"]) {
      data[tag["epc"]] = tag["data"];
      EXPECT_EQ(tag.contains("antenna"), antennas);
    }
    EXPECT_EQ(data, (std::map<std::string, std::string>{{kGuardedEpc, "AAAA"}, {kOtherEpc, "BBBB"}})) << read;
    EXPECT_EQ(read["stopped"], true);
  }
  EXPECT_EQ(Fails({"read-all", "user", "0", "1", "--options", "01"}, 2)["exitStatus"], 2);
}

TEST_F(CliTags, WritesInCrcMode) {
  StartOneTag();
  Ok({"--crc", "write", "user", "0", "1234", "--epc", kGuardedEpc});
  EXPECT_EQ(Ok({"--crc", "read", "user", "0", "1"})["data"], "1234");
}

}  // namespace
}  // namespace quarn::cli::testing

#endif
