"""Tag memory by EPC: read, write (plain or block), a new EPC, erase, lock and kill."""

from __future__ import annotations

from ctypes import byref, c_ubyte
from typing import Iterable, Mapping, Optional, Union

from . import raw
from ._buffers import buffer, copy_in
from ._bytes import BytesOrHex, to_bytes
from .constants import (LOCK_PAYLOAD_SIZE, MAX_ONE_BYTE_LENGTH, MAX_WORD_COUNT, NO_ERROR_CODE,
                        PASSWORD_SIZE, TAG_RECORD_MAX_SIZE, WRITE_STATUS_FAILED_WITH_CODE,
                        WRITE_STATUS_FAILED_WITHOUT_CODE, WRITE_STATUS_NO_REPLY,
                        WRITE_STATUS_WRITTEN)
from .errors import QuarnError, ReaderError, WriteInterrupted, gen2_meaning
from .tags import (Password, Tag, TagLike, as_tag, bank_code, lock_choices, password_bytes,
                   word_pointer)

MAX_READ_BYTES = 65535  # the largest byte count a read to the end of a bank can announce

Bank = Union[str, int]


def lock_payload(areas: Mapping[str, str], library: Optional[raw.RawLibrary] = None) -> bytes:
    """The 3-byte lock payload LockGenCode builds for {"user": "lock", "kill": "permalock"}."""
    library = library or raw.default_library()
    payload = buffer(LOCK_PAYLOAD_SIZE)
    library.LockGenCode(*lock_choices(areas), payload)
    return bytes(payload)


def plain_write_fits(data_bytes: int, record_bytes: int, pointer_bytes: int, crc: bool) -> bool:
    """Whether a plain write frame keeps its one-byte length: length, code, password, bank,
    pointer, count, data and record, and the CRC in CRC mode."""
    length = (2 + PASSWORD_SIZE + 1 + pointer_bytes + 1 + data_bytes + record_bytes
              + (2 if crc else 0))
    return length <= MAX_ONE_BYTE_LENGTH


