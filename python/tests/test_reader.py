"""Reader against the virtual reader: port, settings, inventories, tag memory, error model."""

from __future__ import annotations

import gc
import os
import select
import time
import unittest
from collections import Counter

from quarn_api import (Filter, NoReply, PortError, QuarnError, Reader, ReaderError, Tag, raw)
from quarn_api._bytes import to_bytes

from .virtual_reader import VirtualReaderTestCase

OPEN = "E2001122AABB"  # no passwords, 64 user words
GUARDED = "E2002233CCDD"  # access password 12345678
DOOMED = "E2003344EEFF"  # kill password 0BADF00D
RENAMED = "E2004455AA00"
ACCESS, KILL = "12345678", "0BADF00D"
FIELD = (f"{OPEN} user-words=64", f"{GUARDED} access={ACCESS}", f"{DOOMED} kill={KILL}", RENAMED)


class CallLog:
    """A library that records each export called and its result, then forwards the call."""

    def __init__(self, library: raw.RawLibrary):
        self._library = library
        self.calls = []

    def __getattr__(self, name):
        function = getattr(self._library, name)

        def call(*arguments):
            result = function(*arguments)
            self.calls.append((name, result))
            return result
        return call

    def names(self):
        return [name for name, _ in self.calls]


def echo(reader, data, wait):
    """What comes back within wait seconds for bytes written straight to the reader's port."""
    os.write(reader.port, data)
    back, deadline = b"", time.monotonic() + wait
    while len(back) < len(data) and time.monotonic() < deadline:
        if select.select([reader.port], [], [], deadline - time.monotonic())[0]:
            back += os.read(reader.port, len(data) - len(back))
    return back


class FieldTestCase(VirtualReaderTestCase):
    sim_arguments = sum((["--epc", tag] for tag in FIELD), []) + ["--interval", "5"]

    def logged_reader(self, crc=False):
        log = CallLog(raw.default_library())
        return log, self.open_reader(crc=crc, library=log)


class PortTest(FieldTestCase):
    def test_the_with_block_closes_the_port(self):
        with Reader(self.sim.path) as reader:
            self.assertEqual(reader.power(), 26)
            # Ports open exclusively: a second Reader gets the port once the first has closed.
            with self.assertRaises(PortError):
                Reader(self.sim.path)
        self.assertFalse(reader.is_open)
        with self.assertRaises(PortError):
            reader.power()
        reader.close()
        self.assertEqual(self.open_reader().power(), 26)

    def test_a_forgotten_reader_closes_when_collected(self):
        reader = Reader(self.sim.path)
        del reader
        gc.collect()
        self.assertEqual(self.open_reader().power(), 26)

    def test_ports_that_do_not_open(self):
        with self.assertRaises(PortError):
            Reader("/dev/quarn-no-such-port")
        with self.assertRaises(ValueError):
            Reader(self.sim.path, baud=38400)


class SettingsTest(FieldTestCase):
    def test_info_in_both_modes(self):
        for crc in (False, True):
            with self.subTest(crc=crc), self.open_reader(crc=crc) as reader:
                info = reader.info()
                self.assertEqual(info.version + info.build, b"QS\x01\x01\x02\x00\x19\x06\x01")
                self.assertEqual(len(info.uid), 12)
                self.assertEqual(info.frequency.hex().upper(), "0132F51E0A0A00")
                self.assertEqual((info.power, info.pa_ok), (26, True))

    def test_power_and_frequency_read_back(self):
        reader = self.open_reader()
        self.addCleanup(reader.set_power, 26)
        reader.set_power(20, 23)
        self.assertEqual(reader.power(), 20)
        self.assertEqual(reader.registers(0x100, 2), bytes([20, 23]))
        configuration = bytes.fromhex("0014F51E0A0A00")
        reader.set_frequency(configuration)
        self.assertEqual(reader.frequency(), configuration)

    def test_registers(self):
        reader = self.open_reader(crc=True)
        reader.set_registers(0x180, bytes(range(1, 17)))
        self.assertEqual(reader.registers(0x180, 16), bytes(range(1, 17)))
        everything = reader.registers(0, 0)
        self.assertEqual(len(everything), 512)
        self.assertEqual(everything[0x180:0x190], bytes(range(1, 17)))
        with self.assertRaises(ValueError):
            reader.registers(0x1F0, 0x11)  # past the end: refused before anything is sent

    def test_transparent_transfer_switches_the_loopback_in_both_modes(self):
        # The virtual reader's auxiliary port is a loopback: while transparent transfer is on,
        # bytes that are no frame come straight back.
        for crc in (False, True):
            with self.subTest(crc=crc), self.open_reader(crc=crc) as reader:
                reader.set_transparent_transfer(True)
                self.assertEqual(echo(reader, b"\x01\x02\x03", 1.0), b"\x01\x02\x03")
                reader.set_transparent_transfer(False)
                self.assertEqual(echo(reader, b"\x04\x05", 0.1), b"")
                self.assertEqual(reader.power(), 26)
        with self.assertRaises(ValueError):
            reader.set_transparent_transfer("off")

    def test_sam_commands_return_the_status_word(self):
        reader = self.open_reader()
        challenge, status_word = reader.sam_command(bytes.fromhex("0084000008"))
        self.assertEqual((len(challenge), status_word), (8, 0x9000))
        self.assertEqual(reader.sam_command(bytes.fromhex("00A40000023F05")), (b"", 0x6A82))
        with self.assertRaises(ValueError):
            reader.sam_command(bytes.fromhex("00A4000005AABB"))  # Lc 5 with two data bytes


