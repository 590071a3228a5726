"""The 67 exports of Quarn_API with their C prototypes, for callers who want the C interface.

    from quarn_api import constants, raw
    port = raw.PortHandle()
    if raw.UhfOpenPort(ctypes.byref(port), b"/dev/pts/3", constants.BAUD_115200) == 1: ...

Module attributes named like an export load the default library on first use (see load_library);
``load(path)`` gives a RawLibrary of a library of one's choice. Buffers are the caller's, sized as
include/quarn_api.h documents each one; nothing here checks them.
"""

from __future__ import annotations

import ctypes
from ctypes import POINTER, c_char, c_char_p, c_int, c_ubyte
from typing import Callable, Dict, Optional, Tuple

from ._loader import IS_WINDOWS, load_library

if IS_WINDOWS:
    PortHandle = ctypes.c_void_p
    INVALID_PORT = ctypes.c_void_p(-1).value
else:
    PortHandle = ctypes.c_ssize_t  # intptr_t: the file descriptor
    INVALID_PORT = -1


class FilterRecord(ctypes.Structure):
    """One select filter, laid out as the C FilterRecord: 41 bytes, no padding."""

    _fields_ = [
        ("filterIndex", c_ubyte),
        ("recordLength", c_ubyte),
        ("target", c_ubyte),
        ("action", c_ubyte),
        ("memBank", c_ubyte),
        ("pointer", c_ubyte * 2),
        ("maskBitLength", c_ubyte),
        ("mask", c_ubyte * 32),
        ("truncate", c_ubyte),
    ]


_H = PortHandle
_HP = POINTER(PortHandle)
_I = c_int
_IP = POINTER(c_int)
_B = POINTER(c_ubyte)  # unsigned char *, in or out
_S = c_char_p  # const char *
_T = POINTER(c_char)  # char * written to
_F = POINTER(FilterRecord)

