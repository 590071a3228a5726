"""Updating the reader's firmware: the steps of an update session, which send exactly the bytes
the caller gives, and update_firmware(), which runs the whole sequence the way this reader family
takes it.

The update's start opens the port itself, so a session runs on a port of its own; its Reader keeps
that port open after the commit (the reader restarts with the new image) and also when the reader
refuses a step. Do not pull the cable during an update: a reader left with half an image may need
its maker's recovery procedure.
"""

from __future__ import annotations

from ctypes import byref, c_int, c_ubyte
from typing import Callable, Optional

from . import raw
from ._buffers import copy_in
from ._bytes import BytesOrHex, to_bytes
from ._ports import open_failure
from .constants import CRC_MODE, MAX_UPDATE_BLOCK, MAX_UPDATE_BLOCK_CRC
from .errors import QuarnError, ReaderError
from .reader import BAUD_OPTIONS, Reader

UPDATE_VALUE_SIZE = 4  # the start's answer, the RN32 and the size: four bytes each
MAX_BLOCKS = 0x10000  # the two prefix bytes number the blocks
MAX_IMAGE_SIZE = 0xFFFFFFFF  # the size travels as four bytes
DEFAULT_BLOCK_SIZE = 1024

Progress = Callable[[int, int], None]


class FirmwareUpdate:
    """One update session: start() opens the port and asks the reader to begin, then send_rn32(),
    send_size(), send_data() as often as the image needs, and commit(). Nothing here relates the
    values to one another or checks the order: the reader does. A refusal raises ReaderError with
    the reader's status byte as code (any nonzero status is one); no usable reply raises NoReply.

    The session's reader holds the port: use it for commands after the commit, and close it (or
    the session, or leave the with-block) when done.
    """

    def __init__(self, reader: Reader, init_value: bytes):
        self.reader = reader
        self.init_value = init_value  # the start's four bytes, in the order they arrived

    @classmethod
    def start(cls, port: str, baud: int = 115200, crc: bool = False,
              library: Optional[raw.RawLibrary] = None) -> "FirmwareUpdate":
        """Opens the port (PortError naming the cause when it does not open) and sends the start.
        When the reader refuses, the port is closed again and the error raised."""
        reader = Reader._unopened(port, baud, crc, library)
        try:
            return cls(reader, begin(reader))
        except BaseException:
            reader.close()
            raise

    def __enter__(self) -> "FirmwareUpdate":
        return self

    def __exit__(self, *exc_info) -> None:
        self.close()

    def close(self) -> None:
        self.reader.close()

    def send_rn32(self, rn32: BytesOrHex) -> None:
        """Sends four bytes (bytes or hex text) unchanged, byte 0 first; this reader family wants
        init_value back as it came."""
        rn32 = _four_bytes(rn32, "RN32")
        self._step("send the update's RN32", lambda port, status, flag: self._library
                   .UhfUpdateSendRN32(port, copy_in(rn32), status, flag))

    def send_size(self, size: BytesOrHex) -> None:
        """Sends four size bytes (bytes or hex text) unchanged, byte 0 first; this reader family
        takes the image size least significant byte first."""
        size = _four_bytes(size, "size")
        self._step("send the update's size", lambda port, status, flag: self._library
                   .UhfUpdateSendSize(port, status, copy_in(size), flag))

    def send_data(self, prefix1: int, prefix2: int, block: BytesOrHex) -> None:
        """Sends the two prefix bytes and one block of the image: at most 2041 bytes, 2039 in CRC
        mode (one frame's room)."""
        self._send_data(prefix1, prefix2, block, "send a block of the image")

    def _send_data(self, prefix1: int, prefix2: int, block: BytesOrHex, what: str) -> None:
        block = to_bytes(block, "image block")
        for name, prefix in (("prefix1", prefix1), ("prefix2", prefix2)):
            if not 0 <= prefix <= 255:
                raise ValueError(f"{name} is one byte, 0 to 255, not {prefix}")
        room = MAX_UPDATE_BLOCK_CRC if self.reader.crc else MAX_UPDATE_BLOCK
        if len(block) > room:
            mode = "CRC" if self.reader.crc else "plain"
            raise ValueError(f"a data block holds at most {room} bytes in {mode} mode, "
                             f"not {len(block)}")
        self._step(what, lambda port, status, flag: self._library.UhfUpdateSendData(
            port, status, prefix1, prefix2, len(block), copy_in(block), flag))

    def commit(self) -> None:
        """Ends the update; the reader installs the image and restarts."""
        self._step("commit the update", lambda port, status, flag: self._library
                   .UhfUpdateCommit(port, status, flag))

    @property
    def _library(self) -> raw.RawLibrary:
        return self.reader.library

    def _step(self, what: str, call) -> None:
        reader = self.reader
        status = c_ubyte(0)
        if call(reader._port(), byref(status), reader._flag) != 1:
            raise _refused(reader, what, status.value)


