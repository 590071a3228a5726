"""The SAM, its SR information, PSAM power and SR writes to tags, against the virtual reader."""

from __future__ import annotations

import unittest

from quarn_api import Reader, ReaderError, raw

from .test_reader import CallLog
from .virtual_reader import VirtualReaderTestCase

TAG = "E2001122AABB"  # 64 user words
SELECT_FILE_0001 = "00 A4 00 00 02 00 01"
ANSWER_TO_RESET = bytes.fromhex("3B680000") + b"QUARNSAM"  # then the slot number
# File 0001 of the virtual SAM: byte i is 7i + 1.
FILE_0001 = bytes(7 * i + 1 for i in range(32))
SR_SIZE, SR_B_START = 80, 40


class SamTest(VirtualReaderTestCase):
    sim_arguments = ("--epc", f"{TAG} user-words=64", "--interval", "5")

    def setUp(self):
        # PSAM slot 1 on, slot 2 off, as at the start: the SAM commands go to slot 1.
        self.addCleanup(self.reset_slots)

    def reset_slots(self):
        with Reader(self.sim.path) as reader:
            reader.set_psam_power(2, False)
            reader.set_psam_power(1, True)

    def fill_sr(self, reader):
        """SR A gets the file's first 8 bytes, SR B its first 4."""
        self.assertEqual(reader.sam_command(SELECT_FILE_0001), (b"", 0x9000))
        self.assertEqual(reader.sam_info_to_sr("A", "00 B0 00 00 08"), 0x9000)
        self.assertEqual(reader.sam_info_to_sr("b", bytes.fromhex("00B0000004")), 0x9000)

    def test_psam_power_decides_where_apdus_go(self):
        for crc in (False, True):
            with self.subTest(crc=crc), self.open_reader(crc=crc) as reader:
                self.assertEqual(reader.set_psam_power(2, True), ANSWER_TO_RESET + b"\x02")
                self.assertEqual(reader.set_psam_power(1, False), b"")
                self.assertEqual(reader.sam_command("00 84 00 00 04")[1], 0x9000)  # slot 2
                self.assertEqual(reader.set_psam_power(2, False), b"")
                with self.assertRaises(ReaderError) as caught:
                    reader.sam_command("00 84 00 00 04")  # no slot is on
                self.assertEqual(caught.exception.code, 0x83)
                with self.assertRaises(ReaderError) as caught:
                    reader.sam_info_to_sr("A", "00 84 00 00 04")
                self.assertEqual(caught.exception.code, 0x83)
                self.assertEqual(reader.set_psam_power(1, True), ANSWER_TO_RESET + b"\x01")

    def test_sam_information_lands_in_sr_a_and_b(self):
        for crc in (False, True):
            with self.subTest(crc=crc), self.open_reader(crc=crc) as reader:
                self.fill_sr(reader)
                expected = bytearray(SR_SIZE)
                expected[:8] = FILE_0001[:8]
                expected[SR_B_START:SR_B_START + 4] = FILE_0001[:4]
                self.assertEqual(reader.sr_info(), bytes(expected))
                self.assertEqual(reader.sr_info(0), bytes(expected))

    def test_the_sams_refusal_is_its_status_word(self):
        reader = self.open_reader()
        self.fill_sr(reader)
        before = reader.sr_info()
        # The SAM's status words come back as they are; the SR keeps what it had.
        self.assertEqual(reader.sam_info_to_sr("A", "00 A4 00 00 02 3F 05"), 0x6A82)
        self.assertEqual(reader.sam_info_to_sr("B", "00 84 00 00 00"), 0x6C08)
        self.assertEqual(reader.sr_info(), before)

    def test_an_unknown_sr_selector_is_refused_with_its_status(self):
        with self.assertRaises(ReaderError) as caught:
            self.open_reader(crc=True).sr_info(7)
        self.assertEqual(caught.exception.code, 0x01)
        self.assertIn("status 0x01", str(caught.exception))

    def test_sr_writes_put_the_sr_words_into_the_tag(self):
        # The virtual reader's parameters: the first SR word, the word count, two spare bytes.
        for crc, address in ((False, 10), (True, 30)):
            with self.subTest(crc=crc), self.open_reader(crc=crc) as reader:
                self.fill_sr(reader)
                reader.write_sr_to_tag(TAG, "user", address, "00 04 00 00")
                self.assertEqual(reader.read(TAG, "user", address, 4), FILE_0001[:8])
                answering = reader.write_sr_to_single_tag("user", address + 8, bytes([1, 3, 0, 0]))
                self.assertEqual(answering.epc, TAG)
                self.assertEqual(reader.read(TAG, "user", address + 8, 3), FILE_0001[2:8])

    def test_an_sr_write_past_the_bank_reports_the_words_written(self):
        reader = self.open_reader()
        writes = {"by EPC": lambda: reader.write_sr_to_tag(TAG, "user", 62, "00 04 00 00"),
                  "single tag": lambda: reader.write_sr_to_single_tag("user", 61, "00 04 00 00")}
        for (name, write), written in zip(writes.items(), (2, 3)):
            with self.subTest(name), self.assertRaises(ReaderError) as caught:
                write()
            error = caught.exception
            self.assertEqual((error.code, error.meaning, error.written),
                             (0x03, "memory overrun", written))

    def test_bad_arguments_send_nothing(self):
        log = CallLog(raw.default_library())
        reader = self.open_reader(library=log)
        log.calls.clear()
        crc_reader_limit = "00 A4 04 00 76" + " 00" * 118  # 123 bytes: the CRC mode's longest
        refused = [
            (ValueError, lambda: reader.set_psam_power(3, True)),
            (ValueError, lambda: reader.set_psam_power(0, False)),
            (ValueError, lambda: reader.set_psam_power(True, True)),
            (ValueError, lambda: reader.set_psam_power(1, 2)),
            (ValueError, lambda: reader.set_psam_power(1, "on")),
            (ValueError, lambda: reader.sr_info(256)),
            (ValueError, lambda: reader.sr_info(-1)),
            (ValueError, lambda: reader.sam_info_to_sr("C", "00 84 00 00 08")),
            (ValueError, lambda: reader.sam_info_to_sr(None, "00 84 00 00 08")),
            (ValueError, lambda: reader.sam_info_to_sr("A", "00 A4 00 00 05 AA BB")),
            (ValueError, lambda: reader.sam_info_to_sr("A", "00 A4 00")),
            (ValueError, lambda: reader.sam_info_to_sr("A", "00A4040079" + "00" * 121)),
            (TypeError, lambda: reader.sam_info_to_sr("A", [0, 0x84, 0, 0, 8])),
            (ValueError, lambda: reader.write_sr_to_tag(TAG, "user", 0, "00 04 00")),
            (ValueError, lambda: reader.write_sr_to_tag(TAG, "user", 0, "00 04 00 00 00")),
            (TypeError, lambda: reader.write_sr_to_tag(TAG, "user", 0, [0, 4, 0, 0])),
            (TypeError, lambda: reader.write_sr_to_tag(0xE2001122AABB, "user", 0, "00040000")),
            (ValueError, lambda: reader.write_sr_to_tag(TAG, "scratch", 0, "00040000")),
            (ValueError, lambda: reader.write_sr_to_single_tag("user", 0x4000, "00040000")),
            (TypeError, lambda: reader.write_sr_to_single_tag("user", 0, "00040000",
                                                              password=[1, 2, 3, 4])),
        ]
        for error, call in refused:
            with self.subTest(error=error), self.assertRaises(error):
                call()
        reader.crc = True
        with self.assertRaises(ValueError):
            reader.sam_info_to_sr("A", crc_reader_limit + " 00")
        self.assertEqual(log.calls, [])

    def test_the_longest_apdu_of_each_mode_goes_out(self):
        # Lc 0x78 with 120 data bytes is 125 bytes; in CRC mode two bytes less fit.
        longest = {False: "00 A4 04 00 78" + " 00" * 120, True: "00 A4 04 00 76" + " 00" * 118}
        for crc, apdu in longest.items():
            with self.subTest(crc=crc), self.open_reader(crc=crc) as reader:
                self.assertEqual(reader.sam_info_to_sr("A", apdu), 0x9000)


if __name__ == "__main__":
    unittest.main()
