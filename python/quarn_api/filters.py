"""Select filters in the reader's table: add, list, select, delete."""

from __future__ import annotations

import ctypes
from ctypes import byref, c_ubyte
from dataclasses import dataclass
from typing import List, Optional

from . import raw
from ._bytes import BytesOrHex, to_bytes
from .constants import FILTER_MASK_SIZE, NO_ERROR_CODE, WORD_PTR_EXTENDED
from .errors import QuarnError, ReaderError
from .tags import BANKS, bank_code, word_pointer

LAST_REPORT = 0x01
ALL_OFF = 0xFF
LISTING_FROM_INDEX_ON = 0x01
MAX_REPORTS = 256


@dataclass(frozen=True)
class Filter:
    """A select filter: tags whose bank holds mask at the bit pointer take part (per action).
    The mask may be given as bytes or hex text; it is kept as bytes."""

    index: int
    mask: BytesOrHex
    bank: str = "epc"
    pointer: int = 32  # a bit address; 32 is the first EPC bit of the EPC bank
    mask_bits: Optional[int] = None  # None: every bit of mask
    target: int = 4
    action: int = 0
    truncate: int = 0

    def __post_init__(self) -> None:
        object.__setattr__(self, "mask", to_bytes(self.mask, "filter mask"))

    def record(self) -> raw.FilterRecord:
        bits = len(self.mask) * 8 if self.mask_bits is None else self.mask_bits
        too_long = len(self.mask) > FILTER_MASK_SIZE
        if too_long or not 0 <= bits <= 255 or (bits + 7) // 8 > len(self.mask):
            raise ValueError(f"a mask of {len(self.mask)} bytes (at most {FILTER_MASK_SIZE}) "
                             f"cannot give {bits} bits")
        pointer = word_pointer(self.pointer)  # a bit pointer takes the same EBV form
        record = raw.FilterRecord()
        record.filterIndex, record.target, record.action = self.index, self.target, self.action
        # The wire bytes from the index through truncate: eight fixed ones, a second pointer
        # byte, the mask bytes in use.
        record.recordLength = 8 + len(pointer) - 1 + (bits + 7) // 8
        record.memBank = bank_code(self.bank)
        record.pointer[0] = pointer[0]
        record.pointer[1] = pointer[1] if len(pointer) > 1 else 0
        record.maskBitLength = bits
        ctypes.memmove(record.mask, self.mask, len(self.mask))
        record.truncate = self.truncate
        return record

    @classmethod
    def from_record(cls, record: raw.FilterRecord) -> "Filter":
        pointer = record.pointer[0] & 0x7F
        if record.pointer[0] & WORD_PTR_EXTENDED:
            pointer = pointer << 7 | record.pointer[1] & 0x7F
        names = {code: name for name, code in BANKS.items()}
        mask = bytes(record.mask[:(record.maskBitLength + 7) // 8])
        return cls(index=record.filterIndex, mask=mask,
                   bank=names.get(record.memBank, str(record.memBank)), pointer=pointer,
                   mask_bits=record.maskBitLength, target=record.target, action=record.action,
                   truncate=record.truncate)


class FilterCommands:
    """The select filter commands of Reader."""

    def _refusal(self, what: str, status: int) -> QuarnError:
        """The errorCode of the filter and register commands is the reply's status byte itself."""
        if status == NO_ERROR_CODE:
            return self._no_reply(what)
        return ReaderError(what, status, what="status")

    def add_filter(self, filter: Filter) -> None:
        record, status = filter.record(), c_ubyte(NO_ERROR_CODE)
        if self.library.UhfAddFilter(self._port(), byref(record), byref(status), self._flag) != 1:
            raise self._refusal(f"add filter {filter.index}", status.value)

    def delete_filter(self, index: int) -> None:
        status = c_ubyte(NO_ERROR_CODE)
        if self.library.UhfDeleteFilterByIndex(self._port(), index, byref(status),
                                               self._flag) != 1:
            raise self._refusal(f"delete filter {index}", status.value)

    def select_filter(self, index: int, option: int = 0) -> None:
        """Option 0: only this filter is on; 1: this one as well; 2: this one off."""
        status = c_ubyte(NO_ERROR_CODE)
        if self.library.UhfSelectFilterByIndex(self._port(), index, option, byref(status),
                                               self._flag) != 1:
            raise self._refusal(f"select filter {index}", status.value)

    def filters_off(self) -> None:
        """Switches every filter off, so every tag takes part again."""
        self.select_filter(0, ALL_OFF)

    def filters(self, index: int = 0) -> List[Filter]:
        """The filters the reader keeps from index on; [] when it refuses to list (none there)."""
        status = c_ubyte(NO_ERROR_CODE)
        if self.library.UhfStartGetFilterByIndex(self._port(), index, LISTING_FROM_INDEX_ON,
                                                 byref(status), self._flag) != 1:
            if status.value == NO_ERROR_CODE:
                raise self._no_reply("list the filters")
            return []
        found: List[Filter] = []
        for _ in range(MAX_REPORTS):
            frame_status, record = c_ubyte(NO_ERROR_CODE), raw.FilterRecord()
            if self.library.UhfReadFilterByIndex(self._port(), byref(frame_status),
                                                 byref(record)) != 1:
                break
            found.append(Filter.from_record(record))
            if frame_status.value == LAST_REPORT:
                break
        return found
