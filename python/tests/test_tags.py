"""The values the commands take: word pointers, tag records, passwords, lock requests."""

from __future__ import annotations

import unittest

from quarn_api import Filter, Tag, lock_payload, word_pointer
from quarn_api._buffers import copy_in
from quarn_api._bytes import to_bytes
from quarn_api.tags import as_tag, bank_code, lock_choices, password_bytes


class ValuesTest(unittest.TestCase):
    def test_word_pointers_take_the_ebv_form(self):
        cases = [(0, "00"), (127, "7F"), (128, "8100"), (0x1234, "A434"), (0x3FFF, "FF7F")]
        for address, expected in cases:
            with self.subTest(address=address):
                self.assertEqual(word_pointer(address).hex().upper(), expected)
        for address in (-1, 0x4000):
            with self.subTest(address=address), self.assertRaises(ValueError):
                word_pointer(address)

    def test_a_tag_record_is_the_pc_word_and_the_epc(self):
        tag = Tag.from_epc("e200 1122-aabb")
        self.assertEqual((tag.pc, tag.epc, tag.record.hex()),
                         ("1800", "E2001122AABB", "1800e2001122aabb"))
        self.assertEqual(Tag.from_epc("").record, b"\x00\x00")
        self.assertEqual(Tag.from_epc("E2001122AABB", pc="1C00").pc, "1C00")

    def test_records_the_library_would_misread_are_refused(self):
        # The library takes the record's size from its PC word, so a PC that claims more than the
        # record holds would send bytes from past its end.
        for bad in [lambda: Tag.from_epc("E2001"), lambda: Tag.from_epc("E200" * 32),
                    lambda: Tag.from_epc("E2001122", pc="3000"),
                    lambda: as_tag(Tag(b"\x30\x00\xE2\x00"))]:
            with self.assertRaises(ValueError):
                bad()

    def test_passwords(self):
        for given in ("12345678", "12 34 56 78", 0x12345678, b"\x12\x34\x56\x78"):
            with self.subTest(given=given):
                self.assertEqual(password_bytes(given), bytes.fromhex("12345678"))
        self.assertEqual(password_bytes(None), bytes(4))
        for bad in ("123456", 1 << 32, b"\x00" * 5, "1234567G", "1234 5678 9"):
            with self.subTest(bad=bad), self.assertRaises(ValueError):
                password_bytes(bad)

    def test_bytes_are_taken_as_they_are_and_hex_text_as_hex(self):
        cases = [(b"\x0b\xad", "0BAD"), (bytearray(b"\xca\xfe"), "CAFE"),
                 (memoryview(b"\xf0\x0d"), "F00D"), ("0BAD", "0BAD"), ("ca fe\tF0 0d", "CAFEF00D"),
                 ("CA:FE-F0\n0D", "CAFEF00D"), ("0x0bad", "0BAD"), (" 0BAD ", "0BAD"), ("", ""),
                 (memoryview(b"\x00\x0b\xad")[1:], "0BAD")]
        for given, expected in cases:
            with self.subTest(given=given):
                self.assertEqual(to_bytes(given, "data").hex().upper(), expected)

    def test_text_that_is_not_whole_hex_bytes_is_refused_by_name(self):
        # Whitespace only between byte pairs: "0 BAD" would otherwise lose or shift a nibble.
        for text, named in [("0BA", "'0BA'"), ("0 BAD", "'0'"), ("0BAG", "'G'"), ("CAFÉ", "'É'"),
                            ("0B.AD", "'.'"), ("٠١", "'٠'")]:
            with self.subTest(text=text), self.assertRaises(ValueError) as caught:
                to_bytes(text, "data")
            self.assertIn(repr(text), str(caught.exception))
            self.assertIn(named, str(caught.exception))

    def test_every_byte_argument_refuses_other_types(self):
        # A str reaching ctypes as it stands would be copied as wide characters ("0BAD" as
        # 30 00 00 00), and a list as whatever ctypes makes of it.
        takers = {"data": lambda v: to_bytes(v, "data"), "Tag": Tag, "EPC": Tag.from_epc,
                  "tag": as_tag, "password": password_bytes, "mask": lambda v: Filter(1, v),
                  "library copy": copy_in}
        for name, take in takers.items():
            for value in ([0x0B, 0xAD], (11, 173), 3.5, object()):
                with self.subTest(name=name, value=value), self.assertRaises(TypeError) as caught:
                    take(value)
                self.assertIn(type(value).__name__, str(caught.exception))
        with self.assertRaises(TypeError):
            copy_in("0BAD")  # the library layer takes bytes only; hex text is parsed above it

    def test_records_masks_and_epcs_keep_bytes_whatever_they_came_as(self):
        self.assertEqual(Tag("3000 E200 1122 AABB CCDD EEFF").record,
                         bytes.fromhex("3000E2001122AABBCCDDEEFF"))
        self.assertEqual(Tag.from_epc(bytearray.fromhex("E2001122AABB")).epc, "E2001122AABB")
        self.assertEqual(as_tag(b"\xe2\x00").record, b"\x08\x00\xe2\x00")
        self.assertEqual(Filter(2, "E200 2233").mask, b"\xe2\x00\x22\x33")
        self.assertEqual(Filter(2, "E2002233"), Filter(2, b"\xe2\x00\x22\x33"))

    def test_banks_and_lock_requests_by_name(self):
        banks = [bank_code(b) for b in ("reserved", "EPC", "tid", "user", 3)]
        self.assertEqual(banks, [0, 1, 2, 3, 3])
        self.assertEqual(lock_choices({"user": "lock", "kill": "permalock"}), [3, 0, 0, 0, 1])
        self.assertEqual(lock_payload({"epc": "lock"}).hex().upper(), "00C020")
        for bad in ({"usr": "lock"}, {"user": "locked"}):
            with self.subTest(bad=bad), self.assertRaises(ValueError):
                lock_choices(bad)
        with self.assertRaises(ValueError):
            bank_code("sram")


if __name__ == "__main__":
    unittest.main()
