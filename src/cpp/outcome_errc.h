#pragma once
// From what the core says happened in an exchange to what the C++ API reports.

#include "link/outcome.h"
#include "quarn/error.h"

namespace quarn::cpp {

Errc ErrcOf(link::Outcome outcome);

// Sets detail's code from the result, and what the reply told: the status byte and the reader's error
// code of a refusal, the echoed code of a reply to another command.
void RecordResult(ErrorDetail& detail, const link::Result& result);

}  // namespace quarn::cpp
