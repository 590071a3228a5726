// Fault injection by count-down: for every export, the Nth call into the serial backend (a purge, a
// byte written, a byte read) fails, for N = 1, 2, ... until a call runs to its end without reaching the
// fault. Every run must end cleanly: a failure reported as no usable reply, or, where the fault cannot
// matter (a purge, a read while hunting for the head), exactly the outputs of a run without it.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "export_catalog.h"
#include "fake_serial.h"
#include "link/outcome.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::CallBuffers;
using quarn::testing::ExportCatalog;
using quarn::testing::ExportEntry;
using quarn::testing::FakePort;
using quarn::testing::OnFailure;
using quarn::testing::ShapeWire;

size_t fault_points = 0;

class FaultCounter : public ::testing::Environment {
 public:
  void TearDown() override {
    if (fault_points > 0) std::printf("fault count-down: %zu fault points injected\n", fault_points);
  }
};
const auto* const kCounter = ::testing::AddGlobalTestEnvironment(new FaultCounter);

struct CallRun {
  int result = 0;
  bool faultFired = false;
  std::vector<Bytes> outs;
  quarn::link::Result named;  // the family's outcome for the same fault
};

using quarn::link::Outcome;

// One failed backend call ends a call in a failed write or a reply cut off; the stop, which listens on,
// may hear nothing after a frame cut off.
bool NamesTheFault(const ExportEntry& entry, Outcome outcome) {
  return outcome == Outcome::kWriteFailed || outcome == Outcome::kCutOff ||
         (entry.receives > 1 && outcome == Outcome::kNoReply);
}

// One call with the good reply scripted; failCall 0 injects nothing.
CallRun RunOnce(const ExportEntry& entry, bool crc, int failCall) {
  const Bytes wire = ShapeWire(entry.goodReply(crc), crc);
  FakePort port;
  quarn::testing::ScriptReply(port, entry, wire);
  if (failCall > 0) port.FailCallNumber(failCall);
  CallBuffers out(entry.outs);
  const uint32_t start = port.now();
  CallRun run;
  run.result = entry.call(port, out, crc ? 1 : 0);
  run.faultFired = port.faultFired();
  EXPECT_TRUE(out.GuardsIntact()) << "a byte written past a caller buffer";
  EXPECT_LE(port.now() - start, quarn::testing::TimeBound(entry, wire.size(), 0)) << "ran past its time bound";
  for (size_t i = 0; i < out.count(); ++i) run.outs.push_back(out.Contents(i));

  // The command family on a port scripted and failed alike: its outcome is the 1 or 0, its outputs the same.
  FakePort familyPort;
  quarn::testing::ScriptReply(familyPort, entry, wire);
  if (failCall > 0) familyPort.FailCallNumber(failCall);
  CallBuffers familyOut(entry.outs);
  run.named = entry.family(familyPort, familyOut, crc ? 1 : 0);
  EXPECT_EQ(run.result, run.named.ok() ? 1 : 0)
      << "the export's result is not its family's " << quarn::testing::OutcomeName(run.named.outcome);
  EXPECT_EQ(familyPort.faultFired(), run.faultFired);
  for (size_t i = 0; i < out.count(); ++i) {
    EXPECT_EQ(quarn::testing::PortlessContents(familyOut, i, familyPort), quarn::testing::PortlessContents(out, i, port))
        << entry.outs[i].name << ": the family wrote other bytes than the export";
  }
  return run;
}

void ExpectNoUsableReply(const ExportEntry& entry, const CallRun& run) {
  for (size_t i = 0; i < entry.outs.size(); ++i) {
    const auto& buffer = entry.outs[i];
    SCOPED_TRACE(buffer.name);
    if (buffer.onFailure == OnFailure::kKept) {
      EXPECT_EQ(run.outs[i], Bytes(buffer.size, quarn::testing::kCallSentinel)) << "written on a failure";
    } else if (buffer.noReply) {
      EXPECT_EQ(run.outs[i], *buffer.noReply) << "not the value for no usable reply";
    }
  }
}

class FaultCountdown : public ::testing::TestWithParam<std::string> {};

TEST_P(FaultCountdown, EveryFailedBackendCallEndsTheCallCleanly) {
  const ExportEntry* entry = quarn::testing::FindExport(GetParam());
  ASSERT_NE(entry, nullptr);
  for (bool crc : {false, true}) {
    const CallRun reference = RunOnce(*entry, crc, 0);
    ASSERT_EQ(reference.result, 1) << "the good reply itself fails";
    // Far more than the calls of any exchange here: reaching it means the count-down never ends.
    constexpr int kMostCalls = 20000;
    int n = 1;
    for (; n < kMostCalls; ++n) {
      SCOPED_TRACE("backend call " + std::to_string(n) + (crc ? " (CRC mode)" : " (plain mode)"));
      const CallRun run = RunOnce(*entry, crc, n);
      if (!run.faultFired) {
        EXPECT_EQ(run.result, 1) << "no fault, yet no success";
        break;
      }
      ++fault_points;
      ASSERT_TRUE(run.result == 0 || run.result == 1) << run.result;
      if (run.result == 1) {
        for (size_t i = 0; i < entry->outs.size(); ++i) {
          // A value the header does not fix (the handle of the port opened) differs from port to port.
          const auto& buffer = entry->outs[i];
          if (buffer.onFailure == OnFailure::kWritten && !buffer.noReply) continue;
          EXPECT_EQ(run.outs[i], reference.outs[i]) << buffer.name << ": other outputs than without the fault";
        }
      } else {
        ExpectNoUsableReply(*entry, run);
        EXPECT_TRUE(NamesTheFault(*entry, run.named.outcome)) << quarn::testing::OutcomeName(run.named.outcome);
      }
    }
    EXPECT_LT(n, kMostCalls);
  }
}

std::vector<std::string> EntryNames() {
  std::vector<std::string> names;
  for (const ExportEntry& entry : ExportCatalog()) names.push_back(entry.name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(Catalog, FaultCountdown, ::testing::ValuesIn(EntryNames()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                           std::string name;
                           for (char c : param.param) name += (c == ' ' || c == '-') ? '_' : c;
                           return name;
                         });

}  // namespace
