// The committed seeds of the export reply fuzzer: one per catalog row and mode with its good reply, and
// one in the two-byte length form for every export that reads either form. A seed names its row by
// index, so the corpus must follow the catalog; this test says which seed is missing or stale.
// QUARN_WRITE_CORPUS=1 rewrites them into fuzz/corpus/export_reply/.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "export_catalog.h"
#include "fake_serial.h"

namespace {

using quarn::testing::Bytes;
using quarn::testing::ExportCatalog;
using quarn::testing::ExportEntry;
using quarn::testing::ReplyShape;
using quarn::testing::ShapeFrame;
using quarn::testing::StuffedFrame;

struct Seed {
  std::string file;
  Bytes bytes;
};

// The build names the source tree: __FILE__ may be relative to wherever the compiler ran.
std::string CorpusFolder() { return std::string(QUARN_SOURCE_DIR) + "/fuzz/corpus/export_reply/"; }

std::string FileName(const std::string& name) {
  std::string file;
  for (char c : name) file += (c == ' ') ? '-' : c;
  return file;
}

Bytes SeedBytes(size_t index, bool crc, const Bytes& wire) {
  Bytes bytes;
  bytes.reserve(wire.size() + 2);
  bytes.push_back(static_cast<uint8_t>(index));
  bytes.push_back(static_cast<uint8_t>(crc ? 0x80 : 0x00));
  bytes.insert(bytes.end(), wire.begin(), wire.end());
  return bytes;
}

std::vector<Seed> ExpectedSeeds() {
  std::vector<Seed> seeds;
  const auto& catalog = ExportCatalog();
  for (size_t index = 0; index < catalog.size(); ++index) {
    const ExportEntry& entry = catalog[index];
    for (bool crc : {false, true}) {
      const std::string mode = crc ? "-crc" : "-plain";
      ReplyShape shape = entry.goodReply(crc);
      seeds.push_back({FileName(entry.name) + mode, SeedBytes(index, crc, StuffedFrame(ShapeFrame(shape, crc)))});
      if (entry.readsEitherLengthForm && !shape.twoByteForm && (ShapeFrame(shape, crc)[1] & 0x80) == 0) {
        shape.twoByteForm = true;
        seeds.push_back({FileName(entry.name) + mode + "-two-byte-form",
                         SeedBytes(index, crc, StuffedFrame(ShapeFrame(shape, crc)))});
      }
    }
  }
  return seeds;
}

Bytes ReadFile(const std::string& path, bool& found) {
  std::ifstream file(path, std::ios::binary);
  found = static_cast<bool>(file);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

TEST(ExportReplyCorpus, HoldsAGoodReplyForEveryRowAndMode) {
  const bool write = std::getenv("QUARN_WRITE_CORPUS") != nullptr;
  for (const Seed& seed : ExpectedSeeds()) {
    const std::string path = CorpusFolder() + seed.file;
    if (write) {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(seed.bytes.data()), static_cast<std::streamsize>(seed.bytes.size()));
    }
    bool found = false;
    const Bytes held = ReadFile(path, found);
    EXPECT_TRUE(found) << seed.file << " is missing (QUARN_WRITE_CORPUS=1 writes it)";
    if (found) {
      EXPECT_EQ(held, seed.bytes) << seed.file << " is stale: the catalog moved (QUARN_WRITE_CORPUS=1)";
    }
  }
}

}  // namespace
