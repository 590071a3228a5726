"""What the library does not say about a port: why it would not open, and whether it is gone.

UhfOpenPort answers 0 whatever the cause, and a receive on a port that hung up answers 0 as one on a
silent port does. On POSIX systems the cause can be found afterwards from the path and the
descriptor; on Windows the messages stay generic.
"""

from __future__ import annotations

import errno
import os
import stat

from .errors import NotASerialPort, PortBusy, PortError, PortNotFound, PortPermissionDenied

IS_WINDOWS = os.name == "nt"
if not IS_WINDOWS:
    import fcntl
    import select

DEVICE_FOLDER = "/dev/"
PTY_MULTIPLEXERS = ("/dev/ptmx", "/dev/pts/ptmx")
MULTIPLEXER = ("the pseudo-terminal multiplexer, whose every open makes a new pty master with "
               "nobody at its other end")

_NO_DEVICE = (errno.ENOENT, errno.ENXIO, errno.ENODEV, errno.EIO)
_NO_PERMISSION = (errno.EACCES, errno.EPERM)
_GONE_EVENTS = 0 if IS_WINDOWS else select.POLLHUP | select.POLLERR | select.POLLNVAL


def device_path(port: str) -> str:
    """The path the library opens: a name with a '/' as it stands, any other under /dev/."""
    return port if "/" in port else DEVICE_FOLDER + port


def generic_open_failure(port: str) -> PortError:
    return PortError(f"the port {port} would not open: it is missing, in use by another program, "
                     "or not a serial port", port)


def _kind_of(mode: int) -> str:
    if stat.S_ISREG(mode):
        return "a regular file"
    if stat.S_ISDIR(mode):
        return "a directory"
    if stat.S_ISFIFO(mode):
        return "a FIFO"
    if stat.S_ISSOCK(mode):
        return "a socket"
    if stat.S_ISBLK(mode):
        return "a block device"
    return "a device that is not a terminal"


def _is_pty_multiplexer(info: os.stat_result) -> bool:
    """Whether the device is the one that hands out pseudo-terminal masters: opening it makes a
    new master with nobody at its other end."""
    for path in PTY_MULTIPLEXERS:
        try:
            if os.stat(path).st_rdev == info.st_rdev:
                return True
        except OSError:
            continue
    return False


def multiplexer_refusal(port: str):
    """NotASerialPort for the pseudo-terminal multiplexer (which opens, but leads nowhere), else
    None. Checked before the open."""
    if IS_WINDOWS:
        return None
    try:
        info = os.stat(device_path(port))
    except OSError:
        return None
    if stat.S_ISCHR(info.st_mode) and _is_pty_multiplexer(info):
        return NotASerialPort(port, MULTIPLEXER)
    return None


def _opened_device_failure(port: str, path: str):
    """Opens the device the way the library does, without waiting, to see what refuses."""
    try:
        fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK | os.O_CLOEXEC)
    except OSError as error:
        if error.errno in _NO_DEVICE:
            return PortNotFound(port, path, "has no device attached")
        if error.errno in _NO_PERMISSION:
            return PortPermissionDenied(port)
        if error.errno == errno.EBUSY:
            return PortBusy(port)
        return None
    try:
        if not os.isatty(fd):
            return NotASerialPort(port, "a device that is not a terminal")
        try:
            # The library holds an open port with this lock as well, for users TIOCEXCL lets in.
            fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            return PortBusy(port)
        return None
    finally:
        os.close(fd)


def open_failure(port: str) -> PortError:
    """The error for a port the library would not open, naming the cause when it can be found."""
    if IS_WINDOWS:
        return generic_open_failure(port)
    path = device_path(port)
    try:
        info = os.stat(path)
    except (FileNotFoundError, NotADirectoryError):
        return PortNotFound(port, path)
    except PermissionError:
        return PortPermissionDenied(port)
    except OSError:
        return generic_open_failure(port)
    if not stat.S_ISCHR(info.st_mode):
        return NotASerialPort(port, _kind_of(info.st_mode))
    if _is_pty_multiplexer(info):
        return NotASerialPort(port, MULTIPLEXER)
    return _opened_device_failure(port, path) or generic_open_failure(port)


def is_gone(handle: int) -> bool:
    """Whether the port's descriptor reports a hang-up or an error, or is no longer open. A port
    that is merely silent reports neither."""
    if IS_WINDOWS:
        return False
    try:
        os.fstat(handle)
    except OSError:
        return True
    poller = select.poll()
    poller.register(handle, select.POLLIN)
    return any(events & _GONE_EVENTS for _, events in poller.poll(0))
