"""ctypes buffers sized for what the library writes, and copies of the bytes it reads."""

from __future__ import annotations

import ctypes
from ctypes import c_ubyte

from ._bytes import BytesLike


def buffer(size: int) -> ctypes.Array:
    """A zeroed byte buffer; never empty, so its address is always a real one."""
    return (c_ubyte * max(size, 1))()


def copy_in(data: BytesLike, size: int = 0) -> ctypes.Array:
    """A copy of data in a buffer of at least size bytes, so the library never reads past it.

    Only bytes-like data: memmove would take a str as a wide-char string and copy its code units.
    """
    if not isinstance(data, (bytes, bytearray, memoryview)):
        raise TypeError(
            f"the library takes bytes, bytearray or memoryview, not {type(data).__name__}")
    data = bytes(data)
    result = buffer(max(len(data), size))
    ctypes.memmove(result, data, len(data))
    return result
