"""Tags, memory banks, word pointers, passwords and lock choices, as the commands take them."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Mapping, Optional, Union

BANKS = {"reserved": 0, "epc": 1, "tid": 2, "user": 3}
LOCK_AREAS = ("kill", "access", "epc", "tid", "user")
# The LockGenCode choice of each name; "keep" (0) leaves an area's lock state as it is.
LOCK_CHOICES = {"keep": 0, "lock": 1, "unlock": 2, "permalock": 3, "permaunlock": 4}

MAX_EPC_WORDS = 31
MAX_WORD_POINTER = 0x3FFF  # the largest pointer two EBV bytes hold


def record_size(byte0: int) -> int:
    """The size of a tag record (PC word and EPC) from its first byte: the PC's EPC length."""
    return ((byte0 >> 3) + 1) * 2


def parse_hex(text: str, what: str) -> bytes:
    """Hex digits to bytes; spaces, colons and dashes between them are allowed."""
    digits = "".join(text.split()).replace(":", "").replace("-", "")
    if digits[:2].lower() == "0x":
        digits = digits[2:]
    try:
        return bytes.fromhex(digits)
    except ValueError:
        raise ValueError(f"{what} {text!r} is not whole bytes of hex digits") from None


@dataclass(frozen=True)
class Tag:
    """A tag as the reader reports it: its record is the PC word (high byte first) and the EPC."""

    record: bytes

    @property
    def pc(self) -> str:
        return self.record[:2].hex().upper()

    @property
    def epc(self) -> str:
        return self.record[2:].hex().upper()

    def __str__(self) -> str:
        return self.epc

    @classmethod
    def from_epc(cls, epc: str, pc: Optional[str] = None) -> "Tag":
        """The record of an EPC in hex; the PC word is the EPC length alone unless pc is given, and
        then its length field must agree with the EPC."""
        epc_bytes = parse_hex(epc, "EPC")
        if len(epc_bytes) % 2 or len(epc_bytes) > 2 * MAX_EPC_WORDS:
            raise ValueError(f"EPC {epc!r} must be 0 to {MAX_EPC_WORDS} whole 16-bit words")
        words = len(epc_bytes) // 2
        pc_bytes = bytes([words << 3, 0]) if pc is None else parse_hex(pc, "PC word")
        if len(pc_bytes) != 2 or pc_bytes[0] >> 3 != words:
            raise ValueError(f"PC word {pc!r} does not announce the {words} words of EPC {epc!r}")
        return cls(pc_bytes + epc_bytes)


TagLike = Union[Tag, str]


def as_tag(tag: TagLike) -> Tag:
    if isinstance(tag, Tag):
        if len(tag.record) < 2 or record_size(tag.record[0]) != len(tag.record):
            raise ValueError(f"tag record {tag.record.hex()} does not match its PC word")
        return tag
    return Tag.from_epc(tag)


def bank_code(bank: Union[str, int]) -> int:
    if isinstance(bank, int) and bank in BANKS.values():
        return bank
    if isinstance(bank, str) and bank.lower() in BANKS:
        return BANKS[bank.lower()]
    raise ValueError(f"unknown memory bank {bank!r}: use reserved, epc, tid or user")


def word_pointer(address: int) -> bytes:
    """A word (or bit) address as the EBV the reader takes: one byte below 128, else two."""
    if not 0 <= address <= MAX_WORD_POINTER:
        raise ValueError(f"address {address} is out of range (0 to {MAX_WORD_POINTER})")
    if address < 0x80:
        return bytes([address])
    return bytes([0x80 | address >> 7, address & 0x7F])


Password = Union[bytes, str, int, None]


def password_bytes(password: Password, what: str = "password") -> bytes:
    """A 4-byte password from bytes, 8 hex digits or an integer; None is the zero password."""
    if password is None:
        return bytes(4)
    if isinstance(password, int):
        if not 0 <= password <= 0xFFFFFFFF:
            raise ValueError(f"{what} {password:#x} does not fit 32 bits")
        return password.to_bytes(4, "big")
    data = parse_hex(password, what) if isinstance(password, str) else bytes(password)
    if len(data) != 4:
        raise ValueError(f"{what} must be 4 bytes (8 hex digits)")
    return data


def lock_choices(areas: Mapping[str, str]) -> list:
    """The five LockGenCode choices, in its argument order, from {"user": "lock", ...}."""
    choices = [0] * len(LOCK_AREAS)
    for area, choice in areas.items():
        if area not in LOCK_AREAS:
            raise ValueError(f"unknown lock area {area!r}: use {', '.join(LOCK_AREAS)}")
        if choice not in LOCK_CHOICES:
            raise ValueError(f"unknown lock choice {choice!r}: use {', '.join(LOCK_CHOICES)}")
        choices[LOCK_AREAS.index(area)] = LOCK_CHOICES[choice]
    return choices
