#pragma once
// The names by which the status counts what went wrong with a reader: a few lower-case words per
// outcome of the C++ API ("crc mismatch", "no reply", "port gone"), the same words every time, so a
// consumer can count and compare them. The long sentences of the error category are for a person.

#include <string>
#include <system_error>

namespace quarn::watch {

// The outcome's name; an error of another category gives its own message.
std::string OutcomeName(const std::error_code& error);

// The port itself is gone or unusable (unplugged, closed under us, or no longer there to open): only
// closing it and opening it again can help.
bool MeansPortGone(const std::error_code& error);

}  // namespace quarn::watch
