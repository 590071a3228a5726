"""Reader: one open port to a reader, with its commands as methods on Python values."""

from __future__ import annotations

import os
import weakref
from ctypes import byref, c_ubyte
from dataclasses import dataclass
from typing import Callable, Optional, Tuple

from . import raw
from ._buffers import buffer, copy_in
from ._bytes import BytesOrHex, to_bytes
from ._ports import is_gone, multiplexer_refusal, open_failure
from .constants import (BAUD_9600, BAUD_19200, BAUD_57600, BAUD_115200, MAX_REGISTER_WRITE,
                        MAX_REGISTER_WRITE_CRC, NO_ERROR_CODE, READER_UID_SIZE,
                        REGISTER_SPACE_SIZE, VERSION_BLOCK1_SIZE, VERSION_BLOCK2_SIZE)
from .errors import REFUSED_OR_SILENT, NoReply, PortError, PortGone, QuarnError
from .filters import FilterCommands
from .memory import TagMemoryCommands
from .sam import SamCommands
from .streams import StreamCommands

BAUD_OPTIONS = {9600: BAUD_9600, 19200: BAUD_19200, 57600: BAUD_57600, 115200: BAUD_115200}
FREQUENCY_SIZE = 7  # the frequency configuration's bytes, in the order UhfGetFrequency reads them


@dataclass(frozen=True)
class ReaderInfo:
    version: bytes  # the six version bytes: hardware and firmware
    build: bytes  # the three build bytes
    uid: bytes
    power: int
    frequency: bytes  # the seven bytes of the frequency configuration
    pa_ok: bool


def _close_port(library: raw.RawLibrary, handle) -> None:
    library.UhfClosePort(byref(handle))


