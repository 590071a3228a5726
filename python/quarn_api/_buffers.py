"""ctypes buffers sized for what the library writes, and the values the exports report with."""

from __future__ import annotations

import ctypes
from ctypes import c_ubyte

NO_ERROR_CODE = 0xFF  # errorCode after success or a failure without a code from the reader
RECORD_BUFFER = 64  # the largest tag record: PC word and 31 EPC words


def buffer(size: int) -> ctypes.Array:
    """A zeroed byte buffer; never empty, so its address is always a real one."""
    return (c_ubyte * max(size, 1))()


def copy_in(data: bytes, size: int = 0) -> ctypes.Array:
    """A copy of data in a buffer of at least size bytes, so the library never reads past it."""
    result = buffer(max(len(data), size))
    ctypes.memmove(result, data, len(data))
    return result
