// Streaming operations: acknowledgement, one frame per tag at the stream interval, stopping, rounds,
// antenna reply frames, multi-tag reads, and select filters that change who takes part.

#include <gtest/gtest.h>

#include "sim_test_support.h"

namespace quarn::sim {
namespace {

using testing::Bench;
using testing::Concat;
using testing::kZeroPassword;
using testing::Reply;

const Bytes kEpc1 = {0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
const Bytes kEpc2 = {0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02};
Bytes RecordOf(const Bytes& epc) { return Concat({{0x30, 0x00}, epc}); }

std::vector<Bytes> Records(const std::vector<Reply>& replies) {
  std::vector<Bytes> records;
  for (const Reply& reply : replies) records.push_back(reply.data);
  return records;
}

TEST(SimStreams, InventoryStreamsOneFramePerTagUntilStopped) {
  for (bool crc : {false, true}) {
    Bench bench(testing::TagsScenario({kEpc1, kEpc2}));
    const Reply ack = bench.Command(0x10, {}, crc);
    EXPECT_EQ(ack.code, crc ? 0x90 : 0x10);
    EXPECT_EQ(ack.status, 0x01);
    EXPECT_TRUE(bench.Wait(29).empty());  // the first report comes one interval after the start
    const std::vector<Reply> reports = bench.Wait(91);
    ASSERT_EQ(reports.size(), 4u);
    for (const Reply& report : reports) {
      EXPECT_EQ(report.code, crc ? 0x90 : 0x10);
      EXPECT_EQ(report.status, 0x00);
    }
    EXPECT_EQ(Records(reports), (std::vector<Bytes>{RecordOf(kEpc1), RecordOf(kEpc2), RecordOf(kEpc1), RecordOf(kEpc2)}));
    const Reply stopped = bench.Command(0x12, {}, crc);
    EXPECT_EQ(stopped.status, 0x00);
    EXPECT_FALSE(bench.reader.streaming());
    EXPECT_TRUE(bench.Wait(500).empty());
  }
}

TEST(SimStreams, AnyCommandStopsTheStreamBeforeItIsAnswered) {
  Bench bench(testing::TagsScenario({kEpc1}));
  bench.Command(0x10);
  bench.Wait(100);
  const std::vector<Reply> replies = bench.Exchange(0x01, {});
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].code, 0x01);
  EXPECT_TRUE(bench.Wait(200).empty());
}

TEST(SimStreams, RoundCountEndsTheInventoryByItself) {
  Bench bench(testing::TagsScenario({kEpc1, kEpc2}));
  EXPECT_EQ(bench.Command(0x11, {2}).status, 0x01);
  EXPECT_EQ(bench.Wait(1000).size(), 4u);
  EXPECT_FALSE(bench.reader.streaming());
}

TEST(SimStreams, StreamIntervalRegisterSetsThePace) {
  Bench bench(testing::TagsScenario({kEpc1}));
  bench.Command(0x31, {0x01, 0x10, 0x00, 0x01, 100});
  bench.Command(0x10);
  EXPECT_EQ(bench.Wait(1000).size(), 10u);
}

TEST(SimStreams, MultiAntennaRegisterChoosesWhichAntennasReport) {
  Scenario scenario = testing::TagsScenario({kEpc1, kEpc2});
  scenario.tags[0].contents.antennaMask = 0x01;  // antenna 1 only
  scenario.tags[1].contents.antennaMask = 0x06;  // antennas 2 and 3
  Bench bench(scenario);
  bench.Command(0x31, {0x01, 0x24, 0x00, 0x01, 0x03});  // antennas 1 and 2 report
  const std::vector<Reply> ack = bench.Exchange(0x10, {}, true, true);
  ASSERT_EQ(ack.size(), 1u);
  EXPECT_EQ(ack[0].antenna, 1);
  EXPECT_EQ(ack[0].code, 0x90);
  EXPECT_EQ(ack[0].status, 0x01);
  EXPECT_TRUE(ack[0].crcPresentAndRight);
  const std::vector<Reply> reports = bench.Wait(60, true);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].antenna, 1);
  EXPECT_EQ(reports[0].data, RecordOf(kEpc1));
  EXPECT_EQ(reports[1].antenna, 2);
  EXPECT_EQ(reports[1].data, RecordOf(kEpc2));
  // The stop acknowledgement is an ordinary reply frame.
  const Reply stopped = bench.Command(0x12);
  EXPECT_EQ(stopped.code, 0x12);
  EXPECT_EQ(stopped.status, 0x00);
}