class Reader(StreamCommands, TagMemoryCommands, FilterCommands, SamCommands):
    """The reader on one serial port, open from construction to close() or the with-block's end.

    Commands raise NoReply when no usable reply came, ReaderError when the reader refused with
    an error code, PortError when the port would not open (a subclass naming the cause), is gone
    or is closed. crc selects CRC mode for every command; it may be changed between commands.
    """

    _closer: Optional[weakref.finalize] = None

    def __init__(self, port: str, baud: int = 115200, crc: bool = False,
                 library: Optional[raw.RawLibrary] = None):
        self._settle(port, baud, crc, library)
        handle = raw.PortHandle(raw.INVALID_PORT)
        if self.library.UhfOpenPort(byref(handle), self._port_name(), BAUD_OPTIONS[baud]) != 1:
            raise open_failure(port)
        self._attach(handle)

    def _settle(self, port: str, baud: int, crc: bool,
                library: Optional[raw.RawLibrary]) -> None:
        """Checks and keeps what the port is opened with; raises before anything is opened."""
        if baud not in BAUD_OPTIONS:
            raise ValueError(f"baud {baud} is not one of {sorted(BAUD_OPTIONS)}")
        if not port:
            raise ValueError("the port name is empty: give the reader's device, e.g. /dev/ttyUSB0")
        self.library = library or raw.default_library()
        self.name = port
        self.baud = baud
        self.crc = crc
        refused = multiplexer_refusal(port)
        if refused is not None:
            raise refused

    @classmethod
    def _unopened(cls, port: str, baud: int, crc: bool,
                  library: Optional[raw.RawLibrary]) -> "Reader":
        """A closed Reader for a port that something else opens (the firmware update's start)."""
        reader = cls.__new__(cls)
        reader._settle(port, baud, crc, library)
        return reader

    def _port_name(self) -> bytes:
        return self.name.encode("mbcs") if os.name == "nt" else os.fsencode(self.name)

    def _attach(self, handle) -> None:
        self._handle = handle
        # The port is closed once: by close(), the with-block, or when the Reader is collected.
        self._closer = weakref.finalize(self, _close_port, self.library, handle)

    def __enter__(self) -> "Reader":
        return self

    def __exit__(self, *exc_info) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"Reader({self.name!r}, crc={self.crc}, {'open' if self.is_open else 'closed'})"

    @property
    def is_open(self) -> bool:
        return self._closer is not None and self._closer.alive

    @property
    def port(self):
        """The PortHandle value, for calls through quarn_api.raw on the same port."""
        return self._port()

    def close(self) -> None:
        """Stops a running stream and closes the port; closing twice does nothing."""
        if self.is_open and self._stream is not None:
            self._end_stream(self._stream)
        if self._closer is not None:
            self._closer()

    def _port(self):
        # A closed descriptor's number may already belong to another file: never use it again.
        if not self.is_open:
            raise PortError(f"the reader on {self.name} is closed")
        return self._handle.value

    @property
    def _flag(self) -> int:
        return 1 if self.crc else 0

    def _require(self, result: int, what: str,
                 detail: str = "no usable reply from the reader") -> None:
        if result != 1:
            raise self._no_reply(what, detail)

    def _no_reply(self, what: str, detail: str = "no usable reply from the reader") -> QuarnError:
        """NoReply, or PortGone when the port hung up: a gone port answers nothing at once."""
        if is_gone(self._port()):
            return PortGone(self.name, what)
        return NoReply(f"could not {what}: {detail}")

    # --- reader settings ---------------------------------------------------------------------

    def version(self) -> Tuple[bytes, bytes]:
        """The six version bytes (hardware, firmware) and the three build bytes."""
        first, second = buffer(VERSION_BLOCK1_SIZE), buffer(VERSION_BLOCK2_SIZE)
        result = self.library.UhfGetVersion(self._port(), first, second, self._flag)
        self._require(result, "read the version")
        return bytes(first), bytes(second)

    def uid(self) -> bytes:
        uid = buffer(READER_UID_SIZE)
        self._require(self.library.UhfGetReaderUID(self._port(), uid, self._flag),
                      "read the reader UID")
        return bytes(uid)

    def power(self) -> int:
        power = c_ubyte()
        self._require(self.library.UhfGetPower(self._port(), byref(power), self._flag),
                      "read the power")
        return power.value

    def set_power(self, read_power: int, write_power: Optional[int] = None) -> None:
        """Sets the read and write power (dBm); the write power is the read power unless given."""
        write_power = read_power if write_power is None else write_power
        self._require(self.library.UhfSetPower(self._port(), read_power, write_power, self._flag),
                      "set the power")

    def frequency(self) -> bytes:
        """The seven bytes of the frequency configuration, in the reader's order."""
        b0, b1, b4, b5, b6 = (c_ubyte() for _ in range(5))
        b23 = buffer(2)
        result = self.library.UhfGetFrequency(self._port(), byref(b0), byref(b1), b23, byref(b4),
                                              byref(b5), byref(b6), self._flag)
        self._require(result, "read the frequency configuration")
        return bytes([b0.value, b1.value, b23[0], b23[1], b4.value, b5.value, b6.value])

    def set_frequency(self, configuration: BytesOrHex) -> None:
        """Sets the seven bytes of the frequency configuration (bytes or hex text)."""
        c = to_bytes(configuration, "frequency configuration")
        if len(c) != FREQUENCY_SIZE:
            raise ValueError(f"the frequency configuration is {FREQUENCY_SIZE} bytes, not {len(c)}")
        result = self.library.UhfSetFrequency(self._port(), c[0], c[1], copy_in(c[2:4]), c[4],
                                              c[5], c[6], self._flag)
        self._require(result, "set the frequency configuration")

    def pa_ok(self) -> bool:
        """True when the power amplifier reports no fault (False also for a silent reader)."""
        status = c_ubyte(NO_ERROR_CODE)
        return self.library.UhfGetPaStatus(self._port(), byref(status), self._flag) == 1

    def info(self) -> ReaderInfo:
        version, build = self.version()
        return ReaderInfo(version, build, self.uid(), self.power(), self.frequency(), self.pa_ok())

    def antennas(self) -> int:
        """The connected antennas as a bit mask: bit k is antenna k + 1."""
        state = c_ubyte()
        self._require(self.library.UhfCheckANT(self._port(), byref(state), self._flag),
                      "check the antennas")
        return state.value

    def choose_antenna(self, antenna: int) -> None:
        self._require(self.library.UhfChooseANT(self._port(), antenna, self._flag),
                      f"choose antenna {antenna}")

    def multi_ant(self) -> int:
        """The multi-antenna setting, the register byte the multi-antenna streams depend on; on
        the virtual reader bit k lets antenna k + 1 report, and 0 is single-antenna operation."""
        setting = c_ubyte()
        self._require(self.library.UhfGetMultiANT(self._port(), byref(setting), self._flag),
                      "read the multi-antenna setting", REFUSED_OR_SILENT)
        return setting.value

    def set_multi_ant(self, setting: int) -> None:
        if not 0 <= setting <= 255:
            raise ValueError(f"the multi-antenna setting is one byte, 0 to 255, not {setting}")
        self._require(self.library.UhfSetMultiANT(self._port(), byref(c_ubyte(setting)),
                                                  self._flag),
                      f"set the multi-antenna setting to {setting:#04x}", REFUSED_OR_SILENT)

    def set_transparent_transfer(self, on: bool) -> None:
        """Switches transparent transfer on (True) or off (False)."""
        if on not in (True, False):
            raise ValueError(f"on is True or False, not {on!r}")
        status = c_ubyte()
        result = self.library.UhfSetTransparentTransfer(self._port(), 1 if on else 0,
                                                        byref(status), self._flag)
        self._require(result, f"switch transparent transfer {'on' if on else 'off'}",
                      REFUSED_OR_SILENT)

    def stop(self) -> None:
        """Stops what the reader is running; NoReply when it does not confirm."""
        self._require(self.library.UhfStopOperation(self._port(), self._flag), "stop the reader")

    def sleep(self) -> None:
        self._require(self.library.UhfEnterSleepMode(self._port(), self._flag),
                      "send the reader to sleep")

    # --- firmware update -----------------------------------------------------------------------

    def update_firmware(self, image: BytesOrHex, block_size: int = 1024,
                        progress: Optional[Callable[[int, int], None]] = None) -> None:
        """Moves a firmware image (bytes) into the reader: the update's start, its four bytes
        sent back as they came, the image size, the image in blocks of block_size bytes (1 to
        2039) numbered from 0, and the commit, after which the reader restarts with the new
        image. progress(sent, total) is called after each block with the image bytes sent so far.

        The update's start opens the port itself, so the Reader first closes its port (stopping
        a running stream) and then holds the one the start opens, on the same name, baud and
        mode; it stays open whatever the reader answers. A refused step raises ReaderError with
        the reader's update status as code and names the step; a port that does not open again
        raises PortError and leaves the Reader closed. A bad image or block size raises
        ValueError before anything is closed or sent.
        """
        from .update import FirmwareUpdate, begin, check_image, run_update

        image = check_image(image, block_size)
        self._port()  # a closed Reader stays closed
        self.close()
        run_update(FirmwareUpdate(self, begin(self)), image, block_size, progress)

    # --- registers ---------------------------------------------------------------------------

    def registers(self, address: int, count: int) -> bytes:
        """count register bytes from address; count 0 reads to the end of the register space."""
        space = REGISTER_SPACE_SIZE
        if not 0 <= address < space or not 0 <= count <= space - address:
            raise ValueError(f"registers {address:#x}+{count} lie outside the {space} bytes from 0")
        size = count or space - address
        data, status = buffer(size), c_ubyte(NO_ERROR_CODE)
        if self.library.UhfGetRegister(self._port(), address, count, byref(status), data,
                                       self._flag) != 1:
            raise self._refusal(f"read registers at {address:#05x}", status.value)
        return bytes(data[:size])

    def set_registers(self, address: int, data: BytesOrHex) -> None:
        """Writes data (bytes or hex text) to the registers from address on."""
        data = to_bytes(data, "register data")
        limit = MAX_REGISTER_WRITE_CRC if self.crc else MAX_REGISTER_WRITE
        if not data or len(data) > limit:
            raise ValueError(f"a register write takes 1 to {limit} bytes")
        status = c_ubyte(NO_ERROR_CODE)
        if self.library.UhfSetRegister(self._port(), address, len(data), copy_in(data),
                                       byref(status), self._flag) != 1:
            raise self._refusal(f"write registers at {address:#05x}", status.value)

    def reset_registers(self) -> None:
        self._require(self.library.UhfResetRegister(self._port(), self._flag),
                      "reset the registers")

    def save_registers(self) -> None:
        self._require(self.library.UhfSaveRegister(self._port(), self._flag),
                      "save the registers")
