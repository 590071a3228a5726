// Inventory: which tags are in the reader's field, with the C++ API.
//
//   inventory_cpp PORT [SECONDS]
//
// First the single tag in the field (one exchange), then a continuous inventory for SECONDS (default 2)
// over the stream the Reader hands back: each report is one loop pass, and the stream stops the reader
// when the loop ends, however it ends. Failures come as quarn::Error, which says what went wrong.

#include <chrono>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <map>

#include "quarn/quarn.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::cerr << "usage: " << argv[0] << " PORT [SECONDS]\n  e.g. " << argv[0] << " /dev/ttyUSB0 2\n";
    return 2;
  }
  const int seconds = argc == 3 ? std::atoi(argv[2]) : 2;
  try {
    quarn::Reader reader(argv[1], quarn::Baud::k115200);
    std::cout << "opened " << reader.portName() << '\n';

    std::error_code ec;
    const quarn::TagRecord single = reader.InventorySingleTag(ec);
    if (ec) {
      std::cout << "single-tag inventory: " << reader.lastError().Describe() << '\n';
    } else {
      std::cout << "single tag: EPC " << single.epcHex() << " (PC " << std::hex << single.pc() << std::dec << ")\n";
    }

    quarn::StreamOptions options;
    options.duration = std::chrono::seconds(seconds > 0 ? seconds : 1);
    std::map<quarn::TagRecord, int> reads;
    const auto start = std::chrono::steady_clock::now();
    auto stream = reader.Inventory(options);
    for (const quarn::TagReport& report : stream) ++reads[report.tag];
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    std::cout << reads.size() << " tags, " << stream.count() << " reports in " << std::fixed << std::setprecision(1)
              << elapsed.count() << " s\n";
    for (const auto& [tag, count] : reads) std::cout << "  " << tag.epcHex() << "  " << count << " reads\n";
    return reads.empty() ? 1 : 0;
  } catch (const quarn::Error& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
}