class InventoryTest(FieldTestCase):
    def test_the_single_tag_is_the_first_in_the_field(self):
        self.assertEqual(self.open_reader().inventory_single().epc, OPEN)

    def test_breaking_the_loop_stops_the_inventory(self):
        log, reader = self.logged_reader()
        reports = []
        for tag in reader.inventory():
            reports.append(tag)
            if len(reports) == 6:
                break
        self.assertEqual(log.calls[-1], ("UhfStopOperation", 1))
        self.assertLessEqual({tag.epc for tag in reports}, {OPEN, GUARDED, DOOMED, RENAMED})
        self.assertEqual(reader.inventory_single().epc, OPEN)

    def test_an_exception_in_the_loop_stops_the_inventory(self):
        log, reader = self.logged_reader(crc=True)
        with self.assertRaises(ZeroDivisionError):
            for _ in reader.inventory():
                1 / 0
        self.assertEqual(log.names().count("UhfStopOperation"), 1)
        self.assertEqual(reader.power(), 26)

    def test_a_dropped_generator_stops_the_inventory(self):
        log, reader = self.logged_reader()
        stream = reader.inventory()
        self.assertNotIn("UhfStartInventory", log.names())  # nothing before the first next()
        next(stream)
        del stream
        gc.collect()
        self.assertEqual(log.names().count("UhfStopOperation"), 1)

    def test_closing_the_reader_stops_a_suspended_inventory_once(self):
        log, reader = self.logged_reader()
        stream = reader.inventory()
        next(stream)
        reader.close()
        self.assertEqual(list(stream), [])
        self.assertEqual(log.names()[-2:], ["UhfStopOperation", "UhfClosePort"])
        self.assertEqual(log.names().count("UhfStopOperation"), 1)

    def test_one_stream_at_a_time(self):
        reader = self.open_reader()
        first = reader.inventory()
        next(first)
        with self.assertRaises(QuarnError):
            next(reader.inventory())
        self.assertIsInstance(next(first), Tag)
        first.close()

    def test_a_duration_ends_the_inventory(self):
        log, reader = self.logged_reader()
        started = time.monotonic()
        counts = Counter(tag.epc for tag in reader.inventory(duration=0.15))
        self.assertLess(time.monotonic() - started, 1.0)
        self.assertGreater(min(counts.values()), 1)  # rounds over the field, each tag in each
        self.assertEqual(log.calls[-1], ("UhfStopOperation", 1))

    def test_multi_tag_read_yields_each_tags_data(self):
        log, reader = self.logged_reader()
        frames = []
        for tag, tid in reader.read_all("tid", 0, 2):
            frames.append((tag, tid))
            if len(frames) == 3:
                break
        self.assertEqual({tid for _, tid in frames}, {bytes.fromhex("E20FF001")})
        self.assertEqual(log.calls[-1], ("UhfStopOperation", 1))

    def test_a_selected_filter_narrows_the_field(self):
        reader = self.open_reader()
        wanted = Filter(index=2, mask=bytes.fromhex(GUARDED[:8]))
        reader.add_filter(wanted)
        self.addCleanup(reader.filters_off)
        self.assertEqual(reader.filters(), [Filter(2, wanted.mask, mask_bits=32)])
        reader.select_filter(2)
        self.assertEqual(reader.inventory_single().epc, GUARDED)
        reader.add_filter(Filter(index=3, mask=b"\x00\x00"))
        reader.select_filter(3)
        with self.assertRaises(NoReply):
            reader.inventory_single()  # no tag takes part
        reader.delete_filter(3)
        reader.filters_off()
        self.assertEqual(reader.inventory_single().epc, OPEN)
        reader.delete_filter(2)
        self.assertEqual(reader.filters(), [])
        with self.assertRaises(ReaderError) as caught:
            reader.delete_filter(2)
        self.assertEqual(caught.exception.code, 0x03)