class TagMemoryCommands:
    """The ByEPC tag commands of Reader. A tag is its EPC in hex or a Tag an inventory gave."""

    def _tag_failure(self, what: str, code: int) -> QuarnError:
        if code == NO_ERROR_CODE:
            return self._no_reply(what, "no tag answered, or the reader refused without a code")
        return ReaderError(what, code, gen2_meaning(code))

    def _check_block_write(self, what: str, status: int, code: int, written: int) -> None:
        if status == WRITE_STATUS_WRITTEN:
            return
        if status == WRITE_STATUS_FAILED_WITH_CODE:
            raise ReaderError(what, code, gen2_meaning(code), written=written)
        if status == WRITE_STATUS_FAILED_WITHOUT_CODE:
            raise WriteInterrupted(what, written)
        raise self._no_reply(what)

    def read(self, tag: TagLike, bank: Bank, address: int, count: int,
             password: Password = None) -> bytes:
        """count words (1 to 255) of a bank of the tag from word address on; count 0 reads to
        the end of the bank."""
        if not 0 <= count <= MAX_WORD_COUNT:
            raise ValueError(f"a read takes 0 to {MAX_WORD_COUNT} words")
        tag = as_tag(tag)
        record, access = copy_in(tag.record, TAG_RECORD_MAX_SIZE), copy_in(password_bytes(password))
        pointer, code = copy_in(word_pointer(address), 2), c_ubyte(NO_ERROR_CODE)
        if count == 0:
            length, data = buffer(2), buffer(MAX_READ_BYTES)
            result = self.library.UhfReadMaxDataByEPC(
                self._port(), access, bank_code(bank), pointer, record, length, data, byref(code),
                self._flag)
            size = length[0] << 8 | length[1]
        else:
            data, size = buffer(2 * count), 2 * count
            result = self.library.UhfReadDataByEPC(
                self._port(), access, bank_code(bank), pointer, count, record, data, byref(code),
                self._flag)
        if result != 1:
            raise self._tag_failure(f"read {tag}", code.value)
        return bytes(data[:size])

    def write(self, tag: TagLike, bank: Bank, address: int, data: BytesOrHex,
              password: Password = None, block: bool = False) -> None:
        """Writes data (bytes or hex text, 1 to 255 whole words) to a bank of the tag from word
        address on. Data too long for one plain write frame goes as a block write, as with
        block=True."""
        data = to_bytes(data, "data")
        if not data or len(data) % 2 or len(data) > 2 * MAX_WORD_COUNT:
            raise ValueError(f"the data must be 1 to {MAX_WORD_COUNT} whole 16-bit words, "
                             f"not {len(data)} bytes")
        tag = as_tag(tag)
        if block or not plain_write_fits(len(data), len(tag.record),
                                         len(word_pointer(address)), self.crc):
            self._block_write(tag, bank, address, data, password)
            return
        record, access = copy_in(tag.record, TAG_RECORD_MAX_SIZE), copy_in(password_bytes(password))
        pointer, code = copy_in(word_pointer(address), 2), c_ubyte(NO_ERROR_CODE)
        if self.library.UhfWriteDataByEPC(
                self._port(), access, bank_code(bank), pointer, len(data) // 2, record,
                copy_in(data), byref(code), self._flag) != 1:
            raise self._tag_failure(f"write {tag}", code.value)

    def _block_write(self, tag: Tag, bank: Bank, address: int, data: bytes,
                     password: Password) -> None:
        record, access = copy_in(tag.record, TAG_RECORD_MAX_SIZE), copy_in(password_bytes(password))
        pointer, code = copy_in(word_pointer(address), 2), c_ubyte(NO_ERROR_CODE)
        status, written = c_ubyte(WRITE_STATUS_NO_REPLY), c_ubyte()
        new_record = buffer(TAG_RECORD_MAX_SIZE)
        self.library.UhfBlockWriteDataByEPC(
            self._port(), access, bank_code(bank), pointer, len(data) // 2, record, copy_in(data),
            byref(code), byref(status), byref(written), new_record, self._flag)
        self._check_block_write(f"write {tag}", status.value, code.value, written.value)

    def set_epc(self, tag: TagLike, new_epc: BytesOrHex, password: Password = None) -> Tag:
        """Gives the tag a new EPC (hex text or bytes) and the PC word of its length; returns the
        tag as it is now."""
        tag, new_tag = as_tag(tag), Tag.from_epc(new_epc)
        epc = new_tag.record[2:]
        record, access = copy_in(tag.record, TAG_RECORD_MAX_SIZE), copy_in(password_bytes(password))
        code, status, written = c_ubyte(NO_ERROR_CODE), c_ubyte(WRITE_STATUS_NO_REPLY), c_ubyte()
        self.library.UhfBlockWriteEPCByEPC(
            self._port(), access, len(epc) // 2, record, copy_in(epc), byref(code), byref(status),
            byref(written), buffer(TAG_RECORD_MAX_SIZE), self._flag)
        self._check_block_write(f"give {tag} the EPC {new_tag}", status.value, code.value, written.value)
        return new_tag

    def erase(self, tag: TagLike, bank: Bank, address: int, count: int,
              password: Password = None) -> None:
        """Sets count words (1 to 255) of a bank of the tag to zero, from word address on."""
        if not 1 <= count <= MAX_WORD_COUNT:
            raise ValueError(f"an erase takes 1 to {MAX_WORD_COUNT} words")
        tag = as_tag(tag)
        record, access = copy_in(tag.record, TAG_RECORD_MAX_SIZE), copy_in(password_bytes(password))
        pointer, code = copy_in(word_pointer(address), 2), c_ubyte(NO_ERROR_CODE)
        if self.library.UhfEraseDataByEPC(self._port(), access, bank_code(bank), pointer, count,
                                          record, byref(code), self._flag) != 1:
            raise self._tag_failure(f"erase {tag}", code.value)

    def lock(self, tag: TagLike, areas: Mapping[str, str], password: Password = None) -> bytes:
        """Sets the lock state of areas of the tag: {"user": "lock", "epc": "permalock"}; areas
        kill, access, epc, tid, user; choices lock, unlock, permalock, permaunlock, keep.
        Returns the lock payload sent."""
        payload = lock_payload(areas, self.library)
        tag = as_tag(tag)
        record, access = copy_in(tag.record, TAG_RECORD_MAX_SIZE), copy_in(password_bytes(password))
        code = c_ubyte(NO_ERROR_CODE)
        if self.library.UhfLockMemByEPC(self._port(), access, copy_in(payload), record,
                                        byref(code), self._flag) != 1:
            raise self._tag_failure(f"lock {tag}", code.value)
        return payload

    def unlock(self, tag: TagLike, areas: Iterable[str], password: Password = None) -> bytes:
        """Unlocks the named areas of the tag (the reader refuses a permalocked one)."""
        return self.lock(tag, {area: "unlock" for area in areas}, password)

    def kill(self, tag: TagLike, kill_password: Password) -> None:
        """Kills the tag for good; it never answers again."""
        tag = as_tag(tag)
        record = copy_in(tag.record, TAG_RECORD_MAX_SIZE)
        secret = copy_in(password_bytes(kill_password, "kill password"))
        code = c_ubyte(NO_ERROR_CODE)
        if self.library.UhfKillTagByEPC(self._port(), secret, record, byref(code),
                                        self._flag) != 1:
            raise self._tag_failure(f"kill {tag}", code.value)
