#pragma once
// The whole C++ API of Quarn_API in one include: the Reader and its streams, the value types, the
// errors and the firmware update.

#include "quarn/bytes.h"
#include "quarn/error.h"
#include "quarn/filter.h"
#include "quarn/lock.h"
#include "quarn/reader.h"
#include "quarn/reader_types.h"
#include "quarn/sam.h"
#include "quarn/streams.h"
#include "quarn/tag.h"
#include "quarn/update.h"
#include "quarn/write_outcome.h"
