"""Bytes from what callers hand in: bytes-like objects as they are, hex text parsed strictly.

Nothing else is taken. A str handed on to ctypes as it stands would reach the library as a wide-char
string ("0BAD" as the bytes 30 00 00 00): the tag would get other bytes than the caller meant.
"""

from __future__ import annotations

import re
import string
from typing import Union

BytesLike = Union[bytes, bytearray, memoryview]
BytesOrHex = Union[bytes, bytearray, memoryview, str]
ACCEPTED = "bytes, bytearray, memoryview or hex text"

_SEPARATORS = re.compile(r"[\s:\-]+")


def parse_hex(text: str, what: str) -> bytes:
    """Hex digits, two a byte; whitespace, colons or dashes may stand between bytes, and "0x" before
    the first. Anything else (an odd digit count, a non-hex character) is a ValueError naming it."""
    digits = text.strip()
    if digits[:2] in ("0x", "0X"):
        digits = digits[2:]
    groups = [group for group in _SEPARATORS.split(digits) if group]
    for group in groups:
        wrong = next((c for c in group if c not in string.hexdigits), None)
        if wrong is not None:
            raise ValueError(f"{what} {text!r} is not hex text: {wrong!r} is not a hex digit")
        if len(group) % 2:
            raise ValueError(f"{what} {text!r} is not hex text: {group!r} has an odd number of "
                             "digits (two make a byte)")
    return bytes.fromhex("".join(groups))


def to_bytes(value: BytesOrHex, what: str) -> bytes:
    """The bytes of a bytes-like value, or of hex text; a TypeError for anything else."""
    if isinstance(value, (bytes, bytearray, memoryview)):
        return bytes(value)
    if isinstance(value, str):
        return parse_hex(value, what)
    raise TypeError(f"{what} must be {ACCEPTED}, not {type(value).__name__}")
