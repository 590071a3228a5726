"""Inventories and multi-tag reads: a start command, then one frame per tag until the stop."""

from __future__ import annotations

import time
import warnings
from ctypes import byref, c_ubyte
from typing import Callable, Iterator, NamedTuple, Optional, Tuple, TypeVar, Union

from ._buffers import buffer, copy_in
from ._ports import is_gone
from .constants import MAX_DATA_BLOCK, MAX_WORD_COUNT, TAG_RECORD_MAX_SIZE
from .errors import PortGone, QuarnError
from .tags import Password, Tag, bank_code, password_bytes, word_pointer

T = TypeVar("T")

NOT_A_DATA_FRAME = 0xEE  # preset frameStatus: a frame of the read without data leaves it
# What take() gives for a frame that came but carries nothing to yield (a tag whose read failed):
# the stream goes on, and the frame does not count as the silence that ends a stream of rounds.
PASSED_OVER = object()
# A reader whose multi-antenna setting is 0 starts all the same but answers in ordinary frames.
MULTI_ANT_HINT = ("the reader did not acknowledge it in antenna frames: is the multi-antenna "
                  "setting nonzero (set_multi_ant)? stop() ends a stream it started all the same")


class TagReport(NamedTuple):
    """One report of a multi-antenna inventory: the tag and the antenna that saw it."""
    tag: Tag
    antenna: int


class TagData(NamedTuple):
    """One data frame of a multi-antenna read: the tag, the words read, the antenna."""
    tag: Tag
    data: bytes
    antenna: int


class StreamCommands:
    """The streaming commands of Reader; one stream runs at a time."""

    _stream: Optional[object] = None

    def inventory_single(self) -> Tag:
        """The single tag in the field (the first that answers); NoReply when none does."""
        size, record = c_ubyte(), buffer(TAG_RECORD_MAX_SIZE)
        result = self.library.UhfInventorySingleTag(self._port(), byref(size), record, self._flag)
        self._require(result, "find a tag (none answered, or the reader refused)")
        return Tag(bytes(record[:size.value]))

    def inventory(self, duration: Optional[float] = None,
                  rounds: Optional[int] = None) -> Iterator[Tag]:
        """Yields every tag report of a continuous inventory (a tag once per round it is seen).

        The inventory starts with the first next() and is stopped when the loop ends: by break,
        an exception, the generator's close() or its collection, or when the Reader closes. It
        runs for duration seconds when given, else until the loop ends. With rounds (1 to 255)
        the reader stops by itself after that many rounds and the generator ends at the first
        wait that brings no report. A wait lasts 0.8 s while bytes arrive, up to 3 s when the
        port stays silent, so the end can come that much after duration.
        """
        _check_rounds(rounds)

        def start(port) -> bool:
            has_param = 0 if rounds is None else 1
            return self.library.UhfStartInventory(port, has_param, rounds or 0, self._flag) == 1

        def take(port) -> Optional[Tag]:
            size, record = c_ubyte(), buffer(TAG_RECORD_MAX_SIZE)
            if self.library.UhfReadInventory(port, byref(size), record) != 1:
                return None
            return Tag(bytes(record[:size.value]))

        return self._streamed("inventory", start, take, duration, rounds is not None)

    def read_all(self, bank: Union[str, int], address: int, count: int,
                 password: Password = None, duration: Optional[float] = None,
                 rounds: Optional[int] = None) -> Iterator[Tuple[Tag, bytes]]:
        """Yields (tag, data) as the reader reads count words at address from every tag it meets.

        Started and stopped as inventory() is. A wait for the next frame on a silent port takes
        about 12.5 s, so with rounds the generator ends that long after the last frame. Tags
        whose read fails are not reported.
        """
        request = _ReadRequest(bank, address, count, password, rounds)

        def start(port) -> bool:
            return request.start(self.library.UhfStartReadDataFromMultiTag, port, self._flag)

        def take(port):
            frame = _DataFrame()
            result = self.library.UhfGetDataFromMultiTag(port, *frame.outputs())
            return frame.item(result, lambda tag, data: (tag, data))

        return self._streamed("multi-tag read", start, take, duration, rounds is not None)

    def inventory_for_multi_ant(self, duration: Optional[float] = None,
                                rounds: Optional[int] = None) -> Iterator[TagReport]:
        """inventory() over the antennas the multi-antenna setting names (set_multi_ant): yields a
        TagReport (tag, antenna) for every report, so a tag seen by two antennas comes twice a
        round. Started, ended and stopped as inventory() is."""
        _check_rounds(rounds)

        def start(port) -> bool:
            has_param = 0 if rounds is None else 1
            return self.library.UhfStartInventoryForMultiAnt(port, has_param, rounds or 0,
                                                             self._flag) == 1

        def take(port) -> Optional[TagReport]:
            antenna, size, record = c_ubyte(), c_ubyte(), buffer(TAG_RECORD_MAX_SIZE)
            if self.library.UhfReadInventoryFromMultiAnt(port, byref(antenna), byref(size),
                                                         record) != 1:
                return None
            return TagReport(Tag(bytes(record[:size.value])), antenna.value)

        return self._streamed("multi-antenna inventory", start, take, duration,
                              rounds is not None, MULTI_ANT_HINT)

    def read_all_for_multi_ant(self, bank: Union[str, int], address: int, count: int,
                               password: Password = None, duration: Optional[float] = None,
                               rounds: Optional[int] = None) -> Iterator[TagData]:
        """read_all() over the antennas the multi-antenna setting names: yields a TagData
        (tag, data, antenna) per data frame. Started, ended and stopped as read_all() is. Tags
        whose read fails are not reported."""
        request = _ReadRequest(bank, address, count, password, rounds)

        def start(port) -> bool:
            return request.start(self.library.UhfStartReadDataForMultiAnt, port, self._flag)

        def take(port):
            antenna, frame = c_ubyte(), _DataFrame()
            result = self.library.UhfGetDataFromMultiAnt(port, byref(antenna), *frame.outputs())
            return frame.item(result, lambda tag, data: TagData(tag, data, antenna.value))

        return self._streamed("multi-antenna read", start, take, duration, rounds is not None,
                              MULTI_ANT_HINT)

    def _streamed(self, what: str, start: Callable[[object], bool],
                  take: Callable[[object], Optional[T]], duration: Optional[float],
                  end_on_silence: bool,
                  refusal: str = "the reader did not acknowledge it") -> Iterator[T]:
        # Each stream has its own token: the loop sees when close() ended its stream under it.
        token = object()
        if self._stream is not None:
            raise QuarnError(f"another stream is running on {self.name}; end its loop first")
        if not start(self._port()):
            # Only the acknowledgement may be what got lost; stop() ends a stream that did start.
            raise self._no_reply(f"start the {what}", refusal)
        self._stream = token
        try:
            deadline = None if duration is None else time.monotonic() + duration
            while deadline is None or time.monotonic() < deadline:
                if self._stream is not token:
                    return
                item = take(self._port())
                if item is PASSED_OVER:
                    continue
                if item is not None:
                    yield item
                elif is_gone(self._port()):
                    # A hung-up port answers every receive at once with nothing: without this the
                    # loop would spin on it for good.
                    raise PortGone(self.name, f"go on with the {what}")
                elif end_on_silence:
                    return
        finally:
            self._end_stream(token)

    def _end_stream(self, token: object) -> None:
        if self._stream is not token:
            return
        self._stream = None
        # A gone port takes no stop command: its failure would only add a warning to PortGone.
        if not self.is_open or is_gone(self._port()):
            return
        if self.library.UhfStopOperation(self._port(), self._flag) != 1:
            warnings.warn(f"the reader on {self.name} did not confirm the stop", RuntimeWarning,
                          stacklevel=3)


