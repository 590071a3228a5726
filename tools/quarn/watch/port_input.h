#pragma once
// Waiting for the reader's next bytes with a wait of the watch's own choosing. A stream's receive
// waits a read time-out of about 3 s when nothing comes, and a reader with no tag in its field sends
// nothing for hours: events, statuses and a stop must not wait on it. So the watch lets the stream read
// only once bytes are there, and a frame then takes only its own time.
//
// The C++ API does not show a Reader's descriptor. The Reader opens its port exclusively and locks it;
// the descriptor of this process that is open on the port's device and holds that lock is the Reader's.

#include <string>

#include "clock.h"

namespace quarn::watch {

// The descriptor through which the open Reader reads portName (a path, or a name under /dev/), or -1
// when none is found.
int FindPortDescriptor(const std::string& portName);

enum class PortInput {
  kNothing,  // nothing within the wait
  kBytes,    // something for a read to take or to find out (an error too)
  kHungUp,   // the device hung up and what it sent before has been read: the port is gone
};

// Waits up to `wait` for what the descriptor has to tell.
PortInput WaitForInput(int descriptor, Millis wait);

}  // namespace quarn::watch
