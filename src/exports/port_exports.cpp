#include "exports/export_conventions.h"
#include "link/port_connection.h"
#include "quarn_api.h"

using quarn::exports::Arg;

using quarn::link::ClosePort;
using quarn::link::OpenPort;

extern "C" {

QUARN_API int QUARN_CALL UhfOpenPort(PortHandle* portHandleOut, const char* portName, int portOptions) {
  if (portHandleOut == nullptr) return 0;
  return OpenPort(portHandleOut, portName, Arg(portOptions)) ? 1 : 0;
}

QUARN_API int QUARN_CALL UhfClosePort(PortHandle* portHandleRef) {
  if (portHandleRef != nullptr) ClosePort(portHandleRef);
  return 1;
}

QUARN_API int QUARN_CALL UhfReaderDisconnect(PortHandle* portHandleRef, int /*reserved*/) {
  return UhfClosePort(portHandleRef);
}

}  // extern "C"

// UhfReaderConnect is UhfOpenPort under a second name: one entry, one address. Windows gets the alias
// from the .def file.
#if !defined(_WIN32)
extern "C" QUARN_API int QUARN_CALL UhfReaderConnect(PortHandle* portHandleOut, const char* portName, int portOptions)
    __attribute__((alias("UhfOpenPort")));
#endif
