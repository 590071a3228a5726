// Every row of the command table through a family call that sends (or takes) it: its good reply, no
// reply, another command's reply, a reply in the other mode, a reply without a status byte, and its
// refusal with the error code the row's form gives. A row without a call fails here, so a command added
// to the table arrives with its cases.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "link/command_table.h"
#include "outcome_harness.h"

namespace quarn::outcomes {

namespace {

std::vector<FamilyCall> AllCalls() {
  std::vector<FamilyCall> all;
  for (const auto& family : {ReaderCalls(), TagCalls(), AntennaCalls(), UpdateCalls(), SamCalls()}) {
    all.insert(all.end(), family.begin(), family.end());
  }
  return all;
}

std::string TestName(const char* raw) {
  std::string name;
  for (const char* c = raw; *c != '\0'; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) != 0 ? *c : '_';
  return name;
}

class CommandRow : public ::testing::TestWithParam<const link::CommandSpec*> {};

TEST_P(CommandRow, EachCheckOfTheRowNamesItsOutcome) {
  const link::CommandSpec& row = *GetParam();
  int calls = 0;
  for (const FamilyCall& call : AllCalls()) {
    if (call.row != &row) continue;
    ++calls;
    ExpectCases(RowCases(call));
    // A row's status rule refuses some status unless the family reads the status itself.
    if (row.statusRule != link::StatusRule::kAny) {
      EXPECT_TRUE(call.refusal.has_value()) << call.name;
    }
  }
  EXPECT_GT(calls, 0) << row.name << " has no family call in the outcome tables";
}

INSTANTIATE_TEST_SUITE_P(Table, CommandRow, ::testing::ValuesIn(link::commands::kAllCommands),
                         [](const ::testing::TestParamInfo<const link::CommandSpec*>& param) {
                           return TestName(param.param->name);
                         });

}  // namespace

}  // namespace quarn::outcomes
