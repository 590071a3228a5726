"""Python access to Quarn_API, the driver of a UHF RFID reader (EPC Gen2 tags) on a serial port.

    from quarn_api import Reader
    with Reader("/dev/ttyUSB0") as reader:
        for tag in reader.inventory(duration=1.0):
            print(tag.epc)

quarn_api.raw holds the 67 C exports as they are, quarn_api.constants the values they take and
report, named as in the C header.
"""

from . import constants
from ._loader import ENVIRONMENT_VARIABLE, LibraryNotFoundError, load_library
from .errors import (GEN2_ERRORS, NoReply, NotASerialPort, PortBusy, PortError, PortGone,
                     PortNotFound, PortPermissionDenied, QuarnError, ReaderError, WriteInterrupted,
                     gen2_meaning)
from .filters import Filter
from .memory import lock_payload
from .reader import BAUD_OPTIONS, Reader, ReaderInfo
from .streams import TagData, TagReport
from .tags import BANKS, LOCK_AREAS, LOCK_CHOICES, Tag, word_pointer
from .update import FirmwareUpdate, update_firmware

__version__ = "0.1.0"

__all__ = [
    "BANKS", "BAUD_OPTIONS", "ENVIRONMENT_VARIABLE", "Filter", "FirmwareUpdate", "GEN2_ERRORS",
    "LOCK_AREAS",
    "LOCK_CHOICES", "LibraryNotFoundError", "NoReply", "NotASerialPort", "PortBusy", "PortError",
    "PortGone", "PortNotFound", "PortPermissionDenied", "QuarnError", "Reader", "ReaderError",
    "ReaderInfo", "Tag", "TagData", "TagReport", "WriteInterrupted", "constants", "gen2_meaning",
    "load_library", "lock_payload", "update_firmware", "word_pointer",
]