TEST(SimStreams, MultiTagReadSendsBlocksAndTheRecord) {
  Bench bench(testing::TagsScenario({kEpc1, kEpc2}));
  // Short form: TID words 0 and 1, options 0, rounds 1.
  const Reply ack = bench.Command(0x26, Concat({kZeroPassword, {0x02, 0x00, 0x02, 0x00, 0x01, 0x00}}));
  EXPECT_EQ(ack.status, 0x01);
  const std::vector<Reply> frames = bench.Wait(1000);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].status, 0x00);
  EXPECT_EQ(frames[0].data, Concat({{0x00, 0x04, 0xE2, 0x0F, 0xF0, 0x01}, RecordOf(kEpc1)}));
  EXPECT_EQ(frames[1].data, Concat({{0x00, 0x04, 0xE2, 0x0F, 0xF0, 0x01}, RecordOf(kEpc2)}));
}

TEST(SimStreams, MultiTagReadLongFormReadsTwoAreasAndReportsFailures) {
  Bench bench(testing::TagsScenario({kEpc1}));
  // Long form: first user word 0 x 1, then EPC bank from word 2 x 6, rounds 1.
  bench.Command(0x26, Concat({kZeroPassword, {0x03, 0x00, 0x01, 0x01, 0x01, 0x02, 0x06, 0x01, 0x00}}));
  const std::vector<Reply> frames = bench.Wait(100);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].status, 0x01);
  EXPECT_EQ(frames[0].data, Concat({{0x00, 0x02, 0x00, 0x00, 0x00, 0x0C}, kEpc1, RecordOf(kEpc1)}));
  // A read that fails on a tag: status 0x81, its code, the record.
  bench.Command(0x26, Concat({kZeroPassword, {0x03, 0x1F, 0x04, 0x00, 0x01, 0x00}}));
  const std::vector<Reply> failed = bench.Wait(100);
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].status, 0x81);
  EXPECT_EQ(failed[0].data, Concat({{0x03}, RecordOf(kEpc1)}));
}

TEST(SimStreams, LongDataFramesUseTheTwoByteLengthForm) {
  Scenario scenario = testing::TagsScenario({kEpc1});
  scenario.tags[0].contents.userWords = 100;
  Bench bench(scenario);
  bench.Command(0x31, {0x01, 0x24, 0x00, 0x01, 0x01});
  bench.Exchange(0x26, Concat({kZeroPassword, {0x03, 0x00, 0x64, 0x00, 0x01, 0x00}}), false, true);
  const std::vector<Reply> frames = bench.Wait(100, true);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(frames[0].twoByteForm);
  EXPECT_EQ(frames[0].antenna, 1);
  EXPECT_EQ(frames[0].data.size(), 2u + 200u + 14u);
}

// EPC bank from bit 0x20 on (behind the stored CRC and the PC word), last byte of the EPC.
Bytes EpcFilter(uint8_t index, uint8_t action, uint8_t lastByte) {
  Bytes record = {index, 0, 0x04, action, 0x01, 0x20 + 88, 8, lastByte, 0x00};
  record[1] = static_cast<uint8_t>(record.size());
  return record;
}

TEST(SimStreams, SelectedFiltersRestrictWhoTakesPart) {
  Bench bench(testing::TagsScenario({kEpc1, kEpc2}));
  ASSERT_EQ(bench.Command(0x38, EpcFilter(0, 0, 0x02)).status, 0x00);
  bench.Command(0x10);
  EXPECT_EQ(bench.Wait(90).size(), 3u);  // added, not yet switched on
  ASSERT_EQ(bench.Command(0x3B, {0, 0x00}).status, 0x00);
  bench.Command(0x10);
  EXPECT_EQ(Records(bench.Wait(90)), (std::vector<Bytes>(3, RecordOf(kEpc2))));
  // The single tag in the field is now the one the filter lets through.
  EXPECT_EQ(bench.Command(0x20, Concat({kZeroPassword, {0x03, 0x00, 0x01}})).data,
            Concat({{0x00, 0x00}, RecordOf(kEpc2)}));
  ASSERT_EQ(bench.Command(0x3B, {0, 0xFF}).status, 0x00);
  EXPECT_EQ(bench.Command(0x20, Concat({kZeroPassword, {0x03, 0x00, 0x01}})).data, (Bytes{0x11}));
}

