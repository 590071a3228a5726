#pragma once
// A pseudo-terminal for a peer that plays the reader: the peer works on the master side, and a descriptor
// held open on the slave side keeps the master from hanging up between the library's opens and closes.
// The slave starts raw, so no byte the peer writes is echoed or translated before the library configures
// the port.

#include <string>

namespace quarn::testing {

struct RawPty {
  int master = -1;
  int slaveKeeper = -1;
  std::string slavePath;
};

// False when the system gives no pty; whatever was opened is closed again.
bool OpenRawPty(RawPty* pty);

// Closes both descriptors that are open.
void CloseRawPty(RawPty* pty);

}  // namespace quarn::testing
