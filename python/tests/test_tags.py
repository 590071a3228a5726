"""The values the commands take: word pointers, tag records, passwords, lock requests."""

from __future__ import annotations

import unittest

from quarn_api import Tag, lock_payload, word_pointer
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
        for bad in ("123456", 1 << 32, b"\x00" * 5):
            with self.subTest(bad=bad), self.assertRaises(ValueError):
                password_bytes(bad)

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