class MemoryTest(FieldTestCase):
    def test_write_and_read_back_in_both_modes(self):
        for crc, address in ((False, 0), (True, 8)):
            with self.subTest(crc=crc):
                with self.open_reader(crc=crc) as reader:
                    self.write_and_read_back(reader, address)

    def write_and_read_back(self, reader, address):
        data = bytes([0xCA, 0xFE, address, 0x0D])
        reader.write(OPEN, "user", address, data)
        self.assertEqual(reader.read(OPEN, "user", address, 2), data)
        whole_bank = reader.read(OPEN, "user", 0, 0)
        self.assertEqual((len(whole_bank), whole_bank[2 * address:2 * address + 4]), (128, data))

    def test_long_writes_go_as_block_writes(self):
        # The OPEN tag's record is 8 bytes: a plain frame holds 55 words, 54 in CRC mode.
        plain, block = "UhfWriteDataByEPC", "UhfBlockWriteDataByEPC"
        for crc, words, export in ((False, 55, plain), (False, 56, block),
                                   (True, 54, plain), (True, 55, block)):
            with self.subTest(crc=crc, words=words):
                log, reader = self.logged_reader(crc=crc)
                with reader:
                    data = bytes((words + n) & 0xFF for n in range(2 * words))
                    reader.write(OPEN, "user", 2, data)
                    self.assertIn(export, log.names())
                    self.assertEqual(reader.read(OPEN, "user", 2, words), data)

    def test_hex_text_is_written_as_the_bytes_it_spells(self):
        # "0BAD" once reached the tag as 30 00 (the first code unit of a wide-char string).
        reader = self.open_reader()
        cases = [(16, "0BAD", False), (17, "CAFE F00D", False), (19, "56 78", True),
                 (20, memoryview(b"\x12\x34"), True)]
        for address, data, block in cases:
            with self.subTest(data=data, block=block):
                reader.write(OPEN, "user", address, data, block=block)
                expected = to_bytes(data, "data")
                self.assertEqual(reader.read(OPEN, "user", address, len(expected) // 2), expected)

    def test_values_that_are_not_bytes_send_nothing(self):
        log, reader = self.logged_reader()
        log.calls.clear()
        refused = [
            (ValueError, lambda: reader.write(OPEN, "user", 0, "0BA")),
            (ValueError, lambda: reader.write(OPEN, "user", 0, "0 BAD")),
            (ValueError, lambda: reader.write(OPEN, "user", 0, "0BAG")),
            (TypeError, lambda: reader.write(OPEN, "user", 0, [0x0B, 0xAD])),
            (TypeError, lambda: reader.write(OPEN, "user", 0, 0x0BAD)),
            (TypeError, lambda: reader.read(OPEN, "user", 0, 1, password=[1, 2, 3, 4])),
            (ValueError, lambda: reader.read("E200112", "user", 0, 1)),
            (TypeError, lambda: reader.read(0xE2001122AABB, "user", 0, 1)),
            (ValueError, lambda: reader.set_epc(RENAMED, "E2 00 11 2")),
            (ValueError, lambda: reader.kill(DOOMED, "0BADF0OD")),
            (TypeError, lambda: reader.add_filter(Filter(4, [0xE2]))),
            (ValueError, lambda: reader.sam_command("0084 00 00 8")),
            (TypeError, lambda: reader.sam_command([0, 0x84, 0, 0, 8])),
            (ValueError, lambda: reader.set_registers(0x180, "01 02 0")),
            (TypeError, lambda: reader.set_frequency(list(range(7)))),
        ]
        for error, call in refused:
            with self.subTest(error=error), self.assertRaises(error):
                call()
        self.assertEqual(log.calls, [])

    def test_settings_apdus_and_epcs_take_hex_text(self):
        reader = self.open_reader()
        reader.set_registers(0x1A0, "0A0B 0C0D")
        self.assertEqual(reader.registers(0x1A0, 4), bytes.fromhex("0A0B0C0D"))
        challenge, status_word = reader.sam_command("00 84 00 00 08")
        self.assertEqual((len(challenge), status_word), (8, 0x9000))
        self.assertEqual(reader.read(bytes.fromhex(OPEN), "epc", 2, 3), bytes.fromhex(OPEN))

    def test_erase_clears_the_words(self):
        reader = self.open_reader()
        reader.write(OPEN, "user", 40, bytes.fromhex("11112222333344445555"))
        reader.erase(OPEN, "user", 41, 3)
        self.assertEqual(reader.read(OPEN, "user", 40, 5).hex(), "1111" + "0000" * 3 + "5555")

    def test_a_new_epc_changes_how_the_tag_is_addressed(self):
        reader = self.open_reader()
        new_tag = reader.set_epc(RENAMED, bytes.fromhex(RENAMED + "BB11"))
        self.assertEqual((new_tag.pc, new_tag.epc), ("2000", RENAMED + "BB11"))
        self.assertEqual(reader.read(new_tag, "epc", 1, 5), new_tag.record)
        with self.assertRaises(ReaderError) as caught:
            reader.read(RENAMED, "tid", 0, 1)
        self.assertEqual(caught.exception.code, 0x12)


class ErrorModelTest(FieldTestCase):
    def test_a_wrong_access_password_carries_the_readers_code(self):
        with self.assertRaises(ReaderError) as caught:
            self.open_reader().read(GUARDED, "user", 0, 1, password="87654321")
        error = caught.exception
        self.assertEqual((error.code, error.meaning), (0x13, None))
        self.assertIn("0x13", str(error))

    def test_a_locked_area_refuses_writes_without_the_password(self):
        reader = self.open_reader()
        payload = reader.lock(GUARDED, {"user": "lock"}, password=ACCESS)
        self.assertEqual(payload.hex().upper(), "000C02")
        with self.assertRaises(ReaderError) as caught:
            reader.write(GUARDED, "user", 0, b"\x0b\xad")
        self.assertEqual((caught.exception.code, caught.exception.meaning),
                         (0x04, "memory locked"))
        self.assertIn("memory locked (reader error code 0x04)", str(caught.exception))
        reader.write(GUARDED, "user", 0, b"\x0b\xad", password=ACCESS)
        reader.unlock(GUARDED, ["user"], password=ACCESS)
        reader.write(GUARDED, "user", 1, b"\xf0\x0d")
        self.assertEqual(reader.read(GUARDED, "user", 0, 2), b"\x0b\xad\xf0\x0d")

    def test_a_block_write_past_the_bank_reports_the_words_written(self):
        with self.assertRaises(ReaderError) as caught:
            self.open_reader().write(OPEN, "user", 60, bytes(16), block=True)
        self.assertEqual((caught.exception.code, caught.exception.meaning),
                         (0x03, "memory overrun"))
        self.assertEqual(caught.exception.written, 4)

    def test_kill(self):
        reader = self.open_reader()
        with self.assertRaises(ReaderError) as caught:
            reader.kill(DOOMED, "00000001")
        self.assertEqual(caught.exception.code, 0x15)
        reader.kill(DOOMED, KILL)
        with self.assertRaises(ReaderError) as caught:
            reader.read(DOOMED, "tid", 0, 1)
        self.assertEqual(caught.exception.code, 0x12)

    def test_a_bad_tag_record_sends_nothing(self):
        log, reader = self.logged_reader()
        log.calls.clear()
        with self.assertRaises(ValueError):
            reader.read(Tag(b"\xf8\x00"), "user", 0, 1)  # its PC claims 31 EPC words
        self.assertEqual(log.calls, [])


class SilentReaderTest(VirtualReaderTestCase):
    sim_arguments = ("--tags", "1", "--silent", "--fault-codes", "01")

    def test_no_reply_is_its_own_error(self):
        reader = self.open_reader()
        with self.assertRaises(NoReply):
            reader.power()  # the one command the reader does not answer: a 3 s wait on a pty
        self.assertEqual(len(reader.uid()), 12)


if __name__ == "__main__":
    unittest.main()