def check_image(image: BytesOrHex, block_size: int) -> bytes:
    """The image's bytes, refused (ValueError) when the sequence cannot carry it."""
    image = to_bytes(image, "firmware image")
    if not image:
        raise ValueError("the firmware image is empty")
    if len(image) > MAX_IMAGE_SIZE:
        raise ValueError(f"the image size travels as 4 bytes: at most {MAX_IMAGE_SIZE} bytes")
    if not 1 <= block_size <= MAX_UPDATE_BLOCK_CRC:
        raise ValueError(f"the block size is 1 to {MAX_UPDATE_BLOCK_CRC} bytes, not {block_size}")
    if -(-len(image) // block_size) > MAX_BLOCKS:
        raise ValueError(f"the image needs more than {MAX_BLOCKS} blocks of {block_size} bytes: "
                         "choose a larger block size")
    return image


def run_update(session: FirmwareUpdate, image: bytes, block_size: int,
               progress: Optional[Progress]) -> None:
    """The sequence after the start: the start's four bytes sent back as they came, the image size
    least significant byte first, the image in blocks numbered from 0 (the two prefix bytes: the
    block number, high byte first), and the commit."""
    session.send_rn32(session.init_value)
    session.send_size(len(image).to_bytes(UPDATE_VALUE_SIZE, "little"))
    blocks = -(-len(image) // block_size)
    for number in range(blocks):
        block = image[number * block_size:(number + 1) * block_size]
        session._send_data(number >> 8, number & 0xFF, block,
                           f"send block {number + 1} of {blocks} of the image")
        if progress is not None:
            progress(min((number + 1) * block_size, len(image)), len(image))
    session.commit()


def update_firmware(port: str, image: BytesOrHex, baud: int = 115200, crc: bool = False,
                    block_size: int = DEFAULT_BLOCK_SIZE, progress: Optional[Progress] = None,
                    library: Optional[raw.RawLibrary] = None) -> Reader:
    """Moves a firmware image into the reader on port, which must not be open; returns the open
    Reader (the reader restarts with the new image; version() tells it once it answers).
    progress(sent, total) is called after each block with the image bytes sent so far. When a
    step fails, the port is closed and the error names the step."""
    image = check_image(image, block_size)
    session = FirmwareUpdate.start(port, baud, crc, library)
    try:
        run_update(session, image, block_size, progress)
    except BaseException:
        session.close()
        raise
    return session.reader


def begin(reader: Reader) -> bytes:
    """Opens the reader's port through the update's start and sends it; the reader holds the port
    as soon as it is open, whatever the start's answer. Returns the start's four bytes."""
    handle, status, value = raw.PortHandle(raw.INVALID_PORT), c_ubyte(0), c_int(0)
    options = BAUD_OPTIONS[reader.baud] | (CRC_MODE if reader.crc else 0)
    result = reader.library.UhfUpdateInit(byref(handle), reader._port_name(), byref(status),
                                          byref(value), options)
    if handle.value is None or handle.value == raw.INVALID_PORT:
        raise open_failure(reader.name)
    reader._attach(handle)
    if result != 1:
        raise _refused(reader, "start the update", status.value)
    return bytes(value)  # in memory order: the order the bytes arrived


def _refused(reader: Reader, what: str, status: int) -> QuarnError:
    # status starts at 0 and stays so when no reply came; the reader refuses with any other value.
    if status == 0:
        return reader._no_reply(what)
    return ReaderError(what, status, what="update status")


def _four_bytes(value: BytesOrHex, what: str) -> bytes:
    data = to_bytes(value, what)
    if len(data) != UPDATE_VALUE_SIZE:
        raise ValueError(f"the {what} is {UPDATE_VALUE_SIZE} bytes, not {len(data)}")
    return data