def _check_rounds(rounds: Optional[int]) -> None:
    if rounds is not None and not 1 <= rounds <= 255:
        raise ValueError("rounds is 1 to 255")


class _ReadRequest:
    """The start of a multi-tag read, checked and laid out before anything is sent."""

    def __init__(self, bank: Union[str, int], address: int, count: int, password: Password,
                 rounds: Optional[int]):
        if not 1 <= count <= MAX_WORD_COUNT:
            raise ValueError(f"a multi-tag read takes 1 to {MAX_WORD_COUNT} words")
        _check_rounds(rounds)
        self.count = count
        self.access = copy_in(password_bytes(password))
        self.pointer = copy_in(word_pointer(address), 2)
        self.options = copy_in(bytes([rounds or 0, 0]))  # the short form: rounds, spare
        self.bank = bank_code(bank)

    def start(self, export, port, flag: int) -> bool:
        return export(port, self.access, self.bank, self.pointer, self.count, 0, self.options,
                      flag) == 1


class _DataFrame:
    """The outputs of one data frame of a multi-tag read, in the order both exports take them."""

    def __init__(self):
        self.status = c_ubyte(NOT_A_DATA_FRAME)
        self.length, self.second_length = buffer(2), buffer(2)
        self.data, self.second = buffer(MAX_DATA_BLOCK), buffer(MAX_DATA_BLOCK)
        self.size, self.record = c_ubyte(), buffer(TAG_RECORD_MAX_SIZE)

    def outputs(self) -> tuple:
        return (byref(self.status), self.length, self.data, self.second_length, self.second,
                self.record, byref(self.size))

    def item(self, result: int, make: Callable[[Tag, bytes], T]):
        """The item of a data frame; PASSED_OVER for a frame without data (a tag whose read
        failed), None when no frame came."""
        if result != 1:
            return None
        if self.status.value == NOT_A_DATA_FRAME:
            return PASSED_OVER
        data = bytes(self.data[:self.length[0] << 8 | self.length[1]])
        return make(Tag(bytes(self.record[:self.size.value])), data)
