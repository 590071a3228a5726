"""The exceptions of the Pythonic layer and the meanings of the Gen2 tag error codes."""

from __future__ import annotations

from typing import Optional

# The error codes a Gen2 tag backscatters; readers pass them on unchanged. The other codes a reader
# reports are its own, so they get no words here.
GEN2_ERRORS = {
    0x00: "other error",
    0x03: "memory overrun",
    0x04: "memory locked",
    0x0B: "insufficient power",
    0x0F: "non-specific error",
}


def gen2_meaning(code: int) -> Optional[str]:
    """A person's words for a Gen2 tag error code, or None for a code Gen2 leaves to the reader."""
    return GEN2_ERRORS.get(code)


# NoReply's detail after a command whose refusal brings no status byte the library passes on.
REFUSED_OR_SILENT = "no usable reply from the reader, or it refused"


class QuarnError(Exception):
    """Anything a reader operation can fail with."""


class PortError(QuarnError):
    """The port would not open, is gone, or the Reader is already closed. On POSIX systems a port
    that would not open raises one of the subclasses below, which name the cause and the fix."""

    def __init__(self, message: str, port: Optional[str] = None):
        self.port = port
        super().__init__(message)


class PortNotFound(PortError):
    """No device of that name: the path does not exist, or no device is attached behind it."""

    def __init__(self, port: str, path: str, why: str = "does not exist"):
        super().__init__(
            f"no serial port {port}: {path} {why}; list the ports with `quarn ports` or "
            "`ls /dev/serial/by-id`", port)


class PortPermissionDenied(PortError):
    """The user may not open the port."""

    def __init__(self, port: str):
        super().__init__(
            f"no permission to open the serial port {port}: join the group that owns it (usually "
            "dialout: sudo usermod -aG dialout $USER) and log in again", port)


class PortBusy(PortError):
    """Another program (or another Reader) holds the port: ports open exclusively."""

    def __init__(self, port: str):
        super().__init__(
            f"the serial port {port} is in use by another program (or another Reader); close it "
            "there first", port)


class NotASerialPort(PortError):
    """The path exists but is no serial port: a file, a FIFO, a device that is not a terminal, or
    the master side of a pseudo-terminal."""

    def __init__(self, port: str, what: str):
        super().__init__(
            f"{port} is not a serial port but {what}; give the reader's device, such as "
            "/dev/ttyUSB0 or the /dev/pts/N path a virtual reader prints", port)


class PortGone(PortError):
    """The port hung up or was removed while in use (a cable pulled, a virtual reader ended)."""

    def __init__(self, port: str, operation: str):
        self.operation = operation
        super().__init__(
            f"could not {operation}: the serial port {port} is gone (hung up or removed); "
            "reconnect the reader and open a new Reader", port)


class NoReply(QuarnError):
    """No usable reply: nothing in time, a damaged frame, a wrong echoed code, no tag answering,
    or a refusal that carried no error code."""


class ReaderError(QuarnError):
    """The reader refused with an error code (after a tag operation, or a status byte of its own).

    code     the reader's error code (tag operations) or refusing status byte (registers, filters)
    meaning  the Gen2 meaning of a tag error code, None when Gen2 has none for it
    written  for writes: the words written before the failure, when the reader reports them
    """

    def __init__(self, operation: str, code: int, meaning: Optional[str] = None,
                 written: Optional[int] = None, what: str = "reader error code"):
        self.operation = operation
        self.code = code
        self.meaning = meaning
        self.written = written
        text = f"could not {operation}: "
        text += f"{meaning} ({what} 0x{code:02X})" if meaning else f"{what} 0x{code:02X}"
        if written is not None:
            text += f" after {written} words written"
        super().__init__(text)


class WriteInterrupted(QuarnError):
    """A block write stopped part way without an error code; ``written`` words made it."""

    def __init__(self, operation: str, written: int):
        self.operation = operation
        self.written = written
        super().__init__(
            f"could not {operation}: stopped after {written} words without an error code")
