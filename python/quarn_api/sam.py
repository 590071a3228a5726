"""The reader's secure access module (SAM; PSAM where its power is switched), its SR information,
and the SR writes that carry that information into tags."""

from __future__ import annotations

from ctypes import byref, c_int, c_ubyte
from typing import Optional, Tuple, Union

from ._buffers import buffer, copy_in
from ._bytes import BytesOrHex, to_bytes
from .constants import (MAX_APDU, MAX_APDU_CRC, MAX_SAM_RESPONSE, NO_ERROR_CODE,
                        PSAM_ANSWER_SIZE, PSAM_POWER_OFF, PSAM_POWER_ON, SAM_STATUS_REFUSED,
                        SR_DATA_SIZE, SR_TAG_RECORD_SIZE, TAG_RECORD_MAX_SIZE,
                        WRITE_STATUS_NO_REPLY, tag_record_size)
from .errors import REFUSED_OR_SILENT, QuarnError, ReaderError
from .tags import Password, Tag, TagLike, as_tag, bank_code, password_bytes, word_pointer

PSAM_SLOTS = (1, 2)
SR_TARGETS = ("A", "B")
SR_PARAMS_SIZE = 4  # the four SR parameter bytes of an SR write

Bank = Union[str, int]


class SamCommands:
    """The SAM, SR and PSAM commands of Reader."""

    def _status_failure(self, what: str, status: int) -> QuarnError:
        """The status out-parameter starts at 0 and stays so when no reply came: 0 is success, so
        a refusal always brings another value."""
        if status == 0:
            return self._no_reply(what)
        return ReaderError(what, status, what="status")

    def _checked_apdu(self, apdu: BytesOrHex) -> bytes:
        apdu = to_bytes(apdu, "APDU")
        limit = MAX_APDU_CRC if self.crc else MAX_APDU
        if not _is_short_apdu(apdu) or len(apdu) > limit:
            raise ValueError(f"no short command APDU of at most {limit} bytes: {apdu.hex()} "
                             "(CLA INS P1 P2, then Le, or Lc and Lc data bytes and an optional "
                             "Le)")
        return apdu

    def sam_command(self, apdu: BytesOrHex) -> Tuple[bytes, int]:
        """Passes a short command APDU (bytes or hex text) to the reader's SAM; returns its
        response data and status word (0x9000 for success; the SAM's other status words come back
        the same way)."""
        apdu = self._checked_apdu(apdu)
        response, length = buffer(MAX_SAM_RESPONSE), c_int(0)
        sw1, sw2, status = c_ubyte(), c_ubyte(), c_ubyte(NO_ERROR_CODE)
        result = self.library.UhfSetSAM(self._port(), copy_in(apdu), len(apdu), response,
                                        byref(length), byref(sw1), byref(sw2), byref(status),
                                        self._flag)
        if result != 1 and status.value != SAM_STATUS_REFUSED:
            raise self._refusal("pass the APDU to the SAM", status.value)
        return bytes(response[:length.value]), sw1.value << 8 | sw2.value

    def sam_info_to_sr(self, sr: str, apdu: BytesOrHex) -> int:
        """Passes a short command APDU to the SAM, whose response the reader keeps in its SR A or
        SR B (sr "A" or "B"); returns the SAM's status word alone, 0x9000 or its other ones."""
        target = sr.upper() if isinstance(sr, str) else None
        if target not in SR_TARGETS:
            raise ValueError(f"the SR is 'A' or 'B', not {sr!r}")
        apdu = self._checked_apdu(apdu)
        export = (self.library.UhfGetInfoSAMtoSRA if target == "A"
                  else self.library.UhfGetInfoSAMtoSRB)
        sw1, sw2, status = c_ubyte(), c_ubyte(), c_ubyte(0)
        result = export(self._port(), copy_in(apdu), len(apdu), byref(sw1), byref(sw2),
                        byref(status), self._flag)
        # The SAM's own refusal still brings its status word: it is the answer, not a failure.
        if result != 1 and status.value != SAM_STATUS_REFUSED:
            raise self._status_failure(f"pass the APDU for SR {target} to the SAM", status.value)
        return sw1.value << 8 | sw2.value

    def sr_info(self, select: int = 0) -> bytes:
        """The reader's SR information, 80 bytes; select is the reader's own selector byte."""
        if not 0 <= select <= 255:
            raise ValueError(f"the SR selector is one byte, 0 to 255, not {select}")
        data, status = buffer(SR_DATA_SIZE), c_ubyte(0)
        if self.library.UhfGetSR(self._port(), select, data, byref(status), self._flag) != 1:
            raise self._status_failure(f"read the SR information (selector {select})",
                                       status.value)
        return bytes(data)

    def set_psam_power(self, slot: int, on: bool) -> bytes:
        """Switches the power of PSAM slot 1 or 2 on (True) or off (False); returns the data the
        reader reports with its answer (the card's answer to reset when switched on), often none."""
        if slot not in PSAM_SLOTS or isinstance(slot, bool):
            raise ValueError(f"the PSAM slot is 1 or 2, not {slot!r}")
        if on not in (True, False):
            raise ValueError(f"on is True or False, not {on!r}")
        answer, length = buffer(PSAM_ANSWER_SIZE), c_ubyte(0)
        state = PSAM_POWER_ON if on else PSAM_POWER_OFF
        if self.library.UhfSetPsamPowerOnOrOff(self._port(), slot, state, answer, byref(length),
                                               self._flag) != 1:
            raise self._no_reply(f"switch PSAM slot {slot} {'on' if on else 'off'}",
                                 REFUSED_OR_SILENT)
        return bytes(answer[:length.value])

    # --- SR writes ---------------------------------------------------------------------------

    def write_sr_to_tag(self, tag: TagLike, bank: Bank, address: int, params: BytesOrHex,
                        password: Password = None) -> None:
        """Has the reader write its SR data into a bank of the tag from word address on. params
        are the four SR parameter bytes (bytes or hex text), the reader's own (the virtual reader
        takes the first SR word, the word count and two spare bytes)."""
        params = _sr_params(params)
        tag = as_tag(tag)
        access, pointer = copy_in(password_bytes(password)), copy_in(word_pointer(address), 2)
        code, status, written = c_ubyte(NO_ERROR_CODE), c_ubyte(WRITE_STATUS_NO_REPLY), c_ubyte()
        self.library.UhfWriteSRtoTagByEPC(
            self._port(), access, bank_code(bank), pointer, params[0],
            copy_in(tag.record, TAG_RECORD_MAX_SIZE), params[1], params[2], params[3],
            byref(code), byref(status), byref(written), self._flag)
        self._check_block_write(f"write the SR data to {tag}", status.value, code.value,
                                written.value)

    def write_sr_to_single_tag(self, bank: Bank, address: int, params: BytesOrHex,
                               password: Password = None) -> Optional[Tag]:
        """write_sr_to_tag() on the single tag in the field; returns the tag that answered when
        the reply names it."""
        params = _sr_params(params)
        access, pointer = copy_in(password_bytes(password)), copy_in(word_pointer(address), 2)
        record, size = buffer(SR_TAG_RECORD_SIZE), c_ubyte()
        code, status, written = c_ubyte(NO_ERROR_CODE), c_ubyte(WRITE_STATUS_NO_REPLY), c_ubyte()
        self.library.UhfWriteSRtoTagSingle(
            self._port(), access, bank_code(bank), pointer, *params, record, byref(size),
            byref(code), byref(status), byref(written), self._flag)
        self._check_block_write("write the SR data to the single tag", status.value, code.value,
                                written.value)
        # A reply whose data are shorter than the record they begin with names no tag.
        if size.value < 2 or size.value < tag_record_size(record[0]):
            return None
        return Tag(bytes(record[:tag_record_size(record[0])]))


def _sr_params(params: BytesOrHex) -> bytes:
    data = to_bytes(params, "SR parameters")
    if len(data) != SR_PARAMS_SIZE:
        raise ValueError(f"the SR parameters are {SR_PARAMS_SIZE} bytes, not {len(data)}")
    return data


def _is_short_apdu(apdu: bytes) -> bool:
    """Cases 1 to 4 as the library tells them: 4 bytes, 5 (Le), or Lc and its data, then Le."""
    if len(apdu) in (4, 5):
        return True
    return len(apdu) > 5 and len(apdu) in (apdu[4] + 5, apdu[4] + 6)