TEST(SimFilters, Gen2ActionsDecideTheSelectionFlagInIndexOrder) {
  VirtualReader reader(testing::TagsScenario({kEpc1, kEpc2}));
  const Tag& tag1 = reader.tags()[0];
  const Tag& tag2 = reader.tags()[1];
  struct Case {
    std::vector<Bytes> filters;  // switched on in this order
    bool selects1;
    bool selects2;
  };
  const Case cases[] = {
      {{EpcFilter(0, 0, 0x01)}, true, false},
      {{EpcFilter(0, 4, 0x01)}, false, true},
      {{EpcFilter(0, 1, 0x01), EpcFilter(1, 1, 0x02)}, true, true},
      {{EpcFilter(0, 6, 0x01)}, false, true},
      {{EpcFilter(0, 0, 0x01), EpcFilter(1, 3, 0x01)}, false, false},
      {{EpcFilter(0, 0, 0x01), EpcFilter(1, 7, 0x01)}, true, true},
      {{EpcFilter(0, 1, 0x01), EpcFilter(1, 5, 0x01)}, false, false},
      {{EpcFilter(0, 6, 0x01), EpcFilter(1, 2, 0x02)}, false, true},
  };
  for (const Case& c : cases) {
    FilterTable table;
    for (const Bytes& filter : c.filters) {
      ASSERT_EQ(table.Add(filter), 0x00);
      ASSERT_EQ(table.Select(filter[0], 0x01), 0x00);
    }
    EXPECT_EQ(table.Selects(tag1), c.selects1) << int{c.filters[0][3]};
    EXPECT_EQ(table.Selects(tag2), c.selects2) << int{c.filters[0][3]};
  }
}

TEST(SimFilters, ListingReportsEachRecordAsAddedAndMarksTheLast) {
  Bench bench(testing::TagsScenario({kEpc1}));
  const Bytes first = EpcFilter(2, 0, 0x01);
  const Bytes second = {5, 11, 0x04, 0x00, 0x03, 0x81, 0x00, 12, 0x30, 0x10, 0x01};  // two-byte pointer
  ASSERT_EQ(bench.Command(0x38, first).status, 0x00);
  ASSERT_EQ(bench.Command(0x38, second, true).status, 0x00);
  const std::vector<Reply> all = bench.Exchange(0x3A, {0, 0x01});
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].status, 0x01);
  EXPECT_TRUE(all[0].data.empty());
  EXPECT_EQ(all[1].status, 0x00);
  EXPECT_EQ(all[1].data, first);
  EXPECT_EQ(all[2].status, 0x01);
  EXPECT_EQ(all[2].data, second);
  const std::vector<Reply> one = bench.Exchange(0x3A, {5, 0x00}, true);
  ASSERT_EQ(one.size(), 2u);
  EXPECT_EQ(one[1].code, 0xBA);
  EXPECT_EQ(one[1].data, second);

  EXPECT_EQ(bench.Command(0x39, {2}).status, 0x00);
  EXPECT_EQ(bench.Command(0x39, {2}).status, 0x03);
  EXPECT_EQ(bench.Command(0x3A, {2, 0x00}).status, 0x03);
  EXPECT_EQ(bench.Command(0x3B, {2, 0x00}).status, 0x03);
  EXPECT_EQ(bench.Command(0x39, {16}).status, 0x01);
  Bytes wrongLength = first;
  wrongLength[1] = 10;
  EXPECT_EQ(bench.Command(0x38, wrongLength).status, 0x02);
}

}  // namespace
}  // namespace quarn::sim