# name: (result, argument types, cdecl). The three cdecl exports leave the arguments to the caller;
# every other one is stdcall on 32-bit Windows.
PROTOTYPES: Dict[str, Tuple[object, Tuple[object, ...], bool]] = {
    "UhfOpenPort": (_I, (_HP, _S, _I), False),
    "UhfReaderConnect": (_I, (_HP, _S, _I), False),
    "UhfClosePort": (_I, (_HP,), False),
    "UhfReaderDisconnect": (_I, (_HP, _I), False),
    "UhfGetPaStatus": (_I, (_H, _B, _I), False),
    "UhfGetPower": (_I, (_H, _B, _I), False),
    "UhfSetPower": (_I, (_H, _I, _I, _I), False),
    "UhfGetFrequency": (_I, (_H, _B, _B, _B, _B, _B, _B, _I), False),
    "UhfSetFrequency": (_I, (_H, _I, _I, _B, _I, _I, _I, _I), False),
    "UhfGetRegister": (_I, (_H, _I, _I, _B, _B, _I), False),
    "UhfSetRegister": (_I, (_H, _I, _I, _B, _B, _I), False),
    "UhfResetRegister": (_I, (_H, _I), False),
    "UhfSaveRegister": (_I, (_H, _I), False),
    "UhfSetMultiANT": (_I, (_H, _B, _I), False),
    "UhfGetMultiANT": (_I, (_H, _B, _I), False),
    "UhfGetVersion": (_I, (_H, _B, _B, _I), False),
    "UhfGetReaderUID": (_I, (_H, _B, _I), False),
    "UhfEnterSleepMode": (_I, (_H, _I), False),
    "UhfStopOperation": (_I, (_H, _I), False),
    "UhfSetTransparentTransfer": (_I, (_H, _I, _B, _I), False),
    "UhfStartInventory": (_I, (_H, _I, _I, _I), False),
    "UhfReadInventory": (_I, (_H, _B, _B), False),
    "UhfInventorySingleTag": (_I, (_H, _B, _B, _I), False),
    "UhfReadDataByEPC": (_I, (_H, _B, _I, _B, _I, _B, _B, _B, _I), False),
    "UhfReadDataFromSingleTag": (_I, (_H, _B, _I, _B, _I, _B, _B, _B, _B, _I), False),
    "UhfReadMaxDataByEPC": (_I, (_H, _B, _I, _B, _B, _B, _B, _B, _I), False),
    "UhfReadMaxDataFromSingleTag": (_I, (_H, _B, _I, _B, _B, _B, _B, _B, _B, _I), False),
    "UhfWriteDataByEPC": (_I, (_H, _B, _I, _B, _I, _B, _B, _B, _I), False),
    "UhfWriteDataToSingleTag": (_I, (_H, _B, _I, _B, _I, _B, _B, _B, _B, _I), False),
    "UhfBlockWriteDataByEPC": (_I, (_H, _B, _I, _B, _I, _B, _B, _B, _B, _B, _B, _I), False),
    "UhfBlockWriteDataToSingleTag": (_I, (_H, _B, _I, _B, _I, _B, _B, _B, _B, _B, _B, _I), False),
    "UhfBlockWriteEPCByEPC": (_I, (_H, _B, _I, _B, _B, _B, _B, _B, _B, _I), False),
    "UhfBlockWriteEPCToSingleTag": (_I, (_H, _B, _I, _B, _B, _B, _B, _B, _B, _I), False),
    "UhfEraseDataByEPC": (_I, (_H, _B, _I, _B, _I, _B, _B, _I), False),
    "UhfEraseDataFromSingleTag": (_I, (_H, _B, _I, _B, _I, _B, _B, _I), False),
    "UhfLockMemByEPC": (_I, (_H, _B, _B, _B, _B, _I), False),
    "UhfLockMemFromSingleTag": (_I, (_H, _B, _B, _B, _B, _I), False),
    "UhfKillTagByEPC": (_I, (_H, _B, _B, _B, _I), False),
    "UhfKillSingleTag": (_I, (_H, _B, _B, _B, _I), False),
    "LockGenCode": (_B, (_I, _I, _I, _I, _I, _B), True),
    "UhfStartReadDataFromMultiTag": (_I, (_H, _B, _I, _B, _I, _I, _B, _I), False),
    "UhfGetDataFromMultiTag": (_I, (_H, _B, _B, _B, _B, _B, _B, _B), False),
    "UhfAddFilter": (_I, (_H, _F, _B, _I), False),
    "UhfDeleteFilterByIndex": (_I, (_H, _I, _B, _I), False),
    "UhfStartGetFilterByIndex": (_I, (_H, _I, _I, _B, _I), False),
    "UhfReadFilterByIndex": (_I, (_H, _B, _F), False),
    "UhfSelectFilterByIndex": (_I, (_H, _I, _I, _B, _I), False),
    "UhfCheckANT": (_I, (_H, _B, _I), False),
    "UhfChooseANT": (_I, (_H, _I, _I), False),
    "UhfStartInventoryForMultiAnt": (_I, (_H, _I, _I, _I), False),
    "UhfReadInventoryFromMultiAnt": (_I, (_H, _B, _B, _B), False),
    "UhfStartReadDataForMultiAnt": (_I, (_H, _B, _I, _B, _I, _I, _B, _I), False),
    "UhfGetDataFromMultiAnt": (_I, (_H, _B, _B, _B, _B, _B, _B, _B, _B), False),
    "UhfUpdateInit": (_I, (_HP, _S, _B, _IP, _I), False),
    "UhfUpdateSendRN32": (_I, (_H, _B, _B, _I), False),
    "UhfUpdateSendSize": (_I, (_H, _B, _B, _I), False),
    "UhfUpdateSendData": (_I, (_H, _B, _I, _I, _I, _B, _I), False),
    "UhfUpdateCommit": (_I, (_H, _B, _I), False),
    "UhfSetSAM": (_I, (_H, _B, _I, _B, _IP, _B, _B, _B, _I), False),
    "UhfGetInfoSAMtoSRA": (_I, (_H, _B, _I, _B, _B, _B, _I), False),
    "UhfGetInfoSAMtoSRB": (_I, (_H, _B, _I, _B, _B, _B, _I), False),
    "UhfGetSR": (_I, (_H, _I, _B, _B, _I), False),
    "UhfSetPsamPowerOnOrOff": (_I, (_H, _I, _I, _B, _B, _I), False),
    "UhfWriteSRtoTagByEPC": (_I, (_H, _B, _I, _B, _I, _B, _I, _I, _I, _B, _B, _B, _I), False),
    "UhfWriteSRtoTagSingle": (_I, (_H, _B, _I, _B, _I, _I, _I, _I, _B, _B, _B, _B, _B, _I), False),
    "UhfCharToCString": (None, (_B, _T, _I), True),
    "UhfCStringToChar": (_I, (_S, _B, _I), True),
}

EXPORTS = tuple(sorted(PROTOTYPES))


def _function_type(cdecl: bool) -> Callable[..., type]:
    if IS_WINDOWS and not cdecl:
        return ctypes.WINFUNCTYPE
    return ctypes.CFUNCTYPE


class RawLibrary:
    """One loaded Quarn_API library; each export is an attribute of the same name."""

    def __init__(self, handle: ctypes.CDLL, path: str):
        self.handle = handle
        self.path = path
        for name, (result, arguments, cdecl) in PROTOTYPES.items():
            prototype = _function_type(cdecl)(result, *arguments)
            setattr(self, name, prototype((name, handle)))

    def __repr__(self) -> str:
        return f"RawLibrary({self.path!r})"


def load(path: Optional[str] = None) -> RawLibrary:
    """Loads a library (path, else as load_library searches) with every export's prototype set."""
    handle, found = load_library(path)
    return RawLibrary(handle, found)


_default: Optional[RawLibrary] = None


def default_library() -> RawLibrary:
    """The library the module attributes and Reader use unless given another; loaded once."""
    global _default
    if _default is None:
        _default = load()
    return _default


def __getattr__(name: str):
    if name in PROTOTYPES:
        return getattr(default_library(), name)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
