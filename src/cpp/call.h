#pragma once
// One call of the C++ API on a Reader: it clears the Reader's last error and the caller's error code,
// checks that the Reader has a port, and records the outcome of the exchange in both.
//
// Every call is written once, in its error_code form; the throwing form runs it through OrThrow.

#include <cstdint>
#include <system_error>
#include <type_traits>
#include <utility>

#include "cpp/port_handle.h"
#include "link/outcome.h"
#include "quarn/error.h"
#include "quarn/reader.h"
#include "quarn_api.h"

namespace quarn::detail {

// What the internals need of a Reader and its public face does not show.
struct ReaderAccess {
  static PortHandle Port(const Reader& reader) { return cpp::ToPortHandle(reader.port_); }
  static uint32_t CrcFlag(const Reader& reader) { return reader.crcMode_ ? 1u : 0u; }
  static ErrorDetail& LastError(Reader& reader) { return reader.lastError_; }
  // Hands the port over, for the firmware update, whose start opens it in its own way.
  static void Adopt(Reader& reader, PortHandle port, const std::string& portName, Baud baud);
};

}  // namespace quarn::detail

namespace quarn::cpp {

class Call {
 public:
  Call(Reader& reader, const char* command, std::error_code& ec);

  // False, recording kNotOpen, when the Reader has no port.
  bool Ready();
  // Records kInvalidArgument with the reason (a fixed text naming the cause and the fix); false.
  bool Invalid(const char* reason);
  // Records another failure of this layer; false.
  bool Fail(Errc errc, const char* reason = "");
  // Records the exchange's outcome; true for success.
  bool Done(const link::Result& result) { return Record(result); }
  bool Record(const link::Result& result);

  PortHandle port() const { return detail::ReaderAccess::Port(reader_); }
  uint32_t crcFlag() const { return detail::ReaderAccess::CrcFlag(reader_); }
  bool crcMode() const { return crcFlag() != 0; }
  ErrorDetail& detail() { return detail::ReaderAccess::LastError(reader_); }

 private:
  Reader& reader_;
  std::error_code& ec_;
};

// Runs the error_code form of a call and throws quarn::Error with the Reader's last error when it
// failed.
template <typename F>
decltype(auto) OrThrow(Reader& reader, F&& call) {
  std::error_code ec;
  if constexpr (std::is_void_v<std::invoke_result_t<F&, std::error_code&>>) {
    call(ec);
    if (ec) throw Error(reader.lastError());
  } else {
    auto value = call(ec);
    if (ec) throw Error(reader.lastError());
    return value;
  }
}

}  // namespace quarn::cpp
