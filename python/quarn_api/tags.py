"""Tags, memory banks, word pointers, passwords and lock choices, as the commands take them."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Mapping, Optional, Union

from ._bytes import ACCEPTED, BytesOrHex, to_bytes
from .constants import (BANK_EPC, BANK_RESERVED, BANK_TID, BANK_USER, LOCK_KEEP, LOCK_LOCKED,
                        LOCK_PERMALOCKED, LOCK_PERMAUNLOCKED, LOCK_UNLOCKED, MAX_EPC_WORDS,
                        MAX_WORD_PTR, PASSWORD_SIZE, WORD_PTR_EXTENDED, tag_record_size)

BANKS = {"reserved": BANK_RESERVED, "epc": BANK_EPC, "tid": BANK_TID, "user": BANK_USER}
LOCK_AREAS = ("kill", "access", "epc", "tid", "user")
# The LockGenCode choice of each name; "keep" leaves an area's lock state as it is.
LOCK_CHOICES = {"keep": LOCK_KEEP, "lock": LOCK_LOCKED, "unlock": LOCK_UNLOCKED,
                "permalock": LOCK_PERMALOCKED, "permaunlock": LOCK_PERMAUNLOCKED}


@dataclass(frozen=True)
class Tag:
    """A tag as the reader reports it: its record is the PC word (high byte first) and the EPC.
    The record may be given as bytes or hex text; it is kept as bytes."""

    record: bytes

    def __post_init__(self) -> None:
        object.__setattr__(self, "record", to_bytes(self.record, "tag record"))

    @property
    def pc(self) -> str:
        return self.record[:2].hex().upper()

    @property
    def epc(self) -> str:
        return self.record[2:].hex().upper()

    def __str__(self) -> str:
        return self.epc

    @classmethod
    def from_epc(cls, epc: BytesOrHex, pc: Optional[BytesOrHex] = None) -> "Tag":
        """The record of an EPC (hex text or bytes); the PC word is the EPC length alone unless pc
        is given, and then its length field must agree with the EPC."""
        epc_bytes = to_bytes(epc, "EPC")
        if len(epc_bytes) % 2 or len(epc_bytes) > 2 * MAX_EPC_WORDS:
            raise ValueError(f"EPC {epc!r} must be 0 to {MAX_EPC_WORDS} whole 16-bit words")
        words = len(epc_bytes) // 2
        pc_bytes = bytes([words << 3, 0]) if pc is None else to_bytes(pc, "PC word")
        if len(pc_bytes) != 2 or pc_bytes[0] >> 3 != words:
            raise ValueError(f"PC word {pc!r} does not announce the {words} words of EPC {epc!r}")
        return cls(pc_bytes + epc_bytes)


TagLike = Union[Tag, BytesOrHex]


def as_tag(tag: TagLike) -> Tag:
    """A Tag as it is (its record checked against its PC word), or the Tag of an EPC."""
    if isinstance(tag, Tag):
        if len(tag.record) < 2 or tag_record_size(tag.record[0]) != len(tag.record):
            raise ValueError(f"tag record {tag.record.hex()} does not match its PC word")
        return tag
    if not isinstance(tag, (bytes, bytearray, memoryview, str)):
        raise TypeError(f"a tag is a Tag or its EPC as {ACCEPTED}, not {type(tag).__name__}")
    return Tag.from_epc(tag)


def bank_code(bank: Union[str, int]) -> int:
    if isinstance(bank, int) and bank in BANKS.values():
        return bank
    if isinstance(bank, str) and bank.lower() in BANKS:
        return BANKS[bank.lower()]
    raise ValueError(f"unknown memory bank {bank!r}: use reserved, epc, tid or user")


def word_pointer(address: int) -> bytes:
    """A word (or bit) address as the EBV the reader takes: one byte below 128, else two."""
    if not 0 <= address <= MAX_WORD_PTR:
        raise ValueError(f"address {address} is out of range (0 to {MAX_WORD_PTR})")
    if address < WORD_PTR_EXTENDED:
        return bytes([address])
    return bytes([WORD_PTR_EXTENDED | address >> 7, address & 0x7F])


Password = Union[bytes, bytearray, memoryview, str, int, None]


def password_bytes(password: Password, what: str = "password") -> bytes:
    """A 4-byte password from bytes, 8 hex digits or an integer; None is the zero password."""
    if password is None:
        return bytes(PASSWORD_SIZE)
    if isinstance(password, int) and not isinstance(password, bool):
        if not 0 <= password < 1 << 8 * PASSWORD_SIZE:
            raise ValueError(f"{what} {password:#x} does not fit 32 bits")
        return password.to_bytes(PASSWORD_SIZE, "big")
    if not isinstance(password, (bytes, bytearray, memoryview, str)):
        raise TypeError(f"{what} must be {ACCEPTED}, an integer or None, "
                        f"not {type(password).__name__}")
    data = to_bytes(password, what)
    if len(data) != PASSWORD_SIZE:
        raise ValueError(f"{what} must be {PASSWORD_SIZE} bytes (8 hex digits), not {len(data)}")
    return data


def lock_choices(areas: Mapping[str, str]) -> list:
    """The five LockGenCode choices, in its argument order, from {"user": "lock", ...}."""
    choices = [LOCK_KEEP] * len(LOCK_AREAS)
    for area, choice in areas.items():
        if area not in LOCK_AREAS:
            raise ValueError(f"unknown lock area {area!r}: use {', '.join(LOCK_AREAS)}")
        if choice not in LOCK_CHOICES:
            raise ValueError(f"unknown lock choice {choice!r}: use {', '.join(LOCK_CHOICES)}")
        choices[LOCK_AREAS.index(area)] = LOCK_CHOICES[choice]
    return choices
