// Every command export's reply handling fed arbitrary reply bytes through the fake port.
//
// Input: byte 0 picks the catalog row (modulo its size); byte 1 gives the mode (bit 7: CRC mode) and the
// gap between arriving bytes (bits 0 and 1, in ms); the rest is what the reader sends, released by the
// command or already waiting for a receive-only export. Each caller buffer is an exact-size heap block,
// so a copy past the documented size is an overrun the sanitizer reports. Beyond that, a call must
// return 0 or 1, end within its time bound, and on 0 leave every buffer the header keeps for the caller;
// and the row's command family, fed the same bytes on a port of its own, must name an outcome whose
// ok() is that 1 or 0, write the same out-parameters and send the same bytes.

#include <cstdint>
#include <cstdlib>

#include "export_catalog.h"
#include "fake_serial.h"

namespace {

using quarn::testing::CallBuffers;
using quarn::testing::ExportCatalog;
using quarn::testing::ExportEntry;
using quarn::testing::FakePort;
using quarn::testing::OnFailure;
using quarn::testing::PortlessContents;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

// A pointer into a reply buffer that outlives its exchange still finds the right bytes most of the time;
// the sanitizer's stack for returned frames makes every such read a finding.
extern "C" const char* __asan_default_options();
// Default visibility: the sanitizer's runtime looks the function up from outside the program.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
  return "detect_stack_use_after_return=1";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const auto& catalog = ExportCatalog();
  const ExportEntry& entry = catalog[data[0] % catalog.size()];
  const bool crc = (data[1] & 0x80) != 0;
  const uint32_t gapMs = data[1] & 0x03;
  const quarn::testing::Bytes wire(data + 2, data + size);

  FakePort port;
  quarn::testing::ScriptReply(port, entry, wire, gapMs);
  CallBuffers out(entry.outs);
  const uint32_t start = port.now();
  const int result = entry.call(port, out, crc ? 1 : 0);

  Check(result == 0 || result == 1);
  Check(out.GuardsIntact());
  Check(port.now() - start <= quarn::testing::TimeBound(entry, wire.size(), gapMs));
  if (result == 0) {
    for (size_t i = 0; i < entry.outs.size(); ++i) {
      if (entry.outs[i].onFailure == OnFailure::kKept) Check(out.Untouched(i));
    }
  }

  FakePort familyPort;
  quarn::testing::ScriptReply(familyPort, entry, wire, gapMs);
  CallBuffers familyOut(entry.outs);
  const uint32_t familyStart = familyPort.now();
  const quarn::link::Result named = entry.family(familyPort, familyOut, crc ? 1 : 0);
  Check(result == (named.ok() ? 1 : 0));
  Check(familyOut.GuardsIntact());
  for (size_t i = 0; i < entry.outs.size(); ++i) {
    Check(PortlessContents(familyOut, i, familyPort) == PortlessContents(out, i, port));
  }
  Check(familyPort.written() == port.written());
  Check(familyPort.now() - familyStart == port.now() - start);
  return 0;
}
